// The main window TForm1. Its methods are spread over files by concern:
//   xyz1_layout.cpp    every control of the window, named as the window
//                      definition names it, with its text, hint and place
//   xyz1_settings.cpp  ShowSettings and the entity check boxes
//   xyz1_datafields.cpp    the exported data fields, their settings pages,
//                          the field separator and the file extension
//   xyz1_codesequence.cpp  the Code page: the Code sequence and its values
//   xyz1_startup.cpp   StartUp, the configuration commands, Exit, the close
//                      request, the command guard
//   xyz1_run.cpp       the run command and the window as the run's host
//   xyz1_files.cpp     the source folder tree, the DXF file list, the
//                      destination folder and its lock
//   xyz1_options.cpp   the options page: report option, help, web site,
//                      reading group codes that are not right-aligned
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "engine/file_pass.h"
#include "settings/export_settings.h"
#include "settings/korvel_error.h"
#include "ui/platform/platform_services.h"
#include "ui/window_run_host.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QToolButton;
class QTreeView;
class QFileSystemModel;

namespace korvel {

class DxfFileList;
class NameListMirror;
class TForm2;
class TForm3;
class OutputOptionsDialog;
class ReadingOptionsDialog;

class TForm1 : public QWidget {
    Q_OBJECT

  public:
    // `programFolder` is the folder of the program file (the tests give a
    // temporary one); side files and the run report live there.
    TForm1(PlatformServices platform, const QString& programFolder, QWidget* parent = nullptr);
    // An installed program: the shipped side files (name tables, user guide)
    // in `dataFolder`, the files it writes (korvel.ini, the run report, the
    // configurations folder) in the user's `userFolder`.
    TForm1(PlatformServices platform, const QString& dataFolder, const QString& userFolder,
           QWidget* parent = nullptr);
    ~TForm1() override;

    // The progress dialog and the destination dialog, created after this window.
    void AttachDialogs(TForm2* progress, TForm3* destination);

    // ---- Settings binding (xyz1_settings.cpp) ----
    void ShowSettings();
    void cbpointsClick();
    void cbcircClick();
    void cbarcsClick();
    void cbellipseClick();
    void cbblockClick();
    void cblinesClick();
    void cb2dplClick();
    void cb2dplincClick();
    void cb3dplClick();
    void cbp3dincClick();
    void cbsplClick();
    void cbsplincfitClick();
    void cbtxtClick();
    void cbmtxtClick();

    // ---- Data fields and Code sequence (xyz1_datafields.cpp, xyz1_codesequence.cpp) ----
    void Button5Click();  // field to exported
    void Button6Click();  // field back
    void ListBox2Click();
    // Selects the first exported field and shows its page; with none, Button6 goes off.
    void SelectFirstExportedField();
    void Edit6Change();
    void Edit8Change();
    void Edit9Change();
    void Edit10Change();
    void Edit4Change();
    void Edit12Change();
    void ComboBox3Change();
    void ComboBox4Change();
    void ComboBox5Change();
    void CheckBox8Click();
    void Edit5KeyUp();
    void Edit11KeyUp();
    void Button3Click();  // element into the Code sequence
    void Button4Click();  // element out of it
    void ListBox4Click();
    void Edit7KeyUp();
    void Edit2Change();
    void Edit3Change();

    // ---- Start-up, configuration commands, exit (xyz1_startup.cpp) ----
    void StartUp();
    void RememberConfiguration(const QString& fileName);
    void SpeedButton13Click();  // Save configuration
    void SpeedButton12Click();  // Load configuration
    void BitBtn2Click();        // Exit
    bool FormCloseQuery() const { return false; }

    // ---- Run (xyz1_run.cpp) ----
    void BitBtn1Click();
    bool RunInProgress() const { return running_; }
    PumpTiming pumpTiming;

    // ---- Source files, destination, options (xyz1_files.cpp, xyz1_options.cpp) ----
    void sh1Change();
    void fl1Click();
    void autoselClick();
    void SpeedButton1Click();  // unlock the destination
    void SpeedButton2Click();  // lock it to the source folder
    void SpeedButton4Click();  // browse for the destination (TForm3)
    void BitBtn3Click();       // options page
    void BitBtn4Click();       // back to the main page
    void rep1Click();
    void rep3Click();
    void BitBtn5Click();        // help file
    void SpeedButton11Click();  // maker's web site
    void cbaligncodesClick();
    void cbmissingzClick();
    // The folder selected in sh1 as the tree gives it; empty when none is.
    QString SelectedSourceFolder() const;
    // Selects `folder` in sh1; sh1Change runs when the selection changes.
    void SelectSourceFolder(const QString& folder);
    // Read group codes that are not right-aligned ("aligncodes").
    bool AlignGroupCodes = false;
    // Take a missing Z coordinate as 0 ("missingz").
    bool MissingZAsZero = false;

