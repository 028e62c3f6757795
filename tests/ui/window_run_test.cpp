// The run command through the window: the empty-list message, the same data
// bytes as the core's own run, "Stop process", an error mid-run, a second
// run refused, Exit during a run and the report opened afterwards.
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "ui/dxf_file_list.h"
#include "window_harness.h"

using namespace korvel;
using korvel::testing::CoreRun;
using korvel::testing::PointDrawing;
using korvel::testing::ReadAll;
using korvel::testing::WindowHarness;
using korvel::testing::WriteAll;
using Kind = FakeMessageBoxes::Kind;

namespace {

// Three drawings in a source folder; the window starts on that folder with
// every file selected and writes into an output folder of its own.
struct RunSetup {
    WindowHarness h;
    QString source, out;

    explicit RunSetup(int points = 300, int badInSecond = -1) {
        source = h.Work() + "/src";
        out = h.Work() + "/out";
        QDir().mkpath(source);
        QDir().mkpath(out);
        WriteAll(source + "/a.dxf", PointDrawing(points));
        WriteAll(source + "/b.dxf", PointDrawing(points, badInSecond));
        WriteAll(source + "/c.dxf", PointDrawing(points));
        h.fakes.store.values = {
            {"dxfpath", source}, {"destpath", out}, {"locked", 0}, {"autosel", 1}, {"showlog", 0}};
        h.CreateAndStart();
        // Events on every line, so that a test can act during a given file.
        h.Form().pumpTiming = PumpTiming{1, std::chrono::steady_clock::duration::zero()};
    }

    QByteArray Data(const char* name) const { return ReadAll(out + "/" + name); }
};

QStringList ReportLines(const QString& path) {
    QStringList lines = QString::fromLatin1(ReadAll(path)).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
    return lines;
}

}  // namespace

class WindowRunTest : public QObject {
    Q_OBJECT

  private slots:
    void emptyExportedListOnlyShowsTheMessage() {
        RunSetup r;
        TForm1& f = r.h.Form();
        WriteAll(f.ReportPath(), "earlier report\r\n");
        f.Config().settings.Set(field::DataFieldMask, 0);
        f.ShowSettings();
        f.BitBtn1Click();
        QCOMPARE(r.h.fakes.boxes.Texts(Kind::Information),
                 QStringList{QStringLiteral("Please select data to export")});
        QCOMPARE(ReadAll(f.ReportPath()), QByteArray("earlier report\r\n"));
        QVERIFY(r.Data("a.txt").isNull());
        QVERIFY(!r.h.Progress().isVisible());
    }

