#include "ui/platform/qt_platform.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QUrl>

#include "settings/korvel_error.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace korvel {

void ReturnFreedMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

QString NotepadCommandLine(const QString& reportPath) {
    return QStringLiteral("Notepad.exe \"") + reportPath + QLatin1Char('"');
}

void QtMessageBoxes::Information(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

void QtMessageBoxes::Error(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kApplicationTitle), text,
                    QMessageBox::Ok, parent);
    box.exec();
}

PromptAnswer QtMessageBoxes::AskYesNoCancel(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return PromptAnswer::Yes;
        case QMessageBox::No:
            return PromptAnswer::No;
        default:
            return PromptAnswer::Cancel;
    }
}

namespace {

std::optional<QString> RunFileDialog(QWidget* parent, const FileDialogRequest& r, bool save) {
    QFileDialog dialog(parent, r.title, r.folder, r.filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // The open dialog takes names of files that do not exist: loading such a
    // name then fails with the "Cannot open file" message.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(r.defaultSuffix);
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
    return files.front();
}

}  // namespace

std::optional<QString> QtFileDialogs::SaveFileName(QWidget* parent, const FileDialogRequest& r) {
    return RunFileDialog(parent, r, true);
}

std::optional<QString> QtFileDialogs::OpenFileName(QWidget* parent, const FileDialogRequest& r) {
    return RunFileDialog(parent, r, false);
}

void QtDocumentOpener::OpenTextDocument(const QString& path) {
#ifdef Q_OS_WIN
    QProcess notepad;
    notepad.setProgram(QStringLiteral("Notepad.exe"));
    notepad.setNativeArguments(QLatin1Char('"') + path + QLatin1Char('"'));
    notepad.startDetached();
#else
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
#endif
}

void QtDocumentOpener::OpenDocument(const QString& pathOrAddress) {
    const QUrl url = QUrl::fromUserInput(pathOrAddress);
    QDesktopServices::openUrl(url);
}

SettingsStateStore::SettingsStateStore(std::unique_ptr<QSettings> settings)
    : settings_(std::move(settings)) {}

SettingsStateStore::~SettingsStateStore() = default;

std::unique_ptr<SettingsStateStore> SettingsStateStore::OpenUserStore() {
    return std::make_unique<SettingsStateStore>(
        std::make_unique<QSettings>(QStringLiteral("Tessivo"), QStringLiteral("korvel")));
}

std::optional<bool> SettingsStateStore::ReadBool(const QString& name) const {
    const QVariant v = settings_->value(name);
    if (!v.isValid()) return std::nullopt;
    bool ok = false;
    const int n = v.toInt(&ok);
    if (!ok) return std::nullopt;
    return n != 0;
}

QString SettingsStateStore::ReadText(const QString& name) const {
    return settings_->value(name).toString();
}

void SettingsStateStore::WriteBool(const QString& name, bool value) {
    // An integer, so that the Windows registry stores a REG_DWORD.
    settings_->setValue(name, value ? 1 : 0);
    Commit(name);
}

void SettingsStateStore::WriteText(const QString& name, const QString& value) {
    settings_->setValue(name, value);
    Commit(name);
}

void SettingsStateStore::Commit(const QString& name) {
    settings_->sync();
    if (settings_->status() != QSettings::NoError || !settings_->isWritable())
        throw KorvelError("Failed to set data for '" + name.toStdString() + "'");
}

}  // namespace korvel