    // ---- State shared with the core and the other concerns ----
    Configuration& Config() { return config_; }
    const NameTables& Names() const { return names_; }
    const QString& ProgramFolder() const { return programFolder_; }
    const QString& UserFolder() const { return userFolder_; }
    const QString& ConfigurationsFolder() const { return configurationsFolder_; }
    const QString& ReportPath() const { return reportPath_; }
    bool ShowReport = false;
    bool SaveCancelled = false;
    bool DestinationLocked = true;

    // The exported data fields and the Code sequence as the core reads them,
    // kept current with ListBox2 and ListBox4.
    const std::vector<std::string>& ExportedDataFields() const;
    const std::vector<std::string>& CodeSequence() const;
    std::uint64_t ListsGeneration() const { return listsGeneration_; }

    // ---- Controls, by the names of the window definition ----
    // Bottom strip
    QToolButton* SpeedButton12;
    QToolButton* SpeedButton13;
    QLabel* Label27;
    QLabel* Label19;
    QStackedWidget* PageControl10;
    QWidget* TabSheet1;
    QWidget* TabSheet7;
    // " DXF Files "
    QGroupBox* GroupBox3;
    QTreeView* sh1;
    DxfFileList* fl1;
    QCheckBox* autosel;
    QLabel* Label30;
    QLabel* Label3;
    // Destination and file extension
    QGroupBox* GroupBox2;
    QLineEdit* Edit1;
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QToolButton* SpeedButton4;
    QLabel* Label11;
    QLineEdit* Edit12;
    // " DXF Entities to process "
    QGroupBox* GroupBox1;
    QCheckBox* cbpoints;
    QCheckBox* cbcirc;
    QCheckBox* cbarcs;
    QCheckBox* cbellipse;
    QCheckBox* cbblock;
    QCheckBox* cblines;
    QCheckBox* cb2dpl;
    QCheckBox* cb2dplinc;
    QCheckBox* cb3dpl;
    QCheckBox* cbp3dinc;
    QCheckBox* cbspl;
    QCheckBox* cbsplincfit;
    QCheckBox* cbtxt;
    QCheckBox* cbmtxt;
    // " Exported Data "
    QGroupBox* GroupBox10;
    QLabel* Label2;
    QLabel* Label10;
    QLineEdit* Edit4;
    QLabel* Label5;
    QListWidget* ListBox1;
    QPushButton* Button5;
    QPushButton* Button6;
    QListWidget* ListBox2;
    QStackedWidget* PageControl1;
    QWidget* TabSheet2;  // Number
    QWidget* TabSheet3;  // X
    QWidget* TabSheet4;  // Y
    QWidget* TabSheet5;  // Z
    QWidget* TabSheet6;  // Code
    QGroupBox* GroupBox6;
    QLabel* Label12;
    QLineEdit* Edit6;
    QLabel* Label13;
    QLineEdit* Edit5;
    QGroupBox* GroupBox7;
    QLabel* Label14;
    QLineEdit* Edit8;
    QLabel* Label15;
    QComboBox* ComboBox3;
    QGroupBox* GroupBox8;
    QLabel* Label16;
    QLineEdit* Edit9;
    QLabel* Label17;
    QComboBox* ComboBox4;
    QGroupBox* GroupBox9;
    QLabel* Label18;
    QLineEdit* Edit10;
    QLabel* Label20;
    QComboBox* ComboBox5;
    QCheckBox* CheckBox8;
    QLineEdit* Edit11;
    // Code page
    QGroupBox* GroupBox4;
    QListWidget* ListBox3;
    QPushButton* Button3;
    QPushButton* Button4;
    QGroupBox* GroupBox5;
    QListWidget* ListBox4;
    QLabel* Label9;
    QLineEdit* Edit7;
    QLabel* Label1;
    QLineEdit* Edit2;
    QLabel* Label4;
    QLineEdit* Edit3;
    // Command buttons
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;
    // Options page
    QGroupBox* GroupBox14;
    QLabel* Image1;
    QLabel* Label29;
    QRadioButton* rep1;
    QRadioButton* rep3;
    QPushButton* BitBtn5;
    QGroupBox* GroupBox11;
    QToolButton* SpeedButton11;
    QLabel* Label28;
    QPushButton* BitBtn4;
    // Reading drawings: the button on the options page and its dialog, which
    // holds the two reading options of every configuration too.
    QPushButton* ReadingOptionsButton;
    ReadingOptionsDialog* ReadingOptions;
    QCheckBox* cbaligncodes;
    QCheckBox* cbmissingz;
    void ReadingOptionsButtonClick();
    // Writing data files: the button beside it and its dialog.
    QPushButton* OutputOptionsButton;
    OutputOptionsDialog* OutputOptions;
    void OutputOptionsButtonClick();
    // The extension's tool tip tells the form and the systems of the data
    // files when they are other than the text lines as the drawing holds them.
    void ShowOutputHint();
    // The layer picker over the drawings selected in fl1; the layers ticked
    // there become the include list.
    void ShowLayerPicker();
    // How the run and the preview read drawings: the two reading options and
    // the configuration's options beyond its record.
    PassOptions ReadingPassOptions() const;

