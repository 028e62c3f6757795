#include "ui/platform/fake_platform.h"

#include "settings/korvel_error.h"

namespace korvel {

void FakeMessageBoxes::Information(QWidget*, const QString& text) {
    shown.push_back({Kind::Information, text});
    if (whileShown) whileShown(shown.back());
}

void FakeMessageBoxes::Error(QWidget*, const QString& text) {
    shown.push_back({Kind::Error, text});
    if (whileShown) whileShown(shown.back());
}

PromptAnswer FakeMessageBoxes::AskYesNoCancel(QWidget*, const QString& text) {
    shown.push_back({Kind::Prompt, text});
    if (whileShown) whileShown(shown.back());
    if (answers.empty()) return PromptAnswer::Cancel;
    PromptAnswer a = answers.front();
    answers.pop_front();
    return a;
}

QStringList FakeMessageBoxes::Texts(Kind kind) const {
    QStringList out;
    for (const auto& s : shown)
        if (s.kind == kind) out << s.text;
    return out;
}

std::optional<QString> FakeFileDialogs::SaveFileName(QWidget*, const FileDialogRequest& r) {
    return Answer(true, r);
}

std::optional<QString> FakeFileDialogs::OpenFileName(QWidget*, const FileDialogRequest& r) {
    return Answer(false, r);
}

std::optional<QString> FakeFileDialogs::Answer(bool save, const FileDialogRequest& r) {
    asked.push_back({save, r});
    if (answers.empty()) return std::nullopt;
    const QString path = answers.front();
    answers.pop_front();
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<bool> MemoryStateStore::ReadBool(const QString& name) const {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    bool ok = false;
    int n = it->second.toInt(&ok);
    if (!ok) return std::nullopt;
    return n != 0;
}

QString MemoryStateStore::ReadText(const QString& name) const {
    auto it = values.find(name);
    return it == values.end() ? QString() : it->second.toString();
}

void MemoryStateStore::WriteBool(const QString& name, bool value) {
    Check(name);
    values[name] = value ? 1 : 0;
    writes << name + QLatin1Char('=') + QString::number(value ? 1 : 0);
}

void MemoryStateStore::WriteText(const QString& name, const QString& value) {
    Check(name);
    values[name] = value;
    writes << name + QLatin1Char('=') + value;
}

void MemoryStateStore::Check(const QString& name) const {
    if (failingWrites.count(name))
        throw KorvelError("Failed to set data for '" + name.toStdString() + "'");
}

}  // namespace korvel
