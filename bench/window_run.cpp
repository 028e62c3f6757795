// The window's own run path timed against korvel-cli on the same drawing:
// the real TForm1 offscreen with its progress dialog, event pump and progress
// bar, started by BitBtn1Click as a click would. Also measures how long
// "Stop process" takes to end a pass.
//
//   korvel_window_bench DRAWING OUTPUT_FOLDER RUNS KORVEL_CLI
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "ui/platform/fake_platform.h"
#include "ui/selrep.h"
#include "ui/unit2.h"
#include "ui/xyz1.h"

using namespace korvel;

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The CLI doing what a window run does: the data file and a run report file.
double TimeCli(const QString& cli, const QString& drawing, const QString& out,
               const QString& report) {
    QElapsedTimer timer;
    timer.start();
    QProcess::execute(cli, {QStringLiteral("-q"), QStringLiteral("--report"), report,
                            QStringLiteral("-o"), out, drawing});
    return timer.nsecsElapsed() / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s DRAWING OUTPUT_FOLDER RUNS KORVEL_CLI\n", argv[0]);
        return 2;
    }
    const QFileInfo drawing(QString::fromLocal8Bit(argv[1]));
    const QString out = QString::fromLocal8Bit(argv[2]);
    const int runs = std::max(1, atoi(argv[3]));
    const QString cli = QString::fromLocal8Bit(argv[4]);

    // A folder of its own holding just this drawing (a hard link, or a copy
    // where links cannot be made), so that selecting all files selects it alone.
    const QString source = QDir(out).filePath(QStringLiteral("window-source"));
    QDir(source).removeRecursively();  // drawings of earlier runs out of the way
    QDir().mkpath(source);
    const QString linked = QDir(source).filePath(drawing.fileName());
    if (!QFile::link(drawing.absoluteFilePath(), linked))
        QFile::copy(drawing.absoluteFilePath(), linked);

    QTemporaryDir program;
    const QString cliFolder = QFileInfo(cli).absolutePath();
    for (const char* table : {"korvel.dat", "korvel2.dat"})
        QFile::copy(QDir(cliFolder).filePath(QLatin1String(table)),
                    QDir(program.path()).filePath(QLatin1String(table)));
    QDir(program.path()).mkdir(QStringLiteral("configurations"));

    FakePlatform fakes;
    fakes.store.values[QStringLiteral("dxfpath")] = source;
    fakes.store.values[QStringLiteral("destpath")] = out;
    fakes.store.values[QStringLiteral("locked")] = 0;
    fakes.store.values[QStringLiteral("autosel")] = 1;
    fakes.store.values[QStringLiteral("showlog")] = 0;
    TForm1 form(fakes.Services(), program.path());
    TForm2 progress(&form);
    TForm3 destination(&form);
    form.AttachDialogs(&progress, &destination);
    form.StartUp();
    form.show();
    QCoreApplication::processEvents();

    std::vector<double> windowTimes, cliTimes;
    for (int i = 0; i < runs; ++i) {
        cliTimes.push_back(
            TimeCli(cli, drawing.absoluteFilePath(), out,
                    QDir(program.path()).filePath(QStringLiteral("cli-report.txt"))));
        QElapsedTimer timer;
        timer.start();
        form.BitBtn1Click();
        windowTimes.push_back(timer.nsecsElapsed() / 1e9);
    }
    if (!fakes.boxes.shown.empty()) {
        std::fprintf(stderr, "the window showed: %s\n", qPrintable(fakes.boxes.shown.front().text));
        return 1;
    }

    // "Stop process" pressed a while into a run: the time until the run has
    // returned is what the user waits for.
    double stopLatency = -1;
    QElapsedTimer sinceStop;
    QTimer::singleShot(std::max(50, int(Median(windowTimes) * 300)), [&] {
        sinceStop.start();
        progress.SpeedButton1->click();
    });
    form.BitBtn1Click();
    if (sinceStop.isValid()) stopLatency = sinceStop.nsecsElapsed() / 1e6;
    // Put the complete data file back for the output check.
    form.BitBtn1Click();

    const double w = Median(windowTimes), c = Median(cliTimes);
    std::printf("window run: %.3f s median of %d, korvel-cli %.3f s: %.2f x korvel-cli\n", w, runs,
                c, w / c);
    if (stopLatency >= 0)
        std::printf("\"Stop process\" ended the pass %.1f ms after the click\n", stopLatency);
    else
        std::printf("\"Stop process\" was not reached: the run ended first\n");
    return 0;
}
