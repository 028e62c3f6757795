// The options page: switching pages, the report option and its store value,
// the help file and the web site, and reading drawings whose group codes are
// not right-aligned, kept in the store and handed to the run.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>

#include "engine/file_pass.h"
#include "folder_tree_clicks.h"
#include "output/gis_module.h"
#include "ui/dxf_file_list.h"
#include "ui/layer_picker.h"
#include "ui/output_options_dialog.h"
#include "ui/reading_options_dialog.h"
#include "ui/text_bytes.h"
#include "window_harness.h"

using namespace korvel;
using korvel::testing::PointDrawing;
using korvel::testing::ReadAll;
using korvel::testing::SelectedNames;
using korvel::testing::WindowHarness;
using korvel::testing::WriteAll;
using Kind = FakeMessageBoxes::Kind;

namespace {

// The drawing with its group codes written flush left, as some writers do:
// lines pair up as code and value from the start of the file.
QByteArray FlushLeft(const QByteArray& drawing) {
    QList<QByteArray> lines = drawing.split('\n');
    for (qsizetype i = 0; i < lines.size(); i += 2) {
        QByteArray code = lines[i];
        const bool cr = code.endsWith('\r');
        code = code.trimmed();
        lines[i] = cr ? code + '\r' : code;
    }
    return lines.join('\n');
}

void Click(QAbstractButton* b) {
    // On the box or the round button itself, not beside a short caption.
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

// Two layers in the table, one frozen, a POINT on each.
QByteArray LayeredDrawing() {
    QByteArray d;
    for (const char* line :
         {"  0", "SECTION", "  2", "TABLES", "  0", "TABLE",  "  2", "LAYER",   "  0", "LAYER",
          "  2", "PTS",     " 62", "1",      " 70", "0",      "  0", "LAYER",   "  2", "TMP",
          " 62", "2",       " 70", "1",      "  0", "LAYER",  "  2", "0",       " 62", "7",
          " 70", "0",       "  0", "ENDTAB", "  0", "ENDSEC", "  0", "SECTION", "  2", "ENTITIES",
          "  0", "POINT",   "  8", "PTS",    " 10", "1",      " 20", "1",       " 30", "0",
          "  0", "POINT",   "  8", "TMP",    " 10", "2",      " 20", "2",       " 30", "0",
          "  0", "ENDSEC",  "  0", "EOF"})
        d += QByteArray(line) + "\r\n";
    return d;
}

void OpenReadingOptions(TForm1& f) {
    f.show();
    f.ReadingOptionsButtonClick();
    QVERIFY(QTest::qWaitForWindowExposed(f.ReadingOptions));
}

QStringList ReportLines(const QString& path) {
    QStringList lines = QString::fromLatin1(ReadAll(path)).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
    return lines;
}

}  // namespace

class OptionsPageTest : public QObject {
    Q_OBJECT

  private slots:
    void pagesSwitchAndLeaveTheMainPageAsItWas() {
        WindowHarness h;
        const QString src = h.Work() + "/src";
        QDir().mkpath(src);
        for (const char* n : {"a.dxf", "b.dxf", "c.dxf"}) WriteAll(src + "/" + n, "");
        h.fakes.store.values = {{"dxfpath", src}, {"destpath", "/out"}, {"locked", 0}};
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        korvel::testing::ClickFile(f.fl1, 2, Qt::ControlModifier);
        const QStringList selected = SelectedNames(f.fl1);
        const SettingsImage image = f.Config().settings.image;
        auto* pages = h.Control<QStackedWidget>("PageControl10");

        QTest::mouseClick(f.BitBtn3, Qt::LeftButton);
        QCOMPARE(pages->currentWidget(), f.TabSheet7);
        QVERIFY(f.rep1->isVisible() && f.BitBtn4->isVisible() && !f.BitBtn1->isVisible());
        // The strip at the bottom stays on both pages.
        QVERIFY(f.Label19->isVisible());
        QTest::mouseClick(f.BitBtn4, Qt::LeftButton);
        QCOMPARE(pages->currentWidget(), f.TabSheet1);

        QCOMPARE(SelectedNames(f.fl1), selected);
        QCOMPARE(selected.size(), 2);
        QCOMPARE(f.Edit1->text(), QStringLiteral("/out"));
        QVERIFY(f.Config().settings.image == image);
        QVERIFY(h.fakes.store.writes.size() == 3);  // the three start-up write-backs
    }

