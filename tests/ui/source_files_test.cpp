// The source folder tree and the DXF file list, the automatic selection, the
// destination lock and the destination folder dialog, driven with the mouse
// as a user would, on temporary folders and the in-memory state store.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

#include "folder_tree_clicks.h"
#include "ui/dxf_file_list.h"
#include "window_harness.h"

using namespace korvel;
using korvel::testing::ClickFile;
using korvel::testing::ClickFolder;
using korvel::testing::CoreRun;
using korvel::testing::Names;
using korvel::testing::PointDrawing;
using korvel::testing::ReadAll;
using korvel::testing::SelectedNames;
using korvel::testing::WindowHarness;
using korvel::testing::WriteAll;
using Kind = FakeMessageBoxes::Kind;

namespace {

// The window on the fakes, shown, with folders of drawings under the test's
// home folder.
struct Desk {
    WindowHarness h;

    QString Folder(const QString& name, const QStringList& files = {}, int points = 3) {
        const QString path = h.Work() + "/" + name;
        QDir().mkpath(path);
        for (const QString& f : files) WriteAll(path + "/" + f, PointDrawing(points));
        return path;
    }

    TForm1& Start() {
        h.Create();
        // The tree reads folders in the background; a test that changes the
        // disk under it waits until the home folder has been read.
        loaded =
            std::make_unique<QSignalSpy>(h.Form().sh1->model(), SIGNAL(directoryLoaded(QString)));
        h.Form().StartUp();
        h.Form().show();
        if (!QTest::qWaitForWindowExposed(&h.Form())) qFatal("window not shown");
        return h.Form();
    }

    bool HomeFolderRead() {
        return QTest::qWaitFor([this] {
            for (const QList<QVariant>& args : *loaded)
                if (args.value(0).toString() == h.Work()) return true;
            return false;
        });
    }

    std::unique_ptr<QSignalSpy> loaded;

    QString Label3() { return h.Control<QLabel>("Label3")->text(); }
    QString Label30() { return h.Control<QLabel>("Label30")->text(); }
    QString Edit1() { return h.Control<QLineEdit>("Edit1")->text(); }
    bool RunEnabled() { return h.Control<QPushButton>("BitBtn1")->isEnabled(); }
    TForm3& Dialog() { return *h.Form().findChild<TForm3*>(); }

    void ClickCheckBox(const char* name) {
        auto* box = h.Control<QCheckBox>(name);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }
};

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

}  // namespace

class SourceFilesTest : public QObject {
    Q_OBJECT

  private slots:
    void folderChangeListsTheDrawingsAndSelectsTheFirst() {
        Desk d;
        const QString mixed =
            d.Folder("mixed", {"b.dxf", "A.DXF", "c.Dxf", "notes.txt", ".hidden.dxf", "e.dxf.bak"});
        QDir().mkpath(mixed + "/sub.dxf");  // a folder, not a drawing
        TForm1& f = d.Start();
        QVERIFY(ClickFolder(f.sh1, mixed));

        QCOMPARE(Names(f.fl1), (QStringList{"A.DXF", "b.dxf", "c.Dxf"}));
        QCOMPARE(SelectedNames(f.fl1), QStringList{"A.DXF"});
        QCOMPARE(f.fl1->currentRow(), 0);
        QCOMPARE(f.fl1->Folder(), Native(mixed));
        QCOMPARE(d.Label3(), QStringLiteral("1 selected."));
        QCOMPARE(d.Label30(), Native(mixed));
        QVERIFY(d.RunEnabled());
        // Locked (the first start's state): the destination follows.
        QCOMPARE(d.Edit1(), Native(mixed));
    }

