// What the window needs from the desktop, as small interfaces: message boxes,
// the configuration file dialogs, opening a document with its default
// program and the per-user state store. The program uses the Qt
// implementations (qt_platform.h); the UI tests use fakes (fake_platform.h)
// so that no modal box blocks and no real user settings are touched.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace korvel {

// The caption of error boxes and the application title.
inline constexpr const char* kApplicationTitle = "Korvel";

enum class PromptAnswer { Yes, No, Cancel };

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Captioned "Information", information icon, OK.
    virtual void Information(QWidget* parent, const QString& text) = 0;
    // Captioned with the application title, error icon, OK. The text is shown
    // as given; the caller has already applied the final-period rule.
    virtual void Error(QWidget* parent, const QString& text) = 0;
    // Information box with Yes (default), No and Cancel; Esc or closing the
    // box answers Cancel.
    virtual PromptAnswer AskYesNoCancel(QWidget* parent, const QString& text) = 0;
};

struct FileDialogRequest {
    QString title;
    QString folder;         // initial folder
    QString filter;         // e.g. "Korvel configuration files (*.krv)"
    QString defaultSuffix;  // appended when the user types no extension
};

class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // Save dialog that asks before overwriting; no value when cancelled.
    virtual std::optional<QString> SaveFileName(QWidget* parent, const FileDialogRequest& r) = 0;
    // Open dialog that accepts names of files that do not exist.
    virtual std::optional<QString> OpenFileName(QWidget* parent, const FileDialogRequest& r) = 0;
};

class DocumentOpener {
  public:
    virtual ~DocumentOpener() = default;
    // The run report: Notepad on Windows, the desktop's text viewer elsewhere.
    virtual void OpenTextDocument(const QString& path) = 0;
    // A document or a web address with the program associated with it.
    virtual void OpenDocument(const QString& pathOrAddress) = 0;
};

// The registry-like store of window state. Booleans are kept as the integers
// 0 and 1 (read: non-zero is true). A failed write throws KorvelError
// "Failed to set data for '<name>'".
class StateStore {
  public:
    virtual ~StateStore() = default;
    // No value when the entry is missing or holds no integer.
    virtual std::optional<bool> ReadBool(const QString& name) const = 0;
    // Empty when missing.
    virtual QString ReadText(const QString& name) const = 0;
    virtual void WriteBool(const QString& name, bool value) = 0;
    virtual void WriteText(const QString& name, const QString& value) = 0;
};

struct PlatformServices {
    MessageBoxes& boxes;
    FileDialogs& dialogs;
    DocumentOpener& opener;
    StateStore& store;
};

// "Notepad.exe "<path>"": the command line that opens the report on Windows.
QString NotepadCommandLine(const QString& reportPath);

// Gives the memory the process has freed back to the system where the C
// library keeps it for later (glibc keeps freed blocks of its heap): after
// a large picture is let go, before the next is made.
void ReturnFreedMemory();

}  // namespace korvel
