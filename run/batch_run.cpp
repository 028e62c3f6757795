#include "run/batch_run.h"

#include "settings/path_text.h"
#include "settings/whole_file.h"

namespace korvel {

std::string DataFileName(std::string_view name, std::string_view extension) {
    std::size_t dot = name.find('.');
    std::string result;
    if (dot != std::string_view::npos) result.assign(name.substr(0, dot + 1));
    result.append(extension);
    return result;
}

std::string WithTrailingSeparator(std::string_view folder) {
    std::string result(folder);
    // "/" separates folders on Windows as well.
    if (result.empty() || (result.back() != kFolderSeparator && result.back() != '/'))
        result.push_back(kFolderSeparator);
    return result;
}

std::tm CurrentLocalTime() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
}

namespace {

std::string FormatTime(const char* format, const std::tm& local) {
    char buffer[256];
    std::size_t n = std::strftime(buffer, sizeof buffer, format, &local);
    return std::string(buffer, n);
}

}  // namespace

std::string ReportDateTimeLine(const std::tm& local) {
    std::string line = FormatTime("%x", local);
    // A run started at midnight to the second shows the date alone.
    if (local.tm_hour != 0 || local.tm_min != 0 || local.tm_sec != 0) {
        line.push_back(' ');
        line += FormatTime("%X", local);
    }
    return line;
}

void BeginRunReport(RunReport& report, const std::tm& startTime) {
    report.clear();
    report.push_back(ReportDateTimeLine(startTime));
    report.emplace_back();
}

void AppendFileCounts(RunReport& report, const ExportSettings& settings,
                      const RunCounters& counters) {
    struct CountLine {
        std::string_view label;
        BoolField flag;
        std::int32_t RunCounters::*counter;
    };
    static constexpr CountLine kLines[] = {
        {"Points          : ", field::ProcessPoints, &RunCounters::Points},
        {"Circles         : ", field::ProcessCircles, &RunCounters::Circles},
        {"Arcs            : ", field::ProcessArcs, &RunCounters::Arcs},
        {"Ellipses        : ", field::ProcessEllipses, &RunCounters::Ellipses},
        {"Blocks          : ", field::ProcessBlocks, &RunCounters::Blocks},
        {"Lines           : ", field::ProcessLines, &RunCounters::Lines},
        {"2D Polylines    : ", field::Process2DPolylines, &RunCounters::Polylines2D},
        {"3D Polylines    : ", field::Process3DPolylines, &RunCounters::Polylines3D},
        {"Splines         : ", field::ProcessSplines, &RunCounters::Splines},
        {"Single texts    : ", field::ProcessText, &RunCounters::SingleTexts},
        {"Multiline texts : ", field::ProcessMText, &RunCounters::MultilineTexts},
    };
    for (const CountLine& line : kLines) {
        // The flags are read now: a box ticked during the run shows its count.
        if (!settings.Get(line.flag)) continue;
        std::string text(line.label);
        text += std::to_string(counters.*line.counter);
        report.push_back(std::move(text));
    }
    report.emplace_back();
}

std::string FormatRunReport(const RunReport& report) {
    std::size_t size = 0;
    for (const std::string& line : report) size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string& line : report) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void WriteRunReport(const RunReport& report, const std::filesystem::path& path) {
    WriteWholeFile(path, FormatRunReport(report), WriteFailure::CannotCreate);
}

BatchRunSummary CreateDataFiles(const BatchRunRequest& request, const FileListView& files,
                                const ExportSettings& settings, const NameTables& names,
                                RunHost& host, RunReport& report, const std::tm& startTime) {
    BeginRunReport(report, startTime);
    const std::string sourceFolder = WithTrailingSeparator(request.sourceFolder);
    const std::string destinationFolder = WithTrailingSeparator(request.destinationFolder);

    host.ShowProgress();
    BatchRunSummary summary;
    FilePass pass(settings, names, host, report);
    pass.options = request.passOptions;
    bool inPass = false;
    try {
        const std::size_t count = files.Count();
        for (std::size_t index = 0; index < count; ++index) {
            if (!files.IsSelected(index)) continue;
            const std::string name = files.Text(index);
            const std::string itemFolder = files.Folder(index);
            const std::string source =
                itemFolder.empty() ? sourceFolder : WithTrailingSeparator(itemFolder);
            const std::string& destination =
                request.destinationFollowsSource ? source : destinationFolder;
            // The extension is read per file: it may be edited during the run.
            const std::string dxfPath = source + name;
            const std::string dataPath =
                destination + DataFileName(name, settings.Get(field::FileExtension));

            report.push_back(dxfPath);
            report.emplace_back();
            host.PassStarted(pass, dxfPath);
            inPass = true;
            pass.ConvertDxfFile(PathFromText(dxfPath), PathFromText(dataPath));
            inPass = false;
            host.PassEnded();

            ++summary.filesPassed;
            if (pass.OpenFailed()) {
                ++summary.filesNotOpened;  // the pass has added its error line
            } else {
                AppendFileCounts(report, settings, pass.Counters());
            }
        }
    } catch (...) {
        if (inPass) host.PassEnded();
        host.HideProgress();
        throw;
    }
    return summary;
}

BatchRunSummary CreateDataStream(const std::string& dxfPath, FileSink& sink,
                                 const PassOptions& options, const ExportSettings& settings,
                                 const NameTables& names, RunHost& host, RunReport& report,
                                 const std::tm& startTime) {
    BeginRunReport(report, startTime);
    host.ShowProgress();
    BatchRunSummary summary;
    FilePass pass(settings, names, host, report);
    pass.options = options;
    report.push_back(dxfPath);
    report.emplace_back();
    host.PassStarted(pass, dxfPath);
    try {
        FileSource source;
        if (!source.Open(PathFromText(dxfPath))) {
            // As the file pass reports a DXF file it cannot open.
            report.emplace_back(kOpenErrorLine);
            ++summary.filesNotOpened;
        } else {
            pass.ConvertStream(source, sink, FileNamePart(dxfPath));
            sink.Flush();
            AppendFileCounts(report, settings, pass.Counters());
        }
        ++summary.filesPassed;
    } catch (...) {
        host.PassEnded();
        host.HideProgress();
        throw;
    }
    host.PassEnded();
    return summary;
}

}  // namespace korvel
