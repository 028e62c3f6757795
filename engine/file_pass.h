// One DXF file to one data file: opening both files (never writing over a
// drawing), the form of the drawing, the main loop that hands entity names to
// their extractors, progress, and what the report says about the pass.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/byte_source.h"
#include "engine/entity_census.h"
#include "engine/entity_rules.h"
#include "engine/extended_reading.h"
#include "engine/file_sink.h"
#include "engine/label_join.h"
#include "engine/pass_host.h"
#include "engine/point_output.h"
#include "engine/point_writer.h"
#include "engine/record_composer.h"
#include "engine/report_lines.h"
#include "settings/export_settings.h"
#include "settings/extended_options.h"

namespace korvel {

// Options of the reader that go beyond the file format itself.
struct PassOptions {
    // Read group codes that are not right-aligned in three columns.
    bool alignGroupCodes = false;
    // A point whose Z group is missing is read as if "0" stood there.
    bool missingZAsZero = false;
    // Layers, block attributes, the contents of blocks.
    ExtendedOptions extended;
    // Counts every entity by layer and type (and converts every one).
    LayerCensus* layerCensus = nullptr;
    // How often block definitions may be read where they are inserted.
    std::int64_t mostBlockReads = 10'000'000;
    // The form of the data files and the coordinate system they are written
    // in; none: the text lines in the drawing's coordinates. A preview is
    // shown in the drawing's own.
    const PointOutput* output = nullptr;
};

class FilePass {
  public:
    FilePass(const ExportSettings& settings, const NameTables& names, PassHost& host,
             RunReport& report)
        : settings_(settings), host_(host), report_(report), composer_(settings, names, host) {}

    // One pass. Returns normally when the file is done, stopped, or could not
    // be opened (then OpenFailed() is true and one line is in the report).
    // Any other error is thrown after both files are closed.
    void ConvertDxfFile(const std::filesystem::path& dxfPath,
                        const std::filesystem::path& dataPath);

    // The same, writing to an open sink (standard output), which is flushed
    // and left open.
    void ConvertDxfFile(const std::filesystem::path& dxfPath, FileSink& sink);

    // The same with every point handed to `observer` and no data file: the
    // points a run would write, in order, with their data lines.
    void ConvertDxfFile(const std::filesystem::path& dxfPath, PointObserver& observer);

    // The same with the points going nowhere: the counts alone (a listing
    // of layers, with PassOptions::layerCensus).
    void CountDxfFile(const std::filesystem::path& dxfPath);

    // Over an already open source (standard input, tests), writing to an open
    // sink, which is flushed and left open.
    void ConvertStream(ByteSource& source, FileSink& sink, std::string_view caption);
    void ConvertToObserver(ByteSource& source, PointObserver& observer, std::string_view caption);

    // Set by the stop command during a pump; tested before each main-loop line.
    void RequestStop() { stopRequested_ = true; }
    bool StopRequested() const { return stopRequested_; }
    bool OpenFailed() const { return openFailed_; }
    const RunCounters& Counters() const { return counters_; }
    const RunningNumbers& Numbers() const { return numbers_; }
    // The join of the last pass that took heights or numbers from labels.
    const LabelJoin* Labels() const { return labels_ ? &*labels_ : nullptr; }

    PassOptions options;

  private:
    void StartPass(std::string_view caption);
    // Opens the drawing; when it cannot be opened the report gets its line.
    bool OpenDrawing(const std::filesystem::path& dxfPath, FileSource& source);
    // Runs the pass over an open source; a conversion error names `caption`.
    void RunNamed(ByteSource& source, FileSink* sink, PointObserver* observer,
                  std::string_view caption);
    void Run(ByteSource& source, FileSink* sink, PointObserver* observer);
    // Runs the pass into a data file of another form, completed after it.
    void RunIntoRecords(ByteSource& source, RecordSink& records, std::string_view caption);
    // Runs the pass into an open sink, in the form of the run.
    void ConvertOpen(ByteSource& source, FileSink& sink, std::string_view caption);
    void ResetCounts();
    void MainLoop(DxfCursor& cursor, EntityReader& entities, EntityCensus& census,
                  std::uint64_t size);

    const ExportSettings& settings_;
    PassHost& host_;
    RunReport& report_;
    RecordComposer composer_;

    bool stopRequested_ = false;
    bool openFailed_ = false;
    RunCounters counters_;
    RunningNumbers numbers_;
    std::optional<LabelJoin> labels_;
    // The data file of another form of the pass under way.
    RecordSink* records_ = nullptr;
};

// The file name part of a path: the text after the last separator.
std::string_view FileNamePart(std::string_view path);

}  // namespace korvel
