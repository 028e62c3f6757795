// The platform services on Qt: QMessageBox, QFileDialog, QDesktopServices
// and a QSettings-backed state store.
#pragma once

#include <memory>

#include "ui/platform/platform_services.h"

class QSettings;

namespace korvel {

class QtMessageBoxes final : public MessageBoxes {
  public:
    void Information(QWidget* parent, const QString& text) override;
    void Error(QWidget* parent, const QString& text) override;
    PromptAnswer AskYesNoCancel(QWidget* parent, const QString& text) override;
};

class QtFileDialogs final : public FileDialogs {
  public:
    std::optional<QString> SaveFileName(QWidget* parent, const FileDialogRequest& r) override;
    std::optional<QString> OpenFileName(QWidget* parent, const FileDialogRequest& r) override;
};

class QtDocumentOpener final : public DocumentOpener {
  public:
    void OpenTextDocument(const QString& path) override;
    void OpenDocument(const QString& pathOrAddress) override;
};

// The store on a QSettings object: QSettings("Tessivo", "korvel") in the
// program (the per-user registry key on Windows, an INI file elsewhere), a
// file of its own in tests.
class SettingsStateStore final : public StateStore {
  public:
    explicit SettingsStateStore(std::unique_ptr<QSettings> settings);
    ~SettingsStateStore() override;

    // The program's own store.
    static std::unique_ptr<SettingsStateStore> OpenUserStore();

    std::optional<bool> ReadBool(const QString& name) const override;
    QString ReadText(const QString& name) const override;
    void WriteBool(const QString& name, bool value) override;
    void WriteText(const QString& name, const QString& value) override;

  private:
    void Commit(const QString& name);
    std::unique_ptr<QSettings> settings_;
};

}  // namespace korvel
