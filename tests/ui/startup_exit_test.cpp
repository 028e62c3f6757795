// Start-up with and without a remembered configuration, the restore of the
// window state, Exit with its change prompt and the refused close request.
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "settings/korvel_error.h"
#include "ui/dxf_file_list.h"
#include "ui/platform/qt_platform.h"
#include "window_harness.h"

using namespace korvel;
using korvel::testing::ImageBytes;
using korvel::testing::ReadAll;
using korvel::testing::WindowHarness;
using korvel::testing::WriteAll;
using Kind = FakeMessageBoxes::Kind;

namespace {

const QString kPrompt =
    QStringLiteral("Current configuration has changed, do you want to save it ?");

// A saved configuration that differs from the defaults.
QByteArray CustomImage() {
    ExportSettings s;
    s.image = DefaultSettingsImage();
    s.Set(field::DataFieldMask, 2 | 8);
    s.Set(field::XDecimals, 6);
    s.Set(field::ProcessSplines, true);
    return ImageBytes(s);
}

}  // namespace

class StartupExitTest : public QObject {
    Q_OBJECT

  private slots:
    void firstStartUsesTheDefaultsWithoutAMessage() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        QVERIFY(f.Config().settings.image == DefaultSettingsImage());
        QVERIFY(!f.Config().Changed());
        QCOMPARE(h.Control<QLabel>("Label19")->text(), QStringLiteral("None"));
        QVERIFY(h.fakes.boxes.shown.empty());
        QCOMPARE(f.ReportPath(), h.ProgramFolder() + QStringLiteral("KorvelLog.txt"));
        QCOMPARE(f.ConfigurationsFolder(), h.ProgramFolder() + QStringLiteral("configurations"));
        // The missing state values are created with the window's initial states.
        QCOMPARE(h.fakes.store.ReadBool(QStringLiteral("showlog")), std::optional<bool>(false));
        QCOMPARE(h.fakes.store.ReadBool(QStringLiteral("locked")), std::optional<bool>(true));
        QCOMPARE(h.fakes.store.ReadBool(QStringLiteral("autosel")), std::optional<bool>(false));
        QVERIFY(h.Control<QRadioButton>("rep3")->isChecked());
        QVERIFY(!f.ShowReport);
        // No stored folder: the home folder.
        QCOMPARE(f.fl1->Folder(), QDir::toNativeSeparators(h.Work()));
    }

    void rememberedConfigurationIsLoadedAndNamed() {
        WindowHarness h;
        WriteAll(h.Configurations() + "/site.krv", CustomImage());
        WriteAll(h.Path("korvel.ini"), "site.krv\r\nignored\r\n");
        h.CreateAndStart();
        TForm1& f = h.Form();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(f.Config().settings.image.data()),
                            kSettingsImageSize),
                 CustomImage());
        QVERIFY(!f.Config().Changed());
        QCOMPARE(h.Control<QLabel>("Label19")->text(), QStringLiteral("site.krv"));
        QCOMPARE(h.Control<QListWidget>("ListBox2")->count(), 2);
        QVERIFY(h.fakes.boxes.shown.empty());
    }

    // Installed: the shipped files from the data folder, the written ones in
    // the user's folder, and nothing written beside the shipped files.
    void installedWindowKeepsItsOwnFilesInTheUserFolder() {
        WindowHarness h;  // its program folder stands for share/korvel
        QTemporaryDir user;
        QDir(user.path()).mkdir(QStringLiteral("configurations"));
        WriteAll(user.filePath(QStringLiteral("configurations/site.krv")), CustomImage());
        WriteAll(user.filePath(QStringLiteral("korvel.ini")), "site.krv\r\n");
        TForm1 f(h.fakes.Services(), h.ProgramFolder(), user.path());
        f.StartUp();
        QCOMPARE(f.findChild<QLabel*>(QStringLiteral("Label19"))->text(),
                 QStringLiteral("site.krv"));
        QCOMPARE(f.ReportPath(), user.path() + QStringLiteral("/KorvelLog.txt"));
        QCOMPARE(f.ConfigurationsFolder(), user.path() + QStringLiteral("/configurations"));
        h.fakes.dialogs.answers.push_back(user.filePath(QStringLiteral("other.krv")));
        f.SpeedButton13Click();
        QCOMPARE(ReadAll(user.filePath(QStringLiteral("korvel.ini"))), QByteArray("other.krv\r\n"));
        f.BitBtn5Click();
        QCOMPARE(h.fakes.opener.documents.back(), h.ProgramFolder() + "help_korvel.html");
        QCOMPARE(QDir(h.ProgramFolder()).entryList(QDir::Files | QDir::NoDotAndDotDot),
                 (QStringList{QStringLiteral("korvel.dat"), QStringLiteral("korvel2.dat")}));
    }

    void rememberedConfigurationMissingFallsBackWithTheMessage() {
        WindowHarness h;
        WriteAll(h.Path("korvel.ini"), "gone.krv\r\n");
        h.CreateAndStart();
        TForm1& f = h.Form();
        const QString expected =
            QStringLiteral("Configuration file \"") + h.Configurations() +
            QStringLiteral("/gone.krv\" not found, default values used instead");
        QCOMPARE(h.fakes.boxes.Texts(Kind::Information), QStringList{expected});
        QVERIFY(f.Config().settings.image == DefaultSettingsImage());
        QCOMPARE(h.Control<QLabel>("Label19")->text(), QStringLiteral("None"));
        // korvel.ini is not rewritten.
        QCOMPARE(ReadAll(h.Path("korvel.ini")), QByteArray("gone.krv\r\n"));
    }

    void missingNameTablesFallBackToTheShippedNames() {
        WindowHarness h;
        QFile::remove(h.Path("korvel2.dat"));
        WriteAll(h.Path("korvel.dat"), "only\r\nthree\r\nlines\r\n");
        h.CreateAndStart();
        QCOMPARE(h.Form().Names().dataFieldNames,
                 (std::vector<std::string>{"Number", "X", "Y", "Z", "Code"}));
        QCOMPARE(h.Form().Names().codeElementNames.size(), std::size_t(8));
        QCOMPARE(h.Form().Names().codeElementNames[5], std::string("Label"));
    }

    void storedStateIsRestored() {
        WindowHarness h;
        const QString drawings = h.Work() + "/drawings";
        QDir().mkpath(drawings);
        for (const char* n : {"b.dxf", "A.DXF", "c.txt", "d.dxf"}) WriteAll(drawings + "/" + n, "");
        h.fakes.store.values = {{"showlog", 1},
                                {"dxfpath", drawings},
                                {"destpath", "/somewhere/else"},
                                {"locked", 0},
                                {"autosel", 1}};
        h.CreateAndStart();
        TForm1& f = h.Form();
        QVERIFY(f.ShowReport);
        QVERIFY(h.Control<QRadioButton>("rep1")->isChecked());
        QStringList names;
        for (int i = 0; i < f.fl1->count(); ++i) names << f.fl1->item(i)->text();
        QCOMPARE(names, (QStringList{"A.DXF", "b.dxf", "d.dxf"}));
        QCOMPARE(f.fl1->SelectedCount(), 3);
        QCOMPARE(h.Control<QLabel>("Label3")->text(), QStringLiteral("3 selected."));
        QCOMPARE(h.Control<QLineEdit>("Edit1")->text(), QStringLiteral("/somewhere/else"));
        QVERIFY(!f.DestinationLocked);
        QVERIFY(h.Control<QToolButton>("SpeedButton4")->isEnabled());
    }

    void lockedDestinationShowsTheSourceFolder() {
        WindowHarness h;
        h.fakes.store.values = {{"dxfpath", h.Work()}, {"destpath", "/elsewhere"}, {"locked", 1}};
        h.CreateAndStart();
        QCOMPARE(h.Control<QLineEdit>("Edit1")->text(), QDir::toNativeSeparators(h.Work()));
        QVERIFY(!h.Control<QToolButton>("SpeedButton4")->isEnabled());
    }

    void storedFolderThatIsGoneFallsBackToHome() {
        WindowHarness h;
        h.fakes.store.values = {{"dxfpath", h.Work() + "/no/such/folder"}};
        h.CreateAndStart();
        QCOMPARE(h.Form().fl1->Folder(), QDir::toNativeSeparators(h.Work()));
        QVERIFY(h.fakes.boxes.shown.empty());
    }

    void exitWithUnchangedSettingsAsksNothingAndWritesTheFolders() {
        WindowHarness h;
        h.fakes.store.values = {{"destpath", "/out"}, {"locked", 0}};
        h.CreateAndStart();
        h.fakes.store.writes.clear();
        h.Form().BitBtn2Click();
        QVERIFY(h.fakes.boxes.shown.empty());
        QCOMPARE(h.fakes.store.writes,
                 (QStringList{"dxfpath=" + QDir::toNativeSeparators(h.Work()), "destpath=/out"}));
        QCOMPARE(h.programEnds, 1);
    }

    void exitPromptYesSavesThenEnds() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.Config().settings.Set(field::ProcessArcs, true);
        h.fakes.boxes.answers = {PromptAnswer::Yes};
        h.fakes.dialogs.answers = {h.Configurations() + "/mine.krv"};
        f.BitBtn2Click();
        QCOMPARE(h.fakes.boxes.Texts(Kind::Prompt), QStringList{kPrompt});
        QCOMPARE(ReadAll(h.Configurations() + "/mine.krv").size(), 404);
        QCOMPARE(ReadAll(h.Path("korvel.ini")), QByteArray("mine.krv\r\n"));
        QCOMPARE(h.programEnds, 1);
    }

    void exitPromptYesWithTheSaveCancelledStaysAndWritesNothing() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.Config().settings.Set(field::ProcessArcs, true);
        h.fakes.store.writes.clear();
        h.fakes.boxes.answers = {PromptAnswer::Yes};
        h.fakes.dialogs.answers = {QString()};
        f.BitBtn2Click();
        QVERIFY(f.SaveCancelled);
        QCOMPARE(h.fakes.store.writes, QStringList());
        QCOMPARE(h.programEnds, 0);
    }

    void exitPromptNoEndsWithoutSaving() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.Config().settings.Set(field::ProcessArcs, true);
        h.fakes.boxes.answers = {PromptAnswer::No};
        f.BitBtn2Click();
        QVERIFY(h.fakes.dialogs.asked.empty());
        QVERIFY(h.fakes.store.values.count("dxfpath"));
        QVERIFY(h.fakes.store.values.count("destpath"));
        QVERIFY(!QFile::exists(h.Path("korvel.ini")));
        QCOMPARE(h.programEnds, 1);
    }

    void exitPromptCancelKeepsTheProgramAndWritesNothing() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.Config().settings.Set(field::ProcessArcs, true);
        h.fakes.store.writes.clear();
        h.fakes.boxes.answers = {PromptAnswer::Cancel};
        f.BitBtn2Click();
        QCOMPARE(h.fakes.store.writes, QStringList());
        QCOMPARE(h.programEnds, 0);
        QVERIFY(f.Config().Changed());
    }

    void exitWhoseFolderWriteFailsShowsTheErrorAndStays() {
        WindowHarness h;
        h.CreateAndStart();
        h.fakes.store.failingWrites = {"dxfpath"};
        h.Form().BitBtn2Click();
        // "'" sorts before ".", so the rule appends no final period here.
        QCOMPARE(h.fakes.boxes.Texts(Kind::Error),
                 QStringList{QStringLiteral("Failed to set data for 'dxfpath'")});
        QCOMPARE(h.programEnds, 0);
    }

    void exitByTheButtonRunsTheCommand() {
        WindowHarness h;
        h.CreateAndStart();
        h.Form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.Form()));
        QTest::mouseClick(h.Form().BitBtn2, Qt::LeftButton);
        QCOMPARE(h.programEnds, 1);
    }

    void settingsStoreKeepsBooleansAsIntegers() {
        QTemporaryDir dir;
        const QString ini = dir.filePath("korvel.ini");
        {
            SettingsStateStore store(std::make_unique<QSettings>(ini, QSettings::IniFormat));
            store.WriteBool("locked", true);
            store.WriteBool("autosel", false);
            store.WriteText("dxfpath", "/data/drawings");
        }
        const QByteArray text = ReadAll(ini);
        QVERIFY(text.contains("locked=1"));
        QVERIFY(text.contains("autosel=0"));
        WriteAll(ini, "[General]\nshowlog=2\nlocked=0\nautosel=yes\n");
        SettingsStateStore store(std::make_unique<QSettings>(ini, QSettings::IniFormat));
        QCOMPARE(store.ReadBool("showlog"), std::optional<bool>(true));
        QCOMPARE(store.ReadBool("locked"), std::optional<bool>(false));
        QCOMPARE(store.ReadBool("autosel"), std::optional<bool>());
        QCOMPARE(store.ReadBool("missing"), std::optional<bool>());
        QCOMPARE(store.ReadText("missing"), QString());
    }

    void settingsStoreThatCannotBeWrittenNamesTheValue() {
        QTemporaryDir dir;
        WriteAll(dir.filePath("plain"), "a file, not a folder");
        SettingsStateStore store(
            std::make_unique<QSettings>(dir.filePath("plain/sub/k.ini"), QSettings::IniFormat));
        try {
            store.WriteBool("locked", true);
            QFAIL("no error");
        } catch (const KorvelError& e) {
            QCOMPARE(QString::fromLatin1(e.what()),
                     QStringLiteral("Failed to set data for 'locked'"));
        }
    }

    void closeRequestsAreRefused() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(!f.close());
        QVERIFY(f.isVisible());
        QCOMPARE(h.programEnds, 0);
        QVERIFY(h.fakes.boxes.shown.empty());
    }
};

QTEST_MAIN(StartupExitTest)
#include "startup_exit_test.moc"
