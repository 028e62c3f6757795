// The progress dialog TForm2: the file being processed, a progress bar and
// "Stop process", which ends the pass over the current file only.
#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QProgressBar;
class QToolButton;

namespace korvel {

class FilePass;

class TForm2 : public QDialog {
    Q_OBJECT

  public:
    explicit TForm2(QWidget* owner);

    QGroupBox* GroupBox1;
    QLabel* Image1;
    QLabel* Label1;
    QProgressBar* ProgressBar1;
    QToolButton* SpeedButton1;

    // Sets the stop request of the current pass; nothing without one.
    void SpeedButton1Click();
    // The pass that "Stop process" reaches, or none between passes.
    void SetCurrentPass(FilePass* pass) { currentPass_ = pass; }

    // Shows the dialog centred on its owner, non-modal, painted at once.
    void ShowCentred();

  public slots:
    // Esc does not hide the dialog during a run.
    void reject() override {}

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    FilePass* currentPass_ = nullptr;
};

}  // namespace korvel
