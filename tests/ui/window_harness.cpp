#include "window_harness.h"

#include <QFile>
#include <QTest>

#include "support/scripted_run_host.h"
#include "ui/text_bytes.h"

namespace korvel::testing {

WindowHarness::WindowHarness() {
    QDir dir(programDir_.path());
    dir.mkdir(QStringLiteral("configurations"));
    for (const char* table : {"korvel.dat", "korvel2.dat"})
        QFile::copy(QStringLiteral(KORVEL_SOURCE_DATA "/") + QLatin1String(table),
                    dir.filePath(QLatin1String(table)));
    // A start without a stored folder falls back to the home folder; keep
    // that inside the test's own space.
    qputenv("HOME", workDir_.path().toLocal8Bit());
}

WindowHarness::~WindowHarness() = default;

void WindowHarness::Create() {
    form1_ = std::make_unique<TForm1>(fakes.Services(), programDir_.path());
    form2_ = std::make_unique<TForm2>(form1_.get());
    form3_ = std::make_unique<TForm3>(form1_.get());
    form1_->AttachDialogs(form2_.get(), form3_.get());
    QObject::connect(form1_.get(), &TForm1::ProgramEndRequested, [this] { ++programEnds; });
}

void WindowHarness::CreateAndStart() {
    Create();
    form1_->StartUp();
}

QByteArray ImageBytes(const ExportSettings& settings) {
    return QByteArray(reinterpret_cast<const char*>(settings.image.data()), kSettingsImageSize);
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

QByteArray PointDrawing(int count, int badAt) {
    QByteArray d = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n";
    for (int i = 0; i < count; ++i) {
        d += "  0\r\nPOINT\r\n  5\r\n" + QByteArray::number(i + 1, 16).toUpper() + "\r\n";
        d += "  8\r\nL" + QByteArray::number(i % 3) + "\r\n";
        d += " 10\r\n" +
             (i == badAt ? QByteArray("abc") : QByteArray::number(1000.0 + i * 0.125, 'f', 4)) +
             "\r\n";
        d += " 20\r\n" + QByteArray::number(2000.5 - i * 0.0625, 'f', 5) + "\r\n";
        d += " 30\r\n" + QByteArray::number(i % 7) + ".25\r\n";
    }
    d += "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
    return d;
}

namespace {

class NamesList final : public FileListView {
  public:
    explicit NamesList(const QStringList& names) : names_(names) {}
    std::size_t Count() const override { return static_cast<std::size_t>(names_.size()); }
    bool IsSelected(std::size_t) const override { return true; }
    std::string Text(std::size_t i) const override {
        return ToPathBytes(names_[static_cast<qsizetype>(i)]);
    }

  private:
    QStringList names_;
};

}  // namespace

RunReport CoreRun(const QString& folder, const QStringList& names, const QString& out,
                  ExportSettings settings, const NameTables& tables,
                  std::vector<std::string> fields, std::vector<std::string> code) {
    FileListRunRequest request;
    request.sourceFolder = ToPathBytes(folder);
    request.destinationFolder = ToPathBytes(out);
    NamesList list(names);
    test::ScriptedRunHost host(std::move(fields), std::move(code));
    RunReport report;
    CreateDataFiles(request, list, settings, tables, host, report, CurrentLocalTime());
    return report;
}

}  // namespace korvel::testing