    void autoSelectTakesEveryFileNowAndAtEachFolderChange() {
        Desk d;
        const QString one = d.Folder("one", {"x.dxf", "y.dxf", "z.dxf"});
        const QString two = d.Folder("two", {"p.dxf", "q.DXF"});
        TForm1& f = d.Start();
        QVERIFY(ClickFolder(f.sh1, one));
        d.h.fakes.store.writes.clear();

        d.ClickCheckBox("autosel");
        QCOMPARE(SelectedNames(f.fl1), (QStringList{"x.dxf", "y.dxf", "z.dxf"}));
        QCOMPARE(d.Label3(), QStringLiteral("3 selected."));
        QCOMPARE(d.h.fakes.store.writes, QStringList{"autosel=1"});

        QVERIFY(ClickFolder(f.sh1, two));
        QCOMPARE(SelectedNames(f.fl1), (QStringList{"p.dxf", "q.DXF"}));
        QCOMPARE(d.Label3(), QStringLiteral("2 selected."));

        // Unticking keeps the selection.
        ClickFile(f.fl1, 1);
        d.ClickCheckBox("autosel");
        QCOMPARE(SelectedNames(f.fl1), QStringList{"q.DXF"});
        QCOMPARE(d.Label3(), QStringLiteral("1 selected."));
        QCOMPARE(d.h.fakes.store.writes, (QStringList{"autosel=1", "autosel=0"}));
        // And the next folder gets its first file only.
        QVERIFY(ClickFolder(f.sh1, one));
        QCOMPARE(SelectedNames(f.fl1), QStringList{"x.dxf"});
    }

    void folderWithoutDrawingsDisablesTheRunButton() {
        Desk d;
        const QString drawings = d.Folder("drawings", {"a.dxf"});
        const QString empty = d.Folder("empty");
        WriteAll(empty + "/readme.txt", "no drawings here");
        TForm1& f = d.Start();
        QVERIFY(ClickFolder(f.sh1, drawings));
        QVERIFY(d.RunEnabled());

        QVERIFY(ClickFolder(f.sh1, empty));
        QCOMPARE(f.fl1->count(), 0);
        QVERIFY(!d.RunEnabled());
        QCOMPARE(d.Label3(), QStringLiteral("0 selected."));
        QCOMPARE(d.Label30(), Native(empty));

        QVERIFY(ClickFolder(f.sh1, drawings));
        QVERIFY(d.RunEnabled());
        QCOMPARE(d.Label3(), QStringLiteral("1 selected."));
    }

    void ctrlAndShiftClicksChangeTheSelectionAndTheCount() {
        Desk d;
        const QString folder = d.Folder("four", {"a.dxf", "b.dxf", "c.dxf", "d.dxf"});
        d.h.fakes.store.values = {{"dxfpath", folder}, {"autosel", 1}};
        TForm1& f = d.Start();
        QCOMPARE(d.Label3(), QStringLiteral("4 selected."));

        // Ctrl-click every file off: nothing selected, the run button stays.
        for (int row = 0; row < 4; ++row) ClickFile(f.fl1, row, Qt::ControlModifier);
        QCOMPARE(SelectedNames(f.fl1), QStringList());
        QCOMPARE(d.Label3(), QStringLiteral("0 selected."));
        QVERIFY(d.RunEnabled());

        ClickFile(f.fl1, 1);
        ClickFile(f.fl1, 3, Qt::ShiftModifier);
        QCOMPARE(SelectedNames(f.fl1), (QStringList{"b.dxf", "c.dxf", "d.dxf"}));
        QCOMPARE(d.Label3(), QStringLiteral("3 selected."));
        ClickFile(f.fl1, 2, Qt::ControlModifier);
        QCOMPARE(SelectedNames(f.fl1), (QStringList{"b.dxf", "d.dxf"}));
        QCOMPARE(d.Label3(), QStringLiteral("2 selected."));
    }

    void folderThatCannotBeReadLeavesTheListAsItWas() {
        Desk d;
        const QString good = d.Folder("good", {"a.dxf", "b.dxf"});
        const QString gone = d.Folder("gone", {"x.dxf"});
        TForm1& f = d.Start();
        QVERIFY(ClickFolder(f.sh1, good));
        QVERIFY(d.HomeFolderRead());
        QVERIFY(QDir(gone).removeRecursively());

        QVERIFY(ClickFolder(f.sh1, gone));
        QCOMPARE(Names(f.fl1), (QStringList{"a.dxf", "b.dxf"}));
        QCOMPARE(f.fl1->Folder(), Native(good));
        QVERIFY(d.RunEnabled());
        QCOMPARE(d.Label30(), Native(gone));
        QVERIFY(d.h.fakes.boxes.shown.empty());
    }

