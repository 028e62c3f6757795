// Driving the layout editors as a user does: clicks on list items and
// buttons, keys typed into edits, texts pasted; and a window set up on one
// small drawing whose data lines a test reads back.
#pragma once

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "window_harness.h"

namespace korvel::testing {

inline QStringList Items(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

inline QString SelectedText(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.size() == 1 ? selected[0]->text() : QString();
}

// Keys reach an edit only while the user can see and use it.
inline bool Usable(const QWidget* w) {
    return w->isVisible() && w->isEnabled();
}

// Three POINTs on layers L0, L1, L2 at X 1000, 1000.125, 1000.25,
// Y 2000.5, 2000.4375, 2000.375, Z 0.25, 1.25, 2.25, in src/a.dxf; the window
// starts on that folder with the file selected and writes into out/.
struct EditorSetup {
    WindowHarness h;
    QString source, out;

    explicit EditorSetup(int points = 3, bool start = true) {
        source = h.Work() + "/src";
        out = h.Work() + "/out";
        QDir().mkpath(source);
        QDir().mkpath(out);
        WriteAll(source + "/a.dxf", PointDrawing(points));
        h.fakes.store.values = {
            {"dxfpath", source}, {"destpath", out}, {"locked", 0}, {"autosel", 1}, {"showlog", 0}};
        if (start) Start();
    }

    void Start() {
        h.CreateAndStart();
        Form().show();
        if (!QTest::qWaitForWindowExposed(&Form())) qFatal("window not exposed");
    }

    TForm1& Form() { return h.Form(); }
    ExportSettings& Settings() { return Form().Config().settings; }
    template <typename W>
    W* Control(const char* name) {
        return h.Control<W>(name);
    }

    void ClickItem(const char* listName, const QString& text) {
        auto* list = Control<QListWidget>(listName);
        const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
        if (found.size() != 1 || !list->isVisible())
            return QTest::qFail(qPrintable("cannot click " + text), __FILE__, __LINE__);
        list->scrollToItem(found[0]);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(found[0]).center());
    }
    void Click(const char* buttonName) {
        QTest::mouseClick(Control<QPushButton>(buttonName), Qt::LeftButton);
    }

    // Typed key by key: every character is a key press and a key release.
    void Type(const char* editName, const QString& text) {
        auto* edit = Control<QLineEdit>(editName);
        if (!Usable(edit))
            return QTest::qFail(qPrintable(QString::fromLatin1(editName) + " cannot be typed into"),
                                __FILE__, __LINE__);
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(edit, c.toLatin1());
            } else {  // a key of a Latin-1 keyboard: the key code is its capital
                const auto key = static_cast<Qt::Key>(c.toUpper().unicode());
                QTest::sendKeyEvent(QTest::Click, edit, key, QString(c), Qt::NoModifier);
            }
        }
    }
    void Key(const char* editName, Qt::Key key, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(Control<QLineEdit>(editName), key, mods);
    }
    // Select all, then Backspace: the edit ends empty.
    void Clear(const char* editName) {
        Key(editName, Qt::Key_A, Qt::ControlModifier);
        Key(editName, Qt::Key_Backspace);
    }
    // The whole text replaced at once by Ctrl+A, Ctrl+V.
    void Paste(const char* editName, const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        Key(editName, Qt::Key_A, Qt::ControlModifier);
        Key(editName, Qt::Key_V, Qt::ControlModifier);
    }

    // Runs "Create Data Files" and returns the lines of the data file.
    QStringList RunLines(const QString& dataName = QStringLiteral("a.txt")) {
        QFile::remove(out + "/" + dataName);
        Form().BitBtn1Click();
        QStringList lines = QString::fromLatin1(ReadAll(out + "/" + dataName)).split("\r\n");
        if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
        return lines;
    }
};

}  // namespace korvel::testing
