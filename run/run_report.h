// The run report: the date-time line that opens it, the count lines of each
// drawing, and the report file.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>

#include "engine/entity_types.h"
#include "engine/point_output.h"
#include "engine/report_lines.h"
#include "settings/export_settings.h"

namespace korvel {

// The local time now, for the date-time line.
std::tm CurrentLocalTime();

// "<date> <time>" in the C library's short date and long time of the current
// LC_TIME locale ("%x", "%X"); the time is left out at exactly 00:00:00. The
// window and the CLI both use this, so their reports agree.
std::string ReportDateTimeLine(const std::tm& local);

// A fresh report: the date-time line and an empty line.
void BeginRunReport(RunReport& report, const std::tm& startTime);

// After the date-time line: what `output` says of the form of the data files
// and the coordinate systems, and an empty line; nothing without one.
void AppendOutputLines(RunReport& report, const PointOutput* output);

// The count lines of the ticked entity types, in the table's order, and the
// closing empty line. The flags are read now: a box ticked during the run
// shows its count.
void AppendFileCounts(RunReport& report, const ExportSettings& settings,
                      const RunCounters& counters);

// The report as the report file holds it: every line followed by CR LF.
std::string FormatRunReport(const RunReport& report);

// Writes the report file, replacing an earlier one. Throws
// "Cannot create file "<path>". <reason>" when it cannot be created or written.
void WriteRunReport(const RunReport& report, const std::filesystem::path& path);

}  // namespace korvel
