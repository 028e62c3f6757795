#include "ui/unit2.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>

#include "engine/file_pass.h"
#include "ui/glyphs.h"

namespace korvel {

TForm2::TForm2(QWidget* owner)
    // No title-bar buttons; above other windows while a run shows it.
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral(" Processing"));
    setModal(false);
    if (owner) setFont(owner->font());
    setFixedSize(359, 92);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(4, 2, 351, 56);

    Image1 = new QLabel(GroupBox1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(8, 12, 32, 32);
    Image1->setPixmap(glyphs::Processing(32));

    Label1 = new QLabel(QStringLiteral("Process"), GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(48, 8, 295, 16);

    ProgressBar1 = new QProgressBar(GroupBox1);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(48, 28, 295, 18);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(250, 62, 105, 26);
    SpeedButton1->setText(QStringLiteral("Stop process"));
    SpeedButton1->setIcon(glyphs::Stop());
    SpeedButton1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm2::SpeedButton1Click);
}

void TForm2::SpeedButton1Click() {
    if (currentPass_) currentPass_->RequestStop();
}

void TForm2::ShowCentred() {
    if (QWidget* owner = parentWidget()) {
        const QRect o = owner->frameGeometry();
        move(o.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    // Painted before the first file is read: the run does not return to the
    // event loop until it ends.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
}

void TForm2::closeEvent(QCloseEvent* event) {
    // The dialog comes and goes with the run only.
    event->ignore();
}

}  // namespace korvel