    void theListIsReadWhenItsFolderIsSelectedAgain() {
        Desk d;
        const QString folder = d.Folder("live", {"a.dxf"});
        const QString other = d.Folder("other");
        TForm1& f = d.Start();
        QVERIFY(ClickFolder(f.sh1, folder));
        WriteAll(folder + "/b.dxf", PointDrawing(1));
        // Clicking the folder that is already selected reads nothing.
        QVERIFY(ClickFolder(f.sh1, folder));
        QCOMPARE(Names(f.fl1), QStringList{"a.dxf"});
        QVERIFY(ClickFolder(f.sh1, other));
        QVERIFY(ClickFolder(f.sh1, folder));
        QCOMPARE(Names(f.fl1), (QStringList{"a.dxf", "b.dxf"}));
    }

    void lockAndUnlockTheDestination() {
        Desk d;
        const QString src = d.Folder("src", {"a.dxf"});
        const QString next = d.Folder("next", {"n.dxf"});
        d.h.fakes.store.values = {{"dxfpath", src}, {"destpath", "/kept/elsewhere"}};
        TForm1& f = d.Start();
        auto* locked = d.h.Control<QToolButton>("SpeedButton1");
        auto* unlocked = d.h.Control<QToolButton>("SpeedButton2");
        auto* browse = d.h.Control<QToolButton>("SpeedButton4");
        QVERIFY(locked->isVisible() && locked->isChecked() && !unlocked->isVisible());
        QVERIFY(!browse->isEnabled());
        QCOMPARE(d.Edit1(), Native(src));
        d.h.fakes.store.writes.clear();

        QTest::mouseClick(locked, Qt::LeftButton);
        QVERIFY(!f.DestinationLocked);
        QVERIFY(unlocked->isVisible() && !locked->isVisible());
        QVERIFY(browse->isEnabled());
        QCOMPARE(d.Edit1(), Native(src));
        QCOMPARE(d.h.fakes.store.writes, QStringList{"locked=0"});
        // Unlocked, a folder change leaves the destination alone.
        QVERIFY(ClickFolder(f.sh1, next));
        QCOMPARE(d.Edit1(), Native(src));

        QTest::mouseClick(unlocked, Qt::LeftButton);
        QVERIFY(f.DestinationLocked);
        QVERIFY(locked->isVisible() && locked->isChecked() && !unlocked->isVisible());
        QVERIFY(!browse->isEnabled());
        QCOMPARE(d.Edit1(), Native(next));
        QCOMPARE(d.h.fakes.store.writes, (QStringList{"locked=0", "locked=1"}));
        QVERIFY(ClickFolder(f.sh1, src));
        QCOMPARE(d.Edit1(), Native(src));
    }

    void destinationDialogSelectAndCancel() {
        Desk d;
        const QString src = d.Folder("src", {"a.dxf"});
        const QString out = d.Folder("out");
        const QString other = d.Folder("other");
        d.h.fakes.store.values = {{"dxfpath", src}, {"destpath", "/before"}, {"locked", 0}};
        TForm1& f = d.Start();
        TForm3& dialog = d.Dialog();
        QCOMPARE(dialog.windowTitle(), QStringLiteral(" Destination Directory for Data Files"));
        QCOMPARE(dialog.size(), QSize(396, 403));
        QCOMPARE(dialog.SpeedButton1->text(), QStringLiteral("Select "));
        QCOMPARE(dialog.SpeedButton2->text(), QStringLiteral("Cancel "));
        // The user's own folder is where the tree opens.
        QCOMPARE(dialog.SelectedFolder(), Native(d.h.Work()));

        // While the dialog is open: pick a folder, then "Select " or "Cancel ".
        QString label;
        const auto whileOpen = [&](const QString& folder, bool select) {
            QTimer::singleShot(0, &dialog, [&dialog, &label, folder, select] {
                if (!dialog.isVisible()) return;
                if (ClickFolder(dialog.ShellTreeView1, folder)) label = dialog.Label1->text();
                QToolButton* button = select ? dialog.SpeedButton1 : dialog.SpeedButton2;
                if (button->isEnabled()) QTest::mouseClick(button, Qt::LeftButton);
                if (dialog.isVisible()) dialog.done(QDialog::Rejected);  // never hang
            });
            QTest::mouseClick(f.SpeedButton4, Qt::LeftButton);
        };
        whileOpen(out, true);
        QCOMPARE(label, Native(out));
        QCOMPARE(d.Edit1(), Native(out));
        QVERIFY(!dialog.isVisible());

        whileOpen(other, false);
        QCOMPARE(label, Native(other));
        QCOMPARE(d.Edit1(), Native(out));
        // The dialog keeps its tree between openings.
        QCOMPARE(dialog.SelectedFolder(), Native(other));

        // The root keeps its separator; nothing selected cannot be chosen.
        whileOpen(QStringLiteral("/"), true);
        QCOMPARE(d.Edit1(), Native(QStringLiteral("/")));
        dialog.ShellTreeView1->setCurrentIndex(QModelIndex());
        QCOMPARE(dialog.Label1->text(), QString());
        QVERIFY(!dialog.SpeedButton1->isEnabled());
    }

