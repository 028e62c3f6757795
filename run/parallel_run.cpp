#include "run/parallel_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "run/run_report.h"
#include "settings/path_text.h"

namespace korvel {

namespace {

// Where one drawing stands; guarded by the run's mutex except `position`.
struct DrawingSlot {
    bool started = false;
    bool finished = false;
    std::string caption;
    std::atomic<int> position{-1};
    DrawingOutcome outcome;
    // The files it reads and writes, to keep overlapping drawings in order.
    std::filesystem::path reads, writes;
};

std::filesystem::path Resolved(const std::string& path) {
    if (path.empty()) return {};
    std::error_code ec;
    const std::filesystem::path given = PathFromText(path);
    std::filesystem::path p = std::filesystem::weakly_canonical(given, ec);
    return ec ? std::filesystem::absolute(given, ec).lexically_normal() : p;
}

class DrawingRun {
  public:
    DrawingRun(const std::vector<DrawingJob>& drawings, const ExportSettings& settings,
               const NameTables& names, const std::vector<std::string>& fields,
               const std::vector<std::string>& code, const ParallelRunOptions& options)
        : drawings_(drawings),
          settings_(settings),
          names_(names),
          fields_(fields),
          code_(code),
          options_(options),
          slots_(drawings.size()) {
        for (std::size_t i = 0; i < drawings.size(); ++i) {
            if (drawings[i].source == nullptr) slots_[i].reads = Resolved(drawings[i].dxfPath);
            if (drawings[i].sink == nullptr) slots_[i].writes = Resolved(drawings[i].dataPath);
        }
    }

    ~DrawingRun() { StopAndJoin(); }

    void Start(unsigned workers) {
        for (unsigned i = 0; i < workers; ++i) {
            try {
                if (options_.startThread)
                    threads_.push_back(options_.startThread([this] { Work(); }));
                else
                    threads_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                break;  // the threads already started do the work
            }
        }
        // Not even one thread: the drawings are converted here, before the
        // first outcome is taken up.
        if (threads_.empty()) Work();
    }

    // Takes up the outcomes in order; returns the summary once every drawing
    // is taken up or an error has ended the run.
    RunSummary Collect(ParallelRunObserver& observer, RunReport& report) {
        RunSummary summary;
        std::unique_lock lock(mutex_);
        for (std::size_t next = 0; next < slots_.size();) {
            DrawingSlot& slot = slots_[next];
            if (!slot.finished) {
                // Progress is read at intervals: the pass's own updates come
                // from worker threads, and the observer draws on this one.
                changed_.wait_for(lock, std::chrono::milliseconds(100));
                if (slot.started && !slot.finished) {
                    const std::string caption = slot.caption;
                    lock.unlock();
                    observer.Progress(next, caption, slot.position.load());
                    lock.lock();
                }
                continue;
            }
            DrawingOutcome outcome = std::move(slot.outcome);
            lock.unlock();
            summary.Add(outcome);
            report.insert(report.end(), outcome.lines.begin(), outcome.lines.end());
            observer.Finished(next, outcome);
            lock.lock();
            ++next;
            if (outcome.error && !options_.keepGoing) break;
        }
        return summary;
    }

    void StopAndJoin() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        for (std::thread& t : threads_) t.join();
        threads_.clear();
    }

  private:
    // A worker's host: the fixed lists, and the progress kept for the
    // collecting thread to show.
    class WorkerHost final : public FixedListsHost {
      public:
        WorkerHost(DrawingRun& run, std::vector<std::string> fields, std::vector<std::string> code)
            : FixedListsHost(std::move(fields), std::move(code)), run_(run) {}
        void SetProgressCaption(std::string_view caption) override {
            const std::lock_guard lock(run_.mutex_);
            slot->caption.assign(caption);
            slot->position.store(-1);
        }
        void SetProgressPosition(int position) override { slot->position.store(position); }

        DrawingSlot* slot = nullptr;

      private:
        DrawingRun& run_;
    };

    bool Overlaps(const DrawingSlot& a, const DrawingSlot& b) const {
        auto same = [](const std::filesystem::path& x, const std::filesystem::path& y) {
            return !x.empty() && x == y;
        };
        return same(a.writes, b.writes) || same(a.writes, b.reads) || same(a.reads, b.writes);
    }

    // The next drawing this worker may start, in order; none once the run is
    // over or ended by an error.
    std::optional<std::size_t> Claim() {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (stop_ || failed_ || next_ >= slots_.size()) return std::nullopt;
            const DrawingSlot& candidate = slots_[next_];
            const bool blocked = std::any_of(
                slots_.begin(), slots_.begin() + static_cast<std::ptrdiff_t>(next_),
                [&](const DrawingSlot& earlier) {
                    return earlier.started && !earlier.finished && Overlaps(earlier, candidate);
                });
            if (!blocked) break;
            changed_.wait(lock);
        }
        slots_[next_].started = true;
        return next_++;
    }

    void Work() {
        ExportSettings settings = settings_;
        WorkerHost host(*this, fields_, code_);
        DrawingConverter converter(settings, names_, host, options_.passOptions);
        while (const std::optional<std::size_t> index = Claim()) {
            DrawingSlot& slot = slots_[*index];
            host.slot = &slot;
            DrawingOutcome outcome = converter.Convert(drawings_[*index]);
            // In place of the counts, for a run that goes on after it.
            if (outcome.error) outcome.lines.push_back(ConversionErrorLine(outcome.errorText));
            {
                const std::lock_guard lock(mutex_);
                slot.outcome = std::move(outcome);
                slot.finished = true;
                if (slot.outcome.error && !options_.keepGoing) failed_ = true;
            }
            changed_.notify_all();
        }
    }

    const std::vector<DrawingJob>& drawings_;
    const ExportSettings& settings_;
    const NameTables& names_;
    const std::vector<std::string>& fields_;
    const std::vector<std::string>& code_;
    const ParallelRunOptions& options_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<DrawingSlot> slots_;
    std::size_t next_ = 0;
    bool stop_ = false;
    bool failed_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace

RunSummary ConvertDrawings(const std::vector<DrawingJob>& drawings, const ExportSettings& settings,
                           const NameTables& names, const std::vector<std::string>& fields,
                           const std::vector<std::string>& code, const ParallelRunOptions& options,
                           ParallelRunObserver& observer, RunReport& report,
                           const std::tm& startTime) {
    BeginRunReport(report, startTime);
    AppendOutputLines(report, options.passOptions.output);
    unsigned workers = options.jobs != 0 ? options.jobs : std::thread::hardware_concurrency();
    workers = static_cast<unsigned>(std::min<std::size_t>(std::max(workers, 1u), drawings.size()));
    DrawingRun run(drawings, settings, names, fields, code, options);
    run.Start(workers);
    RunSummary summary = run.Collect(observer, report);
    run.StopAndJoin();
    return summary;
}

}  // namespace korvel
