#include "ui/window_font.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QStyle>
#include <QVariant>
#include <QWidget>
#include <vector>

namespace korvel {

namespace {

bool ButtonCaptionFits(const QAbstractButton* b) {
    if (b->text().isEmpty()) return true;
    if (qobject_cast<const QCheckBox*>(b) || qobject_cast<const QRadioButton*>(b))
        return b->sizeHint().width() <= b->width();
    int needed = b->fontMetrics().horizontalAdvance(b->text()) + 8;
    if (!b->icon().isNull()) needed += b->iconSize().width() + 4;
    return needed <= b->width();
}

bool LabelFits(const QLabel* l) {
    if (l->property(kRuntimeTextProperty).toBool() || l->text().isEmpty()) return true;
    return l->fontMetrics().horizontalAdvance(l->text()) <= l->width() &&
           l->fontMetrics().height() <= l->height() + 2;
}

// Lists that must show all their items without a scroll bar carry the
// number of rows they hold.
bool ListRowsFit(const QListWidget* l) {
    const int rows = l->property(kListRowsProperty).toInt();
    if (rows <= 0) return true;
    const int rowHeight = qMax(l->sizeHintForRow(0), l->fontMetrics().height());
    return rows * rowHeight <= l->height() - 2 * l->frameWidth();
}

bool GroupTitleFits(const QGroupBox* g) {
    return g->title().isEmpty() ||
           g->fontMetrics().horizontalAdvance(g->title()) + 16 <= g->width();
}

}  // namespace

QStringList CaptionsThatDoNotFit(const QWidget* root) {
    // The window's own controls: a dialog it owns lays its controls out itself.
    const auto own = [root](const QWidget* w) { return w->window() == root->window(); };
    QStringList out;
    for (const QAbstractButton* b : root->findChildren<QAbstractButton*>())
        if (own(b) && !ButtonCaptionFits(b)) out << b->objectName();
    for (const QLabel* l : root->findChildren<QLabel*>())
        if (own(l) && !LabelFits(l)) out << l->objectName();
    for (const QGroupBox* g : root->findChildren<QGroupBox*>())
        if (own(g) && !GroupTitleFits(g)) out << g->objectName();
    for (const QListWidget* l : root->findChildren<QListWidget*>())
        if (own(l) && !ListRowsFit(l)) out << l->objectName();
    return out;
}

void ChooseWindowFont(QWidget* window) {
    // Lists get a sample row so their row height can be measured.
    std::vector<QListWidget*> sampled;
    for (QListWidget* l : window->findChildren<QListWidget*>())
        if (l->property(kListRowsProperty).toInt() > 0 && l->count() == 0) {
            l->addItem(QStringLiteral("X"));
            sampled.push_back(l);
        }
    const auto fits = [window] { return CaptionsThatDoNotFit(window).isEmpty(); };
    const auto done = [&sampled] {
        for (QListWidget* l : sampled) l->clear();
    };
    // Families of about the width of the original UI font first; DejaVu Sans
    // (present wherever Qt's fontconfig is) last.
    static const char* const kFamilies[] = {
        "MS Sans Serif", "Microsoft Sans Serif",  "Tahoma",      "Liberation Sans",
        "Arial",         "DejaVu Sans Condensed", "Nimbus Sans", "DejaVu Sans"};
    const QStringList available = QFontDatabase::families();
    for (int pixels : {11, 10, 9}) {
        for (const char* family : kFamilies) {
            if (!available.contains(QString::fromLatin1(family))) continue;
            QFont font(QString::fromLatin1(family));
            font.setPixelSize(pixels);
            window->setFont(font);
            if (fits()) return done();
        }
    }
    QFont font = window->font();
    font.setPixelSize(8);
    window->setFont(font);
    done();
}

}  // namespace korvel