    void reportOptionIsStoredOnlyWhenAButtonBecomesChecked() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.BitBtn3Click();
        QVERIFY(f.rep3->isChecked() && !f.ShowReport);
        h.fakes.store.writes.clear();

        Click(f.rep1);
        QVERIFY(f.ShowReport);
        QCOMPARE(h.fakes.store.writes, QStringList{"showlog=1"});
        Click(f.rep1);  // already on: nothing runs
        QCOMPARE(h.fakes.store.writes, QStringList{"showlog=1"});
        Click(f.rep3);
        QVERIFY(!f.ShowReport);
        QCOMPARE(h.fakes.store.writes, (QStringList{"showlog=1", "showlog=0"}));
        // The keyboard turns a button on as well.
        f.show();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        f.rep3->setFocus();
        QTest::keyClick(f.rep3, Qt::Key_Up);
        QVERIFY(f.rep1->isChecked() && f.ShowReport);
        QCOMPARE(h.fakes.store.writes, (QStringList{"showlog=1", "showlog=0", "showlog=1"}));
    }

    void reportOptionChosenHereIsInForceAfterTheNextStart() {
        MemoryStateStore kept;
        {
            WindowHarness h;
            h.CreateAndStart();
            Click(h.Form().rep1);
            kept.values = h.fakes.store.values;
        }
        WindowHarness h;
        h.fakes.store.values = kept.values;
        h.CreateAndStart();
        QVERIFY(h.Form().rep1->isChecked());
        QVERIFY(h.Form().ShowReport);
    }

