#include "ui/selrep.h"

#include <QDir>
#include <QFileSystemModel>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QTreeView>

namespace korvel {

namespace {

QPixmap Blank(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

// A green tick for "Select "; Qt greys it out by itself while disabled.
QIcon SelectGlyph() {
    QPixmap pm = Blank(16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath tick;
    tick.moveTo(2.5, 8.5);
    tick.lineTo(6.5, 12.5);
    tick.lineTo(13.5, 3.5);
    p.setPen(QPen(QColor(20, 140, 40), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
    return QIcon(pm);
}

// A red cross for "Cancel ".
QIcon CancelGlyph() {
    QPixmap pm = Blank(16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 30, 30), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    return QIcon(pm);
}

QToolButton* MakeButton(QWidget* parent, const char* name, const char* text, const QIcon& icon,
                        QRect place) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(QString::fromLatin1(text));
    b->setIcon(icon);
    b->setIconSize(QSize(16, 16));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setGeometry(place);
    return b;
}

}  // namespace

TForm3::TForm3(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral(" Destination Directory for Data Files"));
    if (owner) setFont(owner->font());
    setFixedSize(396, 403);
    setModal(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::StyledPanel);
    Panel1->setGeometry(4, 4, 388, 358);

    ShellTreeView1 = new QTreeView(Panel1);
    ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
    ShellTreeView1->setGeometry(4, 4, 380, 326);
    model_ = new QFileSystemModel(ShellTreeView1);
    // Folders only, read once: the tree does not follow later changes on disk.
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    model_->setOption(QFileSystemModel::DontWatchForChanges);
    model_->setRootPath(QString());
    ShellTreeView1->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column)
        ShellTreeView1->hideColumn(column);
    ShellTreeView1->setHeaderHidden(true);
    ShellTreeView1->setRootIsDecorated(false);
    ShellTreeView1->setSelectionMode(QAbstractItemView::SingleSelection);

    Label1 = new QLabel(QStringLiteral("Label1"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(6, 336, 376, 16);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);

    SpeedButton1 = MakeButton(this, "SpeedButton1", "Select ", SelectGlyph(), {212, 368, 86, 28});
    SpeedButton2 = MakeButton(this, "SpeedButton2", "Cancel ", CancelGlyph(), {304, 368, 86, 28});

    connect(ShellTreeView1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TForm3::ShellTreeView1Change);
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm3::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm3::SpeedButton2Click);

    // The tree opens on the user's own folder, selected and opened one level.
    SpeedButton1->setEnabled(false);
    if (SelectFolder(QDir::homePath())) ShellTreeView1->expand(ShellTreeView1->currentIndex());
}

QString TForm3::SelectedFolder() const {
    const QModelIndex index = ShellTreeView1->currentIndex();
    return index.isValid() ? QDir::toNativeSeparators(model_->filePath(index)) : QString();
}

bool TForm3::SelectFolder(const QString& folder) {
    const QModelIndex index = model_->index(folder);
    if (!index.isValid()) return false;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        ShellTreeView1->expand(up);
    ShellTreeView1->setCurrentIndex(index);
    ShellTreeView1->scrollTo(index, QAbstractItemView::PositionAtCenter);
    return true;
}

void TForm3::ShellTreeView1Change() {
    const QString path = SelectedFolder();
    Label1->setText(path);
    // Only a folder of the file system can receive data files.
    SpeedButton1->setEnabled(path.contains(QDir::separator()) || path.contains(QLatin1Char('/')));
}

void TForm3::SpeedButton1Click() {
    if (destinationField_) destinationField_->setText(SelectedFolder());
    accept();
}

void TForm3::SpeedButton2Click() {
    reject();
}

}  // namespace korvel