  signals:
    // Exit has let the program go: the application ends its event loop.
    void ProgramEndRequested();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // xyz1_layout.cpp
    void CreateControls();
    void CreateFilesGroup();
    void CreateDestinationGroup();
    void CreateEntitiesGroup();
    void CreateExportedDataGroup();
    void CreateFieldPages();
    void CreateCodePage();
    void CreateOptionsPage();
    void ConnectCommands();
    void ApplyStyle();

    // xyz1_settings.cpp
    void StoreFlag(const QCheckBox* box, BoolField flag);

    // Data fields and Code sequence
    void ConnectDataFieldEditor();
    void ConnectCodeSequenceEditor();
    void RefreshCodePage();
    void StoreText(ShortStringField f, const QString& text);
    void StoreDecimals(Int32Field f, const QComboBox* box);

    // xyz1_startup.cpp
    bool ReadStoredBool(const QString& name, bool initial) const;
    void RestoreReportOption(bool show);
    void RestoreSourceFolder(const QString& folder);
    void RestoreDestinationMode(bool locked);
    void RestoreAutoSelect(bool on);
    QString CurrentSourceFolder() const;
    void KeepSourceFolderInView();
    void ShowSelectedCount();
    void LoadRememberedConfiguration();
    void UseDefaultSettings();
    void SaveConfiguration();
    bool ChangePromptLetsGo();
    FileDialogRequest ConfigurationDialog(const QString& title) const;
    void RequestProgramEnd();

    // xyz1_run.cpp
    void CreateDataFiles();

    // Source files, destination, options
    void ConnectFilesAndOptions();
    void RestoreReaderOptions();
    // A reader option of the options page: stored when the user changes it,
    // read at start-up.
    void StoreReaderOption(QCheckBox* box, const QString& name, bool& option);
    void RestoreReaderOption(QCheckBox* box, const QString& name, bool& option);
    void SetReportOption(bool show);

  public:
    // Runs one window command: an error ends the command and is shown in the
    // error box; nothing escapes into the event loop.
    template <typename Command>
    bool Guarded(Command&& command) noexcept {
        try {
            command();
            return true;
        } catch (const DrawingError& e) {
            ShowErrorText(DrawingErrorBoxText(e));
        } catch (const std::exception& e) {
            ShowError(e.what());
        } catch (...) {
            ShowError("Unknown error");
        }
        return false;
    }
    void ShowError(const char* message) noexcept;
    // Shows `text` as it stands.
    void ShowErrorText(const std::string& text) noexcept;

  private:
    PlatformServices platform_;
    Configuration config_;
    NameTables names_;
    QString programFolder_;  // the shipped side files
    QString userFolder_;     // korvel.ini, the run report, the configurations
    QString configurationsFolder_;
    QString reportPath_;
    QString configurationPath_;
    QFileSystemModel* folderModel_ = nullptr;
    QMetaObject::Connection keepSourceInView_;

    std::uint64_t listsGeneration_ = 0;
    NameListMirror* exportedFields_ = nullptr;
    NameListMirror* codeSequence_ = nullptr;

    TForm2* progress_ = nullptr;
    TForm3* destination_ = nullptr;
    RunReport runReport_;
    bool running_ = false;
    bool endAfterRun_ = false;
};

}  // namespace korvel
