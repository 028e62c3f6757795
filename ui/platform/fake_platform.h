// Platform fakes for the UI tests: boxes and dialogs answer from queues and
// record what they were asked, the store lives in memory, documents are only
// recorded. Nothing here blocks or touches the user's desktop.
#pragma once

#include <QVariant>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "ui/platform/platform_services.h"

namespace korvel {

class FakeMessageBoxes final : public MessageBoxes {
  public:
    enum class Kind { Information, Error, Prompt };
    struct Shown {
        Kind kind;
        QString text;
    };

    void Information(QWidget* parent, const QString& text) override;
    void Error(QWidget* parent, const QString& text) override;
    PromptAnswer AskYesNoCancel(QWidget* parent, const QString& text) override;

    std::vector<Shown> shown;
    // Answers of the next prompts; an empty queue answers Cancel.
    std::deque<PromptAnswer> answers;
    // Runs while a box is "open", as a user acting then would.
    std::function<void(const Shown&)> whileShown;

    QStringList Texts(Kind kind) const;
};

class FakeFileDialogs final : public FileDialogs {
  public:
    struct Asked {
        bool save;
        FileDialogRequest request;
    };

    std::optional<QString> SaveFileName(QWidget* parent, const FileDialogRequest& r) override;
    std::optional<QString> OpenFileName(QWidget* parent, const FileDialogRequest& r) override;

    std::vector<Asked> asked;
    // Chosen paths of the next dialogs; an empty path (or an empty queue)
    // is the user cancelling.
    std::deque<QString> answers;

  private:
    std::optional<QString> Answer(bool save, const FileDialogRequest& r);
};

class FakeDocumentOpener final : public DocumentOpener {
  public:
    void OpenTextDocument(const QString& path) override { textDocuments.push_back(path); }
    void OpenDocument(const QString& p) override { documents.push_back(p); }

    QStringList textDocuments;
    QStringList documents;
};

class MemoryStateStore final : public StateStore {
  public:
    std::optional<bool> ReadBool(const QString& name) const override;
    QString ReadText(const QString& name) const override;
    void WriteBool(const QString& name, bool value) override;
    void WriteText(const QString& name, const QString& value) override;

    std::map<QString, QVariant> values;
    // Writes of these names fail as a read-only key would.
    std::set<QString> failingWrites;
    // Every write in order, as "name=value".
    QStringList writes;

  private:
    void Check(const QString& name) const;
};

// One set of fakes, handed to the window as its platform.
struct FakePlatform {
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    FakeDocumentOpener opener;
    MemoryStateStore store;

    PlatformServices Services() { return {boxes, dialogs, opener, store}; }
};

}  // namespace korvel
