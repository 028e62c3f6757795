// korvel-cli's run: drawings converted several at a time. Each worker thread
// converts drawings with a pass and a copy of the settings of its own, and
// the outcomes are taken up in the order the drawings were given, so that
// the report, the messages and the exit status are those of one conversion
// after another.
#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/file_pass.h"
#include "run/drawing_conversion.h"
#include "settings/export_settings.h"

namespace korvel {

struct ParallelRunOptions {
    unsigned jobs = 1;  // passes at a time; 0: one per processor core
    // An error ends only its drawing: the report gets an error line in place
    // of its counts and the run goes on. Otherwise the first error in the
    // order given ends the run; no later drawing is started then, and those
    // already under way are finished before the run returns.
    bool keepGoing = false;
    PassOptions passOptions;
    // Starts a worker thread, or throws std::system_error when none can be
    // started; empty: std::thread. Tests put one here that fails.
    std::function<std::thread(std::function<void()>)> startThread;
};

// Called on the thread that runs ConvertDrawings, never from a worker.
class ParallelRunObserver {
  public:
    virtual ~ParallelRunObserver() = default;
    // The first drawing in order that is not finished, and how far its pass has got.
    virtual void Progress(std::size_t /*index*/, std::string_view /*caption*/, int /*position*/) {}
    // Each finished drawing in the order given, up to the one whose error ends the run.
    virtual void Finished(std::size_t /*index*/, const DrawingOutcome& /*outcome*/) {}
};

// The run: `report` made afresh with the date-time line, then each drawing's
// section in the order given. A drawing may start only when no earlier one
// still under way reads or writes its data file or writes its drawing, so
// two drawings with the same data file name leave the later one's data, as
// one pass after another would. With an error that ends the run, `report`
// stops after the failing drawing's section and filesFailed is 1. When no
// thread can be started, the drawings are converted on the calling thread.
RunSummary ConvertDrawings(const std::vector<DrawingJob>& drawings, const ExportSettings& settings,
                           const NameTables& names, const std::vector<std::string>& fields,
                           const std::vector<std::string>& code, const ParallelRunOptions& options,
                           ParallelRunObserver& observer, RunReport& report,
                           const std::tm& startTime);

}  // namespace korvel