    void runThroughTheWindowWritesWhatTheCoreWrites() {
        RunSetup r;
        TForm1& f = r.h.Form();
        f.Config().settings.Set(field::CodeElementMask, (1 << 1) | (1 << 2) | (1 << 6));
        f.ShowSettings();
        // An order made by hand in the window is the order of the lines.
        auto* exported = r.h.Control<QListWidget>("ListBox2");
        exported->insertItem(0, exported->takeItem(3));
        r.h.fakes.store.values["showlog"] = 1;
        f.ShowReport = true;

        f.BitBtn1Click();

        QVERIFY(r.h.fakes.boxes.shown.empty());
        const QString coreOut = r.h.Work() + "/core";
        QDir().mkpath(coreOut);
        const RunReport coreReport =
            CoreRun(r.source, {"a.dxf", "b.dxf", "c.dxf"}, coreOut, f.Config().settings, f.Names(),
                    {"Z", "Number", "X", "Y", "Code"}, {"Layer", "Handle", "Counter"});
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
            QVERIFY(!r.Data(name).isEmpty());
            QCOMPARE(r.Data(name), ReadAll(coreOut + "/" + name));
        }
        // The report as the core makes it, apart from the folders it names.
        QStringList report = ReportLines(f.ReportPath());
        QCOMPARE(report.size(), static_cast<qsizetype>(coreReport.size()));
        QCOMPARE(report[2], QDir::toNativeSeparators(r.source) + "/a.dxf");
        QCOMPARE(report[4], QStringLiteral("Points          : 300"));
        QCOMPARE(r.h.fakes.opener.textDocuments, QStringList{f.ReportPath()});
        QVERIFY(!r.h.Progress().isVisible());
        QCOMPARE(r.h.Progress().Label1->text(), QStringLiteral("Processing c.dxf"));
        QCOMPARE(r.h.Progress().ProgressBar1->value(), 100);
    }

    void stopDuringTheSecondOfThreeFilesEndsThatFileOnly() {
        RunSetup r(2000);
        TForm1& f = r.h.Form();
        TForm2& progress = r.h.Progress();
        bool pressed = false, visibleDuringRun = false;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            visibleDuringRun = visibleDuringRun || progress.isVisible();
            // The bar keeps the first file's 100 until the second pass moves it.
            const int at = progress.ProgressBar1->value();
            if (!pressed && progress.Label1->text() == QStringLiteral("Processing b.dxf") &&
                at >= 10 && at <= 90) {
                pressed = true;
                QTest::mouseClick(progress.SpeedButton1, Qt::LeftButton);
            }
        });
        watcher.start(0);
        f.BitBtn1Click();
        watcher.stop();

        QVERIFY(pressed);
        QVERIFY(visibleDuringRun);
        const QString coreOut = r.h.Work() + "/core";
        QDir().mkpath(coreOut);
        CoreRun(r.source, {"a.dxf", "b.dxf", "c.dxf"}, coreOut, f.Config().settings, f.Names(),
                f.ExportedDataFields(), f.CodeSequence());
        const QByteArray full = ReadAll(coreOut + "/b.txt");
        QCOMPARE(r.Data("a.txt"), ReadAll(coreOut + "/a.txt"));
        QCOMPARE(r.Data("c.txt"), ReadAll(coreOut + "/c.txt"));
        QVERIFY(r.Data("b.txt").size() < full.size());
        QVERIFY(full.startsWith(r.Data("b.txt")));
        QVERIFY(r.Data("b.txt").endsWith("\r\n"));

        const QStringList report = ReportLines(f.ReportPath());
        QStringList counts;
        for (const QString& line : report)
            if (line.startsWith(QStringLiteral("Points"))) counts << line;
        QCOMPARE(counts.size(), 3);
        QCOMPARE(counts[0], QStringLiteral("Points          : 2000"));
        QVERIFY(counts[1] != counts[0]);
        QCOMPARE(counts[2], QStringLiteral("Points          : 2000"));
    }

    void errorMidRunIsShownAndTheDialogHidden() {
        RunSetup r(300, 150);
        TForm1& f = r.h.Form();
        WriteAll(f.ReportPath(), "earlier report\r\n");
        f.BitBtn1Click();
        // The exact text, then the line of the drawing that holds the value.
        QCOMPARE(r.h.fakes.boxes.Texts(Kind::Error),
                 QStringList{QStringLiteral("'abc' is not a valid floating point value.\n"
                                            "Line 1812 of b.dxf")});
        QCOMPARE(ReadAll(r.source + "/b.dxf").split('\n').at(1811).trimmed(), QByteArray("abc"));
        QVERIFY(!r.h.Progress().isVisible());
        QVERIFY(!f.RunInProgress());
        QVERIFY(!r.Data("a.txt").isEmpty());
        QVERIFY(r.Data("c.txt").isNull());
        QCOMPARE(ReadAll(f.ReportPath()), QByteArray("earlier report\r\n"));
        // The second data file was closed: it can be removed and rewritten.
        QVERIFY(QFile::remove(r.out + "/b.txt"));
        // A later run goes through once the drawing is mended.
        WriteAll(r.source + "/b.dxf", PointDrawing(300));
        r.h.fakes.boxes.shown.clear();
        f.BitBtn1Click();
        QVERIFY(r.h.fakes.boxes.shown.empty());
        QVERIFY(!r.Data("c.txt").isEmpty());
    }

    void aSecondRunIsRefusedWhileOneRuns() {
        RunSetup r(500);
        TForm1& f = r.h.Form();
        int nested = 0;
        QTimer again;
        QObject::connect(&again, &QTimer::timeout, [&] {
            if (f.RunInProgress() && nested == 0) {
                ++nested;
                QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
            }
        });
        again.start(0);
        f.BitBtn1Click();
        again.stop();
        QCOMPARE(nested, 1);
        // One run's report: three files, each counted once.
        QStringList counts;
        for (const QString& line : ReportLines(f.ReportPath()))
            if (line.startsWith(QStringLiteral("Points"))) counts << line;
        QCOMPARE(counts.size(), 3);
    }

    void exitDuringARunEndsTheProgramAfterTheRun() {
        RunSetup r(500);
        TForm1& f = r.h.Form();
        int endsSeenDuringRun = -1;
        QTimer exiter;
        QObject::connect(&exiter, &QTimer::timeout, [&] {
            if (f.RunInProgress() && endsSeenDuringRun < 0) {
                f.BitBtn2Click();
                endsSeenDuringRun = r.h.programEnds;
            }
        });
        exiter.start(0);
        f.BitBtn1Click();
        exiter.stop();
        QCOMPARE(endsSeenDuringRun, 0);
        QCOMPARE(r.h.programEnds, 1);
        QVERIFY(r.h.fakes.store.values.count("dxfpath"));
        // Date line, empty line, then per file: path, empty, four counts, empty.
        QCOMPARE(ReportLines(f.ReportPath()).size(), 2 + 3 * (2 + 4 + 1));
        QVERIFY(!r.Data("c.txt").isEmpty());
    }

    void runWithNoFileSelectedWritesATwoLineReport() {
        RunSetup r(10);
        TForm1& f = r.h.Form();
        f.fl1->clearSelection();
        r.h.fakes.store.values["showlog"] = 1;
        f.ShowReport = true;
        f.BitBtn1Click();
        QCOMPARE(ReportLines(f.ReportPath()).size(), 2);
        QCOMPARE(ReportLines(f.ReportPath())[1], QString());
        QCOMPARE(r.h.fakes.opener.textDocuments, QStringList{f.ReportPath()});
        QVERIFY(r.Data("a.txt").isNull());
    }
};

QTEST_MAIN(WindowRunTest)
#include "window_run_test.moc"
