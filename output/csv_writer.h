// CSV data files: the exported fields under a header line of their names,
// values quoted as RFC 4180 asks.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/file_sink.h"
#include "engine/point_output.h"

namespace korvel {

// A CSV file at `path`, made now.
std::unique_ptr<RecordSink> CreateCsvSink(const std::filesystem::path& path,
                                          const std::vector<std::string>& fieldNames);
// The same into an open sink, which is left open.
std::unique_ptr<RecordSink> CreateCsvStreamSink(FileSink& out,
                                                const std::vector<std::string>& fieldNames);

}  // namespace korvel
