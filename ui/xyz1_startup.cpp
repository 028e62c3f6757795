// Start-up, the configuration commands with their change prompt, Exit and
// the refused close request.
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <clocale>
#include <fstream>
#include <iterator>

#include "settings/korvel_error.h"
#include "settings/whole_file.h"
#include "ui/dxf_file_list.h"
#include "ui/text_bytes.h"
#include "ui/xyz1.h"

namespace korvel {

namespace {

const QString kShowLog = QStringLiteral("showlog");
const QString kDxfPath = QStringLiteral("dxfpath");
const QString kDestPath = QStringLiteral("destpath");
const QString kLocked = QStringLiteral("locked");
const QString kAutoSel = QStringLiteral("autosel");

const char* const kChangedPrompt = "Current configuration has changed, do you want to save it ?";

// The first line of korvel.ini (CR LF, CR or LF ends it); empty when the
// file is missing or empty.
QString FirstLineOf(const QString& path) {
    std::ifstream in(ToPath(path), std::ios::binary);
    if (!in) return {};
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t end = content.find_first_of("\r\n");
    return FromPathBytes(std::string_view(content).substr(0, end));
}

}  // namespace

void TForm1::ShowError(const char* message) noexcept {
    try {
        ShowErrorText(WithFinalPeriod(message));
    } catch (...) {
        // Nothing more can be shown when the error box itself fails.
    }
}

void TForm1::ShowErrorText(const std::string& text) noexcept {
    try {
        platform_.boxes.Error(
            this, QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
    } catch (...) {
        // Nothing more can be shown when the error box itself fails.
    }
}

bool TForm1::ReadStoredBool(const QString& name, bool initial) const {
    return platform_.store.ReadBool(name).value_or(initial);
}

void TForm1::StartUp() {
    // Numbers are written and read with "." whatever the regional settings.
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());

    // The window state. A value that is missing takes the window's initial
    // state, and the write-back of each restore creates it in the store.
    Guarded([&] { RestoreReportOption(ReadStoredBool(kShowLog, false)); });
    Guarded([&] { RestoreSourceFolder(platform_.store.ReadText(kDxfPath)); });
    Edit1->setText(platform_.store.ReadText(kDestPath));
    Guarded([&] { RestoreDestinationMode(ReadStoredBool(kLocked, true)); });
    Guarded([&] { RestoreAutoSelect(ReadStoredBool(kAutoSel, false)); });
    RestoreReaderOptions();

    configurationsFolder_ = userFolder_ + QStringLiteral("configurations");
    reportPath_ = userFolder_ + QStringLiteral("KorvelLog.txt");

    // Missing or short name tables fall back to the shipped names.
    names_ = LoadNameTables(ToPath(programFolder_));

    LoadRememberedConfiguration();
}

void TForm1::LoadRememberedConfiguration() {
    const QString name = FirstLineOf(userFolder_ + QStringLiteral("korvel.ini"));
    if (name.isEmpty()) {
        // Nothing remembered yet: the defaults, without a message.
        UseDefaultSettings();
        return;
    }
    configurationPath_ = configurationsFolder_ + QDir::separator() + name;
    if (!QFileInfo(configurationPath_).isFile()) {
        platform_.boxes.Information(
            this, QStringLiteral("Configuration file \"") + configurationPath_ +
                      QStringLiteral("\" not found, default values used instead"));
        UseDefaultSettings();
        return;
    }
    const bool loaded = Guarded([&] {
        config_.LoadConfigurationFile(ToPath(configurationPath_), [this] { ShowSettings(); });
        Label19->setText(QFileInfo(configurationPath_).fileName());
    });
    // A file that exists but cannot be read: its error was shown; go on with
    // the defaults so the window still comes up.
    if (!loaded) UseDefaultSettings();
}

void TForm1::UseDefaultSettings() {
    config_.SetDefaultSettings();
    ShowSettings();
    Label19->setText(QStringLiteral("None"));
}

// ---- Restoring the window state ----------------------------------------
// Each restore goes through the control's own handler (xyz1_files.cpp,
// xyz1_options.cpp), which writes the value back to the store.

void TForm1::RestoreReportOption(bool show) {
    // Checking a button runs its handler.
    (show ? rep1 : rep3)->setChecked(true);
}

void TForm1::RestoreSourceFolder(const QString& stored) {
    // A folder that no longer exists (or was never stored) gives way to the
    // home folder, so the window always has a folder to show.
    const QString folder =
        !stored.isEmpty() && QFileInfo(stored).isDir() ? stored : QDir::homePath();
    SelectSourceFolder(folder);
    const QModelIndex index = sh1->currentIndex();
    if (!index.isValid()) {
        // The tree cannot show it: the controls say that no folder is chosen.
        sh1Change();
        return;
    }
    sh1->expand(index);
    KeepSourceFolderInView();
}

// The tree reads and sorts its folders in the background, which moves the
// rows after the selection was made; until the user works in the tree, each
// such change brings the selected folder back into view.
void TForm1::KeepSourceFolderInView() {
    disconnect(keepSourceInView_);
    keepSourceInView_ = connect(folderModel_, &QFileSystemModel::layoutChanged, this, [this] {
        QTimer::singleShot(0, this, [this] {
            sh1->scrollTo(sh1->currentIndex(), QAbstractItemView::PositionAtCenter);
        });
    });
    const auto stop = [this] { disconnect(keepSourceInView_); };
    connect(sh1, &QTreeView::pressed, this, stop);
    connect(sh1, &QTreeView::expanded, this, stop);
    connect(sh1, &QTreeView::collapsed, this, stop);
}

void TForm1::RestoreDestinationMode(bool locked) {
    if (locked)
        SpeedButton2Click();
    else
        SpeedButton1Click();
}

void TForm1::RestoreAutoSelect(bool on) {
    if (autosel->isChecked() == on) {
        // Unchanged, so no click runs; a missing value is still created.
        if (!platform_.store.ReadBool(kAutoSel)) platform_.store.WriteBool(kAutoSel, on);
        return;
    }
    // Changing the state runs autoselClick.
    autosel->setChecked(on);
}

// ---- Configuration files ------------------------------------------------

FileDialogRequest TForm1::ConfigurationDialog(const QString& title) const {
    return {title, configurationsFolder_, QStringLiteral("Korvel configuration files (*.krv)"),
            QStringLiteral("krv")};
}

void TForm1::RememberConfiguration(const QString& fileName) {
    const QString path = userFolder_ + QStringLiteral("korvel.ini");
    const std::string line = ToPathBytes(fileName) + "\r\n";
    WriteWholeFile(ToPath(path), line, WriteFailure::NumberedIoError);
}

// Save: SaveCancelled is true from the start until the file is written, so a
// Load or Exit that asked for the save learns whether it happened.
void TForm1::SaveConfiguration() {
    SaveCancelled = true;
    const auto path = platform_.dialogs.SaveFileName(
        this, ConfigurationDialog(QStringLiteral("Save current configuration")));
    if (!path) return;
    config_.WriteConfigurationFile(ToPath(*path));
    const QString name = QFileInfo(*path).fileName();
    Label19->setText(name);
    config_.TakeSnapshot();
    SaveCancelled = false;
    RememberConfiguration(name);
}

void TForm1::SpeedButton13Click() {
    Guarded([&] { SaveConfiguration(); });
}

// The change prompt of Load and Exit: true when the command may go on.
bool TForm1::ChangePromptLetsGo() {
    if (!config_.Changed()) return true;
    switch (platform_.boxes.AskYesNoCancel(this, QString::fromLatin1(kChangedPrompt))) {
        case PromptAnswer::Yes:
            SaveConfiguration();
            return !SaveCancelled;
        case PromptAnswer::No:
            return true;
        case PromptAnswer::Cancel:
            break;
    }
    return false;
}

void TForm1::SpeedButton12Click() {
    Guarded([&] {
        if (!ChangePromptLetsGo()) return;
        const auto path = platform_.dialogs.OpenFileName(
            this, ConfigurationDialog(QStringLiteral("Load a configuration")));
        if (!path) return;
        config_.LoadConfigurationFile(ToPath(*path), [this] { ShowSettings(); });
        const QString name = QFileInfo(*path).fileName();
        Label19->setText(name);
        RememberConfiguration(name);
    });
}

// ---- Exit ---------------------------------------------------------------

void TForm1::BitBtn2Click() {
    Guarded([&] {
        if (!ChangePromptLetsGo()) return;
        platform_.store.WriteText(kDxfPath, CurrentSourceFolder());
        platform_.store.WriteText(kDestPath, Edit1->text());
        RequestProgramEnd();
    });
}

// During a run the program ends once the run has returned (its report is
// written by then); otherwise at once.
void TForm1::RequestProgramEnd() {
    if (running_)
        endAfterRun_ = true;
    else
        emit ProgramEndRequested();
}

}  // namespace korvel
