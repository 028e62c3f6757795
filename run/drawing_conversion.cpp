#include "run/drawing_conversion.h"

#include <cerrno>
#include <system_error>

#include "engine/os_file.h"
#include "run/run_report.h"
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
                    PointObserver& observer) {
    DrawingConverter converter(settings, names, host, options);
    DrawingJob job;
    job.dxfPath = dxfPath;
    job.observer = &observer;
    const DrawingOutcome outcome = converter.Convert(job);
    if (outcome.error) std::rethrow_exception(outcome.error);
    return !outcome.openFailed;
}

}  // namespace korvel