    void failedReportOptionWriteKeepsTheOptionInForce() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        h.fakes.store.failingWrites = {"showlog"};
        Click(f.rep1);
        QCOMPARE(h.fakes.boxes.Texts(Kind::Error),
                 QStringList{QStringLiteral("Failed to set data for 'showlog'")});
        QVERIFY(!f.ShowReport);
        // The buttons show the option in force, so a second click can retry.
        QVERIFY(f.rep3->isChecked() && !f.rep1->isChecked());
        h.fakes.store.failingWrites.clear();
        Click(f.rep1);
        QVERIFY(f.ShowReport);
        QCOMPARE(h.fakes.store.ReadBool("showlog"), std::optional<bool>(true));
    }

    void helpFileAndWebSiteOpenWithTheirPrograms() {
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        QTest::mouseClick(f.BitBtn5, Qt::LeftButton);
        QTest::mouseClick(f.SpeedButton11, Qt::LeftButton);
        QCOMPARE(h.fakes.opener.documents.size(), 2);
        QCOMPARE(h.fakes.opener.documents[0], h.ProgramFolder() + "help_korvel.html");
        QVERIFY(h.fakes.opener.documents[1].startsWith(QStringLiteral("https://")));
        // Neither is looked for first, nor is anything reported.
        QVERIFY(h.fakes.boxes.shown.empty());
        QVERIFY(h.fakes.opener.textDocuments.isEmpty());
    }

    void theBuildPutsTheUserGuideBesideTheProgram() {
        const QByteArray guide = ReadAll(QStringLiteral(KORVEL_BUILD_DIR "/help_korvel.html"));
        QVERIFY(!guide.isEmpty());
        // It covers the window, the data lines, the files and the converter.
        for (const char* must :
             {"<title>", "Create Data Files", "AutoSelect all files.", "Always show Report.",
              "Read group codes that are not right-aligned", "KorvelLog.txt", "korvel.ini", "*.krv",
              "korvel-cli", "--align-codes", "1,1.500,2.000,0.000,WALLS"})
            QVERIFY2(guide.contains(must), must);
    }

    // The reader options of the page: the box, its caption and its stored value.
    static void readerOptions() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("aligncodes") << "aligncodes"
                                    << "Read group codes that are not right-aligned";
        QTest::newRow("missingz") << "missingz"
                                  << "Take a missing Z coordinate as 0";
    }
    static QCheckBox* Box(TForm1& f, const QString& name) {
        return name == "aligncodes" ? f.cbaligncodes : f.cbmissingz;
    }
    static bool Option(TForm1& f, const QString& name) {
        return name == "aligncodes" ? f.AlignGroupCodes : f.MissingZAsZero;
    }

    void readerOptionBoxSitsInTheReadingDialog_data() { readerOptions(); }
    void readerOptionBoxSitsInTheReadingDialog() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        WindowHarness h;
        h.Create();
        TForm1& f = h.Form();
        QCheckBox* box = Box(f, name);
        QCOMPARE(box->window(), static_cast<QWidget*>(f.ReadingOptions));
        QCOMPARE(box->parentWidget()->objectName(), QStringLiteral("ReadingGroup"));
        QCOMPARE(box->text(), caption);
        QVERIFY(!box->isChecked());
        // The button that opens the dialog stands where the boxes stood, in the
        // options group and clear of its other controls.
        QPushButton* button = f.ReadingOptionsButton;
        QCOMPARE(button->parentWidget(), static_cast<QWidget*>(f.GroupBox14));
        QVERIFY(f.GroupBox14->rect().contains(button->geometry()));
        for (QWidget* w : f.GroupBox14->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (w != button)
                QVERIFY2(!w->geometry().intersects(button->geometry()),
                         qPrintable(w->objectName()));
    }

    void readerOptionIsStoredWhenItChangesAndReadAtStartUp_data() { readerOptions(); }
    void readerOptionIsStoredWhenItChangesAndReadAtStartUp() {
        QFETCH(QString, name);
        MemoryStateStore kept;
        {
            WindowHarness h;
            h.CreateAndStart();
            TForm1& f = h.Form();
            QVERIFY(!Option(f, name));
            // Read, not written, at start-up.
            QVERIFY(!h.fakes.store.values.count(name));
            OpenReadingOptions(f);
            Click(Box(f, name));
            QVERIFY(Option(f, name));
            QCOMPARE(h.fakes.store.writes.back(), name + "=1");
            kept.values = h.fakes.store.values;
        }
        {
            WindowHarness h;
            h.fakes.store.values = kept.values;
            h.CreateAndStart();
            QVERIFY(Box(h.Form(), name)->isChecked());
            QVERIFY(Option(h.Form(), name));
            QVERIFY(!h.fakes.store.writes.contains(name + "=1"));
            OpenReadingOptions(h.Form());
            Click(Box(h.Form(), name));
            QCOMPARE(h.fakes.store.writes.back(), name + "=0");
            QVERIFY(!Option(h.Form(), name));
        }
    }

    void failedReaderOptionWriteLeavesTheOptionAsItWas_data() { readerOptions(); }
    void failedReaderOptionWriteLeavesTheOptionAsItWas() {
        QFETCH(QString, name);
        WindowHarness h;
        h.CreateAndStart();
        TForm1& f = h.Form();
        h.fakes.store.failingWrites = {name};
        OpenReadingOptions(f);
        Click(Box(f, name));
        QCOMPARE(h.fakes.boxes.Texts(Kind::Error),
                 QStringList{"Failed to set data for '" + name + "'"});
        QVERIFY(!Box(f, name)->isChecked());
        QVERIFY(!Option(f, name));
    }

    void theRunTakesAMissingZAsZeroOnlyWithTheOption() {
        WindowHarness h;
        const QString src = h.Work() + "/src";
        QDir().mkpath(src);
        WriteAll(src + "/flat.dxf",
                 "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nLINE\r\n  8\r\nL\r\n 10\r\n1\r\n"
                 " 20\r\n2\r\n 11\r\n3\r\n 21\r\n4\r\n  0\r\nENDSEC\r\n");
        h.fakes.store.values = {{"dxfpath", src}, {"destpath", src}, {"locked", 1}, {"autosel", 1}};
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.BitBtn1Click();
        QCOMPARE(ReadAll(src + "/flat.txt"), QByteArray(""));
        QVERIFY(ReportLines(f.ReportPath()).join('\n').contains("--missing-z"));
        OpenReadingOptions(f);
        Click(f.cbmissingz);
        f.BitBtn1Click();
        QCOMPARE(ReadAll(src + "/flat.txt"),
                 QByteArray("1,1.000,2.000,0.000,L\r\n2,3.000,4.000,0.000,L\r\n"));
    }

    void theRunReadsFlushLeftDrawingsOnlyWithTheOption() {
        WindowHarness h;
        const QString src = h.Work() + "/src";
        const QString out = h.Work() + "/out";
        QDir().mkpath(src);
        QDir().mkpath(out);
        WriteAll(src + "/aligned.dxf", PointDrawing(25));
        WriteAll(src + "/flush.dxf", FlushLeft(PointDrawing(25)));
        h.fakes.store.values = {{"dxfpath", src}, {"destpath", out}, {"locked", 0}, {"autosel", 1}};
        h.CreateAndStart();
        TForm1& f = h.Form();

        f.BitBtn1Click();
        QCOMPARE(ReadAll(out + "/flush.txt"), QByteArray(""));
        QStringList report = ReportLines(f.ReportPath());
        QVERIFY(report.contains(
            QString::fromLatin1(kUnalignedCodesWarning.data(), kUnalignedCodesWarning.size())));

        OpenReadingOptions(f);
        Click(f.cbaligncodes);
        f.BitBtn1Click();
        const QByteArray aligned = ReadAll(out + "/aligned.txt");
        QCOMPARE(aligned.count("\r\n"), 25);
        QCOMPARE(ReadAll(out + "/flush.txt"), aligned);
        report = ReportLines(f.ReportPath());
        QVERIFY(!report.join('\n').contains(QStringLiteral("*** Warning")));
    }

    // Reading options: kept with the configuration as typed, a pattern list
    // stored only once it reads, and the run reading by them.
    void readingOptionsGoWithTheConfigurationAndTheRun() {
        WindowHarness h;
        const QString src = h.Work() + "/src";
        QDir().mkpath(src);
        WriteAll(src + "/site.dxf", LayeredDrawing());
        h.fakes.store.values = {{"dxfpath", src}, {"destpath", src}, {"locked", 1}, {"autosel", 1}};
        h.CreateAndStart();
        TForm1& f = h.Form();
        OpenReadingOptions(f);
        ReadingOptionsDialog& d = *f.ReadingOptions;
        QTest::keyClicks(d.ExcludeLayers, "tmp*");
        QCOMPARE(f.Config().options.layers.exclude, std::string("tmp*"));
        QVERIFY(f.Config().Changed());
        QTest::keyClicks(d.IncludeLayers, "[P");
        QCOMPARE(d.LayerPatternError->text(), QStringLiteral("'[P': a \"[\" without its \"]\""));
        QCOMPARE(f.Config().options.layers.include, std::string());
        QTest::keyClicks(d.IncludeLayers, "]*");
        QCOMPARE(d.LayerPatternError->text(), QString());
        QCOMPARE(f.Config().options.layers.include, std::string("[P]*"));
        d.CloseButton->click();
        f.BitBtn1Click();
        QCOMPARE(ReadAll(src + "/site.txt"), QByteArray("1,1.000,1.000,0.000,PTS\r\n"));
    }

    // Writing: the format goes with the configuration and the extension's
    // tool tip; the run writes the form the dialog shows; systems that
    // cannot be had are said in the dialog and stop the run before any file.
    void writingOptionsGoWithTheConfigurationAndTheRun() {
        WindowHarness h;
        const QString src = h.Work() + "/src";
        QDir().mkpath(src);
        WriteAll(src + "/site.dxf", LayeredDrawing());
        h.fakes.store.values = {{"dxfpath", src}, {"destpath", src}, {"locked", 1}, {"autosel", 1}};
        h.CreateAndStart();
        TForm1& f = h.Form();
        f.BitBtn1Click();
        const QByteArray lines = ReadAll(src + "/site.txt");
        f.show();
        f.OutputOptionsButtonClick();
        OutputOptionsDialog& d = *f.OutputOptions;
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QVERIFY(!d.Extension->isEnabled());
        d.Format->setCurrentIndex(d.Format->findData(QStringLiteral("csv")));
        QCOMPARE(f.Config().options.output.format, std::string("csv"));
        QVERIFY(f.Config().Changed());
        QVERIFY(d.Extension->isEnabled());
        QCOMPARE(d.Extension->placeholderText(), QStringLiteral("csv"));
        QVERIFY(f.Edit12->toolTip().contains(QStringLiteral("CSV with a header")));
        QCOMPARE(d.Summary->text(), QStringLiteral("Data file format: CSV with a header\n"
                                                   "Coordinates are written as the drawings "
                                                   "hold them."));
        f.BitBtn1Click();
        const QList<QByteArray> csv = ReadAll(src + "/site.csv").split('\n');
        QCOMPARE(csv.mid(1).join('\n'), lines);
        QVERIFY(ReportLines(f.ReportPath()).contains("Data file format: CSV with a header"));

        QFile::remove(src + "/site.csv");
        // The GIS module lies beside the programs of the build, as beside korvel.
        UseGisModuleFolder(ToPath(QCoreApplication::applicationDirPath()));
        QTest::keyClicks(d.SourceSystem, "EPSG:999999");
        QTest::keyClicks(d.TargetSystem, "EPSG:25832");
        QTest::keyClick(d.TargetSystem, Qt::Key_Return);
        QCOMPARE(d.Summary->text(),
                 QStringLiteral("Unknown source coordinate system: EPSG:999999"));
        d.CloseButton->click();
        f.BitBtn1Click();
        QCOMPARE(h.fakes.boxes.Texts(Kind::Error),
                 QStringList{QStringLiteral("Unknown source coordinate system: EPSG:999999.")});
        QVERIFY(!QFile::exists(src + "/site.csv"));
    }

    // Labels: a join starts with its box, a list of types is stored only once
    // it reads, and the run takes the height beside the point.
    void labelOptionsGoWithTheConfigurationAndTheRun() {
        WindowHarness h;
        const QString src = h.Work() + "/src";
        QDir().mkpath(src);
        QByteArray drawing;
        for (const char* line :
             {"  0", "SECTION", "  2", "ENTITIES", "  0", "POINT", "  8", "PTS",    " 10", "1",
              " 20", "1",       " 30", "0",        "  0", "TEXT",  "  8", "PTS",    " 10", "1.3",
              " 20", "1",       " 30", "0",        "  1", "12,5",  "  0", "ENDSEC", "  0", "EOF"})
            drawing += QByteArray(line) + "\r\n";
        WriteAll(src + "/site.dxf", drawing);
        h.fakes.store.values = {{"dxfpath", src}, {"destpath", src}, {"locked", 1}, {"autosel", 1}};
        h.CreateAndStart();
        TForm1& f = h.Form();
        OpenReadingOptions(f);
        ReadingOptionsDialog& d = *f.ReadingOptions;
        QVERIFY(!d.HeightsWithin->isEnabled());
        d.HeightsFromLabels->click();
        QVERIFY(d.HeightsWithin->isEnabled());
        QCOMPARE(f.Config().options.labels.heightsWithin, 1.0);
        QVERIFY(f.Config().Changed());
        d.HeightsWithin->setValue(0.5);
        QCOMPARE(f.Config().options.labels.heightsWithin, 0.5);
        QTest::keyClicks(d.LabelTypes, ", Q");
        QCOMPARE(d.LabelError->text(), QStringLiteral("'Q' is no entity type Korvel converts"));
        QCOMPARE(f.Config().options.labels.pointTypes,
                 (std::vector<std::string>{"POINT", "INSERT"}));
        QTest::keyClick(d.LabelTypes, Qt::Key_Backspace);
        QTest::keyClicks(d.LabelTypes, "Arcs");
        QCOMPARE(d.LabelError->text(), QString());
        QCOMPARE(f.Config().options.labels.pointTypes,
                 (std::vector<std::string>{"POINT", "INSERT", "Arcs"}));
        d.CloseButton->click();
        f.BitBtn1Click();
        QCOMPARE(ReadAll(src + "/site.txt"), QByteArray("1,1.000,1.000,12.500,PTS\r\n"));
    }

    void layerPickerListsTheSelectedDrawingsAndFillsTheIncludeList() {
        WindowHarness h;
        const QString src = h.Work() + "/src";
        QDir().mkpath(src);
        WriteAll(src + "/site.dxf", LayeredDrawing());
        h.fakes.store.values = {{"dxfpath", src}, {"destpath", src}, {"locked", 1}, {"autosel", 1}};
        h.CreateAndStart();
        TForm1& f = h.Form();
        OpenReadingOptions(f);
        f.ReadingOptions->PickLayers->click();
        auto* picker = f.ReadingOptions->findChild<LayerPickerDialog*>();
        QVERIFY(picker != nullptr);
        QStringList rows;
        for (int i = 0; i < picker->LayerList->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = picker->LayerList->topLevelItem(i);
            rows << item->text(0) + " " + item->text(1) + " " + item->text(2);
        }
        QCOMPARE(rows, (QStringList{"PTS on 1", "TMP frozen 1", "0 on 0"}));
        picker->LayerList->topLevelItem(0)->setCheckState(0, Qt::Checked);
        picker->LayerList->topLevelItem(1)->setCheckState(0, Qt::Checked);
        picker->OkButton->click();
        QCOMPARE(f.ReadingOptions->IncludeLayers->text(), QStringLiteral("PTS,TMP"));
        QCOMPARE(f.Config().options.layers.include, std::string("PTS,TMP"));
    }
};

QTEST_MAIN(OptionsPageTest)
#include "options_page_test.moc"
