// Save and Load configuration: the dialogs they ask for, SaveCancelled, the
// change prompt's three answers, Label19, korvel.ini and the round trip.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QTest>

#include "window_harness.h"

using namespace korvel;
using korvel::testing::ImageBytes;
using korvel::testing::ReadAll;
using korvel::testing::WindowHarness;
using korvel::testing::WriteAll;
using Kind = FakeMessageBoxes::Kind;

namespace {

QByteArray DefaultImage() {
    ExportSettings s;
    s.image = DefaultSettingsImage();
    return ImageBytes(s);
}

// A second configuration in the configurations folder to load.
QString WriteOther(WindowHarness& h) {
    ExportSettings s;
    s.image = DefaultSettingsImage();
    s.Set(field::DataFieldMask, 1 | 16);
    s.Set(field::YDecimals, 9);
    const QString path = h.Configurations() + "/other.krv";
    WriteAll(path, ImageBytes(s));
    return path;
}

}  // namespace

class ConfigurationCommandsTest : public QObject {
    Q_OBJECT

  private slots:
    void saveAsksWithTheConfigurationDialogAndWritesTheImage() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        h.fakes.dialogs.answers = {h.Configurations() + "/first.krv"};
        f.SpeedButton13Click();
        QCOMPARE(h.fakes.dialogs.asked.size(), std::size_t(1));
        const auto& asked = h.fakes.dialogs.asked[0];
        QVERIFY(asked.save);
        QCOMPARE(asked.request.title, QStringLiteral("Save current configuration"));
        QCOMPARE(asked.request.filter, QStringLiteral("Korvel configuration files (*.krv)"));
        QCOMPARE(asked.request.defaultSuffix, QStringLiteral("krv"));
        QCOMPARE(asked.request.folder, h.Configurations());
        // Saving right after a start with the defaults writes the default image.
        QCOMPARE(ReadAll(h.Configurations() + "/first.krv"), DefaultImage());
        QCOMPARE(ReadAll(h.Path("korvel.ini")), QByteArray("first.krv\r\n"));
        QCOMPARE(h.Control<QLabel>("Label19")->text(), QStringLiteral("first.krv"));
        QVERIFY(!f.SaveCancelled);
    }

    void saveIntoAnotherFolderRemembersTheNameOnly() {
        WindowHarness h;
        h.CreateAndStart();
        h.fakes.dialogs.answers = {h.Work() + "/elsewhere.krv"};
        h.Form().SpeedButton13Click();
        QCOMPARE(ReadAll(h.Path("korvel.ini")), QByteArray("elsewhere.krv\r\n"));
        QVERIFY(QFile::exists(h.Work() + "/elsewhere.krv"));
    }

    void saveCancelledChangesNothing() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.Config().settings.Set(field::ProcessArcs, true);
        h.fakes.dialogs.answers = {QString()};
        f.SpeedButton13Click();
        QVERIFY(f.SaveCancelled);
        QVERIFY(f.Config().Changed());
        QCOMPARE(h.Control<QLabel>("Label19")->text(), QStringLiteral("None"));
        QVERIFY(!QFile::exists(h.Path("korvel.ini")));
        QVERIFY(h.fakes.boxes.shown.empty());
    }

    void saveThatCannotCreateItsFileShowsTheErrorAndStaysCancelled() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.Config().settings.Set(field::ProcessArcs, true);
        const QString path = h.Work() + "/missing/folder/x.krv";
        h.fakes.dialogs.answers = {path};
        f.SpeedButton13Click();
        QCOMPARE(h.fakes.boxes.Texts(Kind::Error),
                 QStringList{"Cannot create file \"" + path + "\". No such file or directory."});
        QVERIFY(f.SaveCancelled);
        QVERIFY(f.Config().Changed());
        QCOMPARE(h.Control<QLabel>("Label19")->text(), QStringLiteral("None"));
    }

    void loadWithUnchangedSettingsOpensTheDialogAtOnce() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        const QString other = WriteOther(h);
        h.fakes.dialogs.answers = {other};
        f.SpeedButton12Click();
        QCOMPARE(h.fakes.boxes.shown.size(), std::size_t(0));
        QCOMPARE(h.fakes.dialogs.asked.size(), std::size_t(1));
        const auto& asked = h.fakes.dialogs.asked[0];
        QVERIFY(!asked.save);
        QCOMPARE(asked.request.title, QStringLiteral("Load a configuration"));
        QCOMPARE(asked.request.filter, QStringLiteral("Korvel configuration files (*.krv)"));
        QCOMPARE(asked.request.defaultSuffix, QStringLiteral("krv"));
        QCOMPARE(asked.request.folder, h.Configurations());
        QCOMPARE(ImageBytes(f.Config().settings), ReadAll(other));
        QVERIFY(!f.Config().Changed());
        QCOMPARE(h.Control<QLabel>("Label19")->text(), QStringLiteral("other.krv"));
        QCOMPARE(ReadAll(h.Path("korvel.ini")), QByteArray("other.krv\r\n"));
        QCOMPARE(h.Control<QListWidget>("ListBox2")->count(), 2);
        QCOMPARE(h.Control<QComboBox>("ComboBox4")->currentIndex(), 9);
    }

    void loadPromptYesSavesFirstThenLoads() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        const QString other = WriteOther(h);
        f.Config().settings.Set(field::ProcessArcs, true);
        const QByteArray edited = ImageBytes(f.Config().settings);
        h.fakes.boxes.answers = {PromptAnswer::Yes};
        h.fakes.dialogs.answers = {h.Configurations() + "/edited.krv", other};
        f.SpeedButton12Click();
        QCOMPARE(h.fakes.boxes.Texts(Kind::Prompt),
                 QStringList{"Current configuration has changed, do you want to save it ?"});
        QCOMPARE(ReadAll(h.Configurations() + "/edited.krv"), edited);
        QCOMPARE(ImageBytes(f.Config().settings), ReadAll(other));
        QCOMPARE(ReadAll(h.Path("korvel.ini")), QByteArray("other.krv\r\n"));
    }

    void loadPromptYesWithTheSaveCancelledDoesNotOpenTheLoadDialog() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        WriteOther(h);
        f.Config().settings.Set(field::ProcessArcs, true);
        h.fakes.boxes.answers = {PromptAnswer::Yes};
        h.fakes.dialogs.answers = {QString()};
        f.SpeedButton12Click();
        QCOMPARE(h.fakes.dialogs.asked.size(), std::size_t(1));
        QVERIFY(h.fakes.dialogs.asked[0].save);
        QVERIFY(f.Config().settings.Get(field::ProcessArcs));
    }

    void loadPromptNoLoadsWithoutSaving() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        const QString other = WriteOther(h);
        f.Config().settings.Set(field::ProcessArcs, true);
        h.fakes.boxes.answers = {PromptAnswer::No};
        h.fakes.dialogs.answers = {other};
        f.SpeedButton12Click();
        QCOMPARE(h.fakes.dialogs.asked.size(), std::size_t(1));
        QVERIFY(!h.fakes.dialogs.asked[0].save);
        QCOMPARE(ImageBytes(f.Config().settings), ReadAll(other));
    }

    void loadPromptCancelChangesNothing() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        WriteOther(h);
        f.Config().settings.Set(field::ProcessArcs, true);
        const QByteArray edited = ImageBytes(f.Config().settings);
        h.fakes.boxes.answers = {PromptAnswer::Cancel};
        f.SpeedButton12Click();
        QVERIFY(h.fakes.dialogs.asked.empty());
        QCOMPARE(ImageBytes(f.Config().settings), edited);
    }

    void loadOfAMissingFileShowsTheErrorAndKeepsEverything() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        const QString path = h.Configurations() + "/nope.krv";
        h.fakes.dialogs.answers = {path};
        f.SpeedButton12Click();
        QCOMPARE(h.fakes.boxes.Texts(Kind::Error),
                 QStringList{"Cannot open file \"" + path + "\". No such file or directory."});
        QCOMPARE(ImageBytes(f.Config().settings), DefaultImage());
        QCOMPARE(h.Control<QLabel>("Label19")->text(), QStringLiteral("None"));
        QVERIFY(!QFile::exists(h.Path("korvel.ini")));
    }

    void saveAndLoadRoundTripThroughTheWindow() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        // Edits through the controls; the exported order made by hand is
        // not kept by the file.
        QTest::mouseClick(h.Control<QCheckBox>("cbcirc"), Qt::LeftButton);
        QTest::mouseClick(h.Control<QCheckBox>("cb3dpl"), Qt::LeftButton);
        f.Config().settings.Set(field::NumberPrefix, "abcd");
        f.Config().settings.Set(field::NumberPrefix, "ab");  // "cd" stays behind the length
        auto* exported = h.Control<QListWidget>("ListBox2");
        exported->insertItem(0, exported->takeItem(3));
        const QByteArray saved = ImageBytes(f.Config().settings);
        h.fakes.dialogs.answers = {h.Configurations() + "/round.krv"};
        f.SpeedButton13Click();
        QCOMPARE(ReadAll(h.Configurations() + "/round.krv"), saved);

        QTest::mouseClick(h.Control<QCheckBox>("cbcirc"), Qt::LeftButton);
        h.fakes.boxes.answers = {PromptAnswer::No};
        h.fakes.dialogs.answers = {h.Configurations() + "/round.krv"};
        f.SpeedButton12Click();
        QCOMPARE(ImageBytes(f.Config().settings), saved);
        QVERIFY(h.Control<QCheckBox>("cbcirc")->isChecked());
        QVERIFY(!h.Control<QCheckBox>("cbp3dinc")->isEnabled());
        QCOMPARE(f.ExportedDataFields(),
                 (std::vector<std::string>{"Number", "X", "Y", "Z", "Code"}));

        // Loaded and saved again without edits: the same bytes.
        h.fakes.dialogs.answers = {h.Configurations() + "/again.krv"};
        f.SpeedButton13Click();
        QCOMPARE(ReadAll(h.Configurations() + "/again.krv"), saved);
    }
};

QTEST_MAIN(ConfigurationCommandsTest)
#include "configuration_commands_test.moc"