    void closingTheDialogByItsTitleBarIsCancel() {
        Desk d;
        const QString out = d.Folder("out");
        d.h.fakes.store.values = {{"destpath", "/before"}, {"locked", 0}};
        TForm1& f = d.Start();
        TForm3& dialog = d.Dialog();
        QTimer::singleShot(0, &dialog, [&] {
            ClickFolder(dialog.ShellTreeView1, out);
            dialog.close();
        });
        QTest::mouseClick(f.SpeedButton4, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(d.Edit1(), QStringLiteral("/before"));
    }

    void startUpRestoresTheModeThroughTheLockButtons() {
        for (const bool locked : {true, false}) {
            Desk d;
            const QString src = d.Folder("src", {"a.dxf", "b.dxf"});
            QDir().mkpath(src + "/inner");
            d.h.fakes.store.values = {
                {"dxfpath", src}, {"destpath", "/remembered"}, {"locked", locked ? 1 : 0}};
            TForm1& f = d.Start();
            QCOMPARE(f.DestinationLocked, locked);
            QCOMPARE(d.Edit1(), locked ? Native(src) : QStringLiteral("/remembered"));
            QCOMPARE(d.h.Control<QToolButton>("SpeedButton1")->isVisible(), locked);
            QCOMPARE(d.h.Control<QToolButton>("SpeedButton2")->isVisible(), !locked);
            QCOMPARE(d.h.Control<QToolButton>("SpeedButton4")->isEnabled(), !locked);
            // The stored folder is the tree's selection, opened one level.
            QCOMPARE(f.SelectedSourceFolder(), Native(src));
            QVERIFY(f.sh1->isExpanded(f.sh1->currentIndex()));
            QCOMPARE(d.Label30(), Native(src));
            QCOMPARE(d.Label3(), QStringLiteral("1 selected."));
            // Each restore wrote its value back, in the order of start-up.
            QCOMPARE(d.h.fakes.store.writes,
                     (QStringList{"showlog=0", QStringLiteral("locked=%1").arg(locked ? 1 : 0),
                                  "autosel=0"}));
        }
    }

    void failedStoreWritesKeepOrChangeTheStateInTheirOrder() {
        Desk d;
        const QString src = d.Folder("src", {"a.dxf", "b.dxf"});
        d.h.fakes.store.values = {{"dxfpath", src}, {"destpath", "/kept"}, {"locked", 1}};
        TForm1& f = d.Start();
        d.h.fakes.store.failingWrites = {"locked", "autosel"};
        auto* lockedButton = d.h.Control<QToolButton>("SpeedButton1");

        // Unlocking stores first: the mode stays locked and drawn pressed.
        QTest::mouseClick(lockedButton, Qt::LeftButton);
        QCOMPARE(d.h.fakes.boxes.Texts(Kind::Error),
                 QStringList{QStringLiteral("Failed to set data for 'locked'")});
        QVERIFY(f.DestinationLocked);
        QVERIFY(lockedButton->isVisible() && lockedButton->isChecked());
        QVERIFY(!d.h.Control<QToolButton>("SpeedButton4")->isEnabled());

        // Automatic selection stores last: the files are selected already.
        d.ClickCheckBox("autosel");
        QCOMPARE(d.h.fakes.boxes.Texts(Kind::Error).size(), 2);
        QCOMPARE(d.h.fakes.boxes.Texts(Kind::Error)[1],
                 QStringLiteral("Failed to set data for 'autosel'"));
        QCOMPARE(SelectedNames(f.fl1), (QStringList{"a.dxf", "b.dxf"}));
        QCOMPARE(d.Label3(), QStringLiteral("2 selected."));

        // Locking from the unlocked state keeps it unlocked and Edit1 as it was.
        d.h.fakes.store.failingWrites.clear();
        QTest::mouseClick(lockedButton, Qt::LeftButton);
        QVERIFY(!f.DestinationLocked);
        d.h.fakes.store.failingWrites = {"locked"};
        f.Edit1->setText(QStringLiteral("/chosen"));
        QTest::mouseClick(d.h.Control<QToolButton>("SpeedButton2"), Qt::LeftButton);
        QVERIFY(!f.DestinationLocked);
        QCOMPARE(d.Edit1(), QStringLiteral("/chosen"));
        QVERIFY(d.h.Control<QToolButton>("SpeedButton4")->isEnabled());
        QCOMPARE(d.h.fakes.boxes.Texts(Kind::Error).size(), 3);
    }

    void runFromAFolderPickedInTheTree() {
        Desk d;
        const QString first = d.Folder("first", {"old.dxf"});
        const QString picked = d.Folder("picked", {"b.dxf", "a.dxf"}, 40);
        const QString out = d.Folder("out");
        d.h.fakes.store.values = {
            {"dxfpath", first}, {"destpath", out}, {"locked", 0}, {"autosel", 1}};
        TForm1& f = d.Start();
        QVERIFY(ClickFolder(f.sh1, picked));
        QTest::mouseClick(f.BitBtn1, Qt::LeftButton);

        QVERIFY(d.h.fakes.boxes.shown.empty());
        const QString coreOut = d.Folder("core");
        CoreRun(picked, {"a.dxf", "b.dxf"}, coreOut, f.Config().settings, f.Names(),
                f.ExportedDataFields(), f.CodeSequence());
        for (const char* name : {"a.txt", "b.txt"}) {
            QVERIFY(!ReadAll(out + "/" + name).isEmpty());
            QCOMPARE(ReadAll(out + "/" + name), ReadAll(coreOut + "/" + name));
        }
        QVERIFY(!QFile::exists(out + "/old.txt"));
    }

    void aRunKeepsItsFilesAndFoldersWhileTheUserPicksAnother() {
        Desk d;
        const QString src = d.Folder("src", {"a.dxf", "b.dxf", "c.dxf"}, 1500);
        const QString other = d.Folder("other", {"x.dxf", "y.dxf"});
        d.h.fakes.store.values = {{"dxfpath", src}, {"locked", 1}, {"autosel", 1}};
        TForm1& f = d.Start();
        f.pumpTiming = PumpTiming{1, std::chrono::steady_clock::duration::zero()};
        bool changed = false;
        QTimer during;
        QObject::connect(&during, &QTimer::timeout, [&] {
            if (changed || !f.RunInProgress()) return;
            changed = true;
            // Another folder (the locked destination follows it), then a
            // selection of its own.
            ClickFolder(f.sh1, other);
            ClickFile(f.fl1, 1, Qt::ControlModifier);
        });
        during.start(0);
        QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
        during.stop();

        QVERIFY(changed);
        QCOMPARE(f.fl1->Folder(), Native(other));
        QCOMPARE(d.Edit1(), Native(other));
        QVERIFY(d.h.fakes.boxes.shown.empty());
        for (const char* name : {"a.txt", "b.txt", "c.txt"})
            QCOMPARE(ReadAll(src + "/" + name).count("\r\n"), 1500);
        QCOMPARE(QDir(other).entryList(QDir::Files), (QStringList{"x.dxf", "y.dxf"}));
        const QString report = QString::fromLatin1(ReadAll(f.ReportPath()));
        QVERIFY(report.contains(Native(src) + "/c.dxf"));
        QVERIFY(!report.contains(QStringLiteral("x.dxf")));
    }

    void exitStoresTheTreesFolder() {
        Desk d;
        const QString good = d.Folder("good", {"a.dxf"});
        const QString gone = d.Folder("gone");
        TForm1& f = d.Start();
        QVERIFY(ClickFolder(f.sh1, good));
        QVERIFY(d.HomeFolderRead());
        QVERIFY(QDir(gone).removeRecursively());
        QVERIFY(ClickFolder(f.sh1, gone));
        f.BitBtn2Click();
        QCOMPARE(d.h.fakes.store.ReadText("dxfpath"), Native(gone));
        QCOMPARE(d.h.programEnds, 1);
    }
};

QTEST_MAIN(SourceFilesTest)
#include "source_files_test.moc"
