// Drawings converted several at a time, for korvel-cli: each worker thread
// runs its own file pass on its own copy of the settings, and the outcomes are
// taken up in the order the drawings were given, so that the report, the
// messages and the exit status are those of one pass after another.
#pragma once

#include <cstddef>
#include <ctime>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_pass.h"
#include "run/batch_run.h"
#include "settings/export_settings.h"

namespace korvel {

struct DrawingJob {
    std::string dxfPath;   // read, and named in the report
    std::string dataPath;  // written; not used with a sink
    // Standard input and output: the drawing read from `source` instead of
    // dxfPath, its data lines written to `sink` instead of a data file.
    ByteSource* source = nullptr;
    FileSink* sink = nullptr;
};

struct DrawingOutcome {
    RunReport lines;  // the drawing's section of the report
    bool openFailed = false;
    std::string openFailure;   // the system's reason, when openFailed
    std::exception_ptr error;  // the error that ended the drawing's pass
};

struct DrawingRunOptions {
    unsigned jobs = 1;  // passes at a time; 0: one per processor core
    // An error ends only its drawing: the report gets an error line in place
    // of its counts and the run goes on. Otherwise the first error in the
    // order given ends the run; no later drawing is started then, and those
    // already under way are finished before the run returns.
    bool keepGoing = false;
    PassOptions passOptions;
};

// Called on the thread that runs ConvertDrawings, never from a worker.
class DrawingRunObserver {
  public:
    virtual ~DrawingRunObserver() = default;
    // The first drawing in order that is not finished, and how far its pass has got.
    virtual void Progress(std::size_t /*index*/, std::string_view /*caption*/, int /*position*/) {}
    // Each finished drawing in the order given, up to the one whose error ends the run.
    virtual void Finished(std::size_t /*index*/, const DrawingOutcome& /*outcome*/) {}
};

// The report line that takes the place of a drawing's counts under keepGoing.
std::string ConversionErrorLine(std::string_view message);

// Why a drawing could not be opened, in the system's words ("No such file or
// directory", "Is a directory", ...), asked again after the pass gave up.
std::string OpenFailureReason(const std::filesystem::path& path);

// The run: `report` made afresh with the date-time line, then each drawing's
// section in the order given. A drawing may start only when no earlier one
// still under way reads or writes its data file or writes its drawing, so
// two drawings with the same data file name leave the later one's data, as
// one pass after another would. With an error that ends the run, `report`
// stops after the failing drawing's section and filesFailed is 1.
BatchRunSummary ConvertDrawings(const std::vector<DrawingJob>& drawings,
                                const ExportSettings& settings, const NameTables& names,
                                const std::vector<std::string>& fields,
                                const std::vector<std::string>& code,
                                const DrawingRunOptions& options, DrawingRunObserver& observer,
                                RunReport& report, const std::tm& startTime);

}  // namespace korvel
