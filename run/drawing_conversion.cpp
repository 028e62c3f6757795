#include "run/drawing_conversion.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "engine/label_join.h"
#include "engine/number_format.h"
#include "engine/os_file.h"
#include "run/run_report.h"
#include "settings/csv_text.h"
#include "settings/korvel_error.h"
#include "settings/path_text.h"

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

std::string OpenFailureReason(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (ec) return SystemErrorText(ec.value());
    if (std::filesystem::is_directory(status)) return SystemErrorText(EISDIR);
    if (!std::filesystem::is_regular_file(status)) return "Not a regular file";
    OsFile file;
    if (!file.OpenForReading(path)) return SystemErrorText(errno);
    // Opens now: it was busy (locked, or replaced) when the pass tried.
    return SystemErrorText(EBUSY);
}

namespace {

std::vector<LabelPairRow> PairRows(const LabelJoin& labels) {
    // In the order of the data file.
    std::vector<LabelJoin::Pair> pairs = labels.Pairs();
    std::stable_sort(pairs.begin(), pairs.end(), [&](const auto& a, const auto& b) {
        return labels.WrittenAs(a.point).dataLine < labels.WrittenAs(b.point).dataLine;
    });
    std::vector<LabelPairRow> rows;
    rows.reserve(pairs.size());
    for (const LabelJoin::Pair& pair : pairs) {
        const LabelJoin::WrittenPoint& point = labels.WrittenAs(pair.point);
        rows.push_back({pair.kind == LabelJoin::Kind::Height ? "height" : "number", point.dataLine,
                        point.number, std::string(labels.LabelText(pair.label)),
                        labels.LabelX(pair.label), labels.LabelY(pair.label), pair.distance});
    }
    return rows;
}

}  // namespace

std::string LabelPairsCsv(const std::vector<std::pair<std::string, LabelPairRow>>& rows) {
    std::string csv = "drawing,kind,line,point,label,x,y,distance\r\n";
    for (const auto& [drawing, row] : rows) {
        AppendCsvField(csv, drawing);
        csv += "," + row.kind + "," + std::to_string(row.line) + ",";
        AppendCsvField(csv, row.point);
        csv += ',';
        AppendCsvField(csv, row.label);
        csv += "," + NumberText(row.x) + "," + NumberText(row.y) + "," + NumberText(row.distance) +
               "\r\n";
    }
    return csv;
}

DrawingConverter::DrawingConverter(const ExportSettings& settings, const NameTables& names,
                                   PassHost& host, const PassOptions& options)
    : settings_(settings), pass_(settings, names, host, section_) {
    pass_.options = options;
}

void DrawingConverter::Run(const DrawingJob& job) {
    const std::filesystem::path dxfPath = PathFromText(job.dxfPath);
    if (job.source != nullptr)
        pass_.ConvertStream(*job.source, *job.sink, FileNamePart(job.dxfPath));
    else if (job.sink != nullptr)
        pass_.ConvertDxfFile(dxfPath, *job.sink);
    else if (job.observer != nullptr)
        pass_.ConvertDxfFile(dxfPath, *job.observer);
    else
        pass_.ConvertDxfFile(dxfPath, PathFromText(job.dataPath));
}

DrawingOutcome DrawingConverter::Convert(const DrawingJob& job) {
    DrawingOutcome outcome;
    section_.clear();
    section_.push_back(job.dxfPath);
    section_.emplace_back();
    try {
        Run(job);
        outcome.counters = pass_.Counters();
        if (const LabelJoin* labels = pass_.Labels(); labels != nullptr && job.labelPairs)
            outcome.labelPairs = PairRows(*labels);
        outcome.openFailed = pass_.OpenFailed();
        if (outcome.openFailed)
            outcome.openFailure = OpenFailureReason(PathFromText(job.dxfPath));
        else
            AppendFileCounts(section_, settings_, outcome.counters);
    } catch (const std::exception& e) {
        outcome.error = std::current_exception();
        outcome.errorText = e.what();
    } catch (...) {
        outcome.error = std::current_exception();
        outcome.errorText = "unknown error";
    }
    outcome.lines = std::move(section_);
    section_.clear();
    return outcome;
}

bool PreviewDrawing(const std::string& dxfPath, const ExportSettings& settings,
                    const NameTables& names, PassHost& host, const PassOptions& options,
                    PointObserver& observer, RunReport* section, RunCounters* counters) {
    DrawingConverter converter(settings, names, host, options);
    DrawingJob job;
    job.dxfPath = dxfPath;
    job.observer = &observer;
    DrawingOutcome outcome = converter.Convert(job);
    if (section != nullptr) *section = std::move(outcome.lines);
    if (counters != nullptr) *counters = outcome.counters;
    if (outcome.error) std::rethrow_exception(outcome.error);
    return !outcome.openFailed;
}

}  // namespace korvel
