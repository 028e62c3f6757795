#include "run/run_report.h"

#include "settings/whole_file.h"

namespace korvel {

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

void AppendOutputLines(RunReport& report, const PointOutput* output) {
    if (output == nullptr) return;
    for (std::string& line : output->ReportLines()) report.push_back(std::move(line));
    report.emplace_back();
}

void AppendFileCounts(RunReport& report, const ExportSettings& settings,
                      const RunCounters& counters) {
    for (const EntityTypeInfo& type : kEntityTypes)
        if (settings.Get(type.flag))
            report.push_back(ReportLabel(type.type) + std::to_string(counters[type.type]));
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

}  // namespace korvel
