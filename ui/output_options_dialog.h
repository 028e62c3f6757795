// How data files are written: their form and the coordinate systems, kept
// with the configuration. Reached from the options page; every edit takes
// effect at once, as the main window's editors do.
#pragma once

#include <QDialog>

#include "settings/extended_options.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvel {

class OutputOptionsDialog : public QDialog {
    Q_OBJECT

  public:
    // `options` is the configuration's.
    OutputOptionsDialog(QWidget* owner, ExtendedOptions& options);

    // The configuration's options into the editors, storing nothing.
    void ShowOptions();

    QComboBox* Format;
    QLineEdit* Extension;
    QLineEdit* SourceSystem;
    QLineEdit* TargetSystem;
    // What a run would write: the form and the systems, or why it cannot.
    QLabel* Summary;
    QPushButton* CloseButton;

  signals:
    // After each change of the configuration's options.
    void OptionsChanged();

  private:
    void StoreOptions();
    void ShowSummary();

    ExtendedOptions& options_;
};

// What the main window's extension tells of the form: empty for the text
// lines in the drawing's coordinates.
QString OutputFormatHint(const OutputOptions& options);

}  // namespace korvel
