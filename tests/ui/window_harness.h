// The real window on fakes: a temporary program folder with the shipped name
// tables and a configurations folder, an in-memory state store, and boxes and
// dialogs that answer from queues.
#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "run/file_list_run.h"
#include "run/run_report.h"
#include "settings/export_settings.h"
#include "ui/platform/fake_platform.h"
#include "ui/selrep.h"
#include "ui/unit2.h"
#include "ui/xyz1.h"

namespace korvel::testing {

class WindowHarness {
  public:
    WindowHarness();
    ~WindowHarness();

    // The windows as the program makes them; StartUp is left to the test so
    // it can prepare the folder and the store first.
    void Create();
    void CreateAndStart();

    TForm1& Form() { return *form1_; }
    TForm2& Progress() { return *form2_; }

    template <typename W>
    W* Control(const char* name) {
        W* w = form1_->findChild<W*>(QString::fromLatin1(name));
        if (!w) qFatal("no control %s", name);
        return w;
    }

    QString ProgramFolder() const { return programDir_.path() + QLatin1Char('/'); }
    QString Path(const QString& name) const { return programDir_.filePath(name); }
    QString Configurations() const {
        return programDir_.filePath(QStringLiteral("configurations"));
    }
    // A folder of its own for drawings and data files.
    QString Work() const { return workDir_.path(); }

    FakePlatform fakes;
    int programEnds = 0;

  private:
    QTemporaryDir programDir_;
    QTemporaryDir workDir_;
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TForm3> form3_;
};

// The 404 bytes of a settings image, as a configuration file holds them.
QByteArray ImageBytes(const ExportSettings& settings);

// File helpers.
QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& bytes);

// A drawing of `count` POINT entities on layer "L<i % 3>", handle i+1,
// coordinates derived from i; `badAt` (when >= 0) gets an X of "abc".
QByteArray PointDrawing(int count, int badAt = -1);

// The core run of `names` in `folder` into `out` with fixed lists, as the
// command-line converter runs it.
RunReport CoreRun(const QString& folder, const QStringList& names, const QString& out,
                  ExportSettings settings, const NameTables& tables,
                  std::vector<std::string> fields, std::vector<std::string> code);

}  // namespace korvel::testing
