// The run host of the tests: fixed lists, a record of what the run shows, and
// `onPump` to play the user (or the file system) acting between two lines of
// a pass.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "run/file_list_run.h"
#include "run/run_report.h"

namespace korvel::test {

class ScriptedRunHost : public RunHost {
  public:
    ScriptedRunHost() = default;
    ScriptedRunHost(std::vector<std::string> f, std::vector<std::string> c)
        : fields(std::move(f)), code(std::move(c)) {}

    std::vector<std::string> fields{"Number", "X", "Y", "Z", "Code"};
    std::vector<std::string> code{"Layer"};
    std::vector<std::string> events;  // show, hide, start <path>, end
    std::vector<std::string> captions;
    bool progressShown = false;
    FilePass* pass = nullptr;
    int passIndex = 0;  // 1 for the first pass
    int pumpsInPass = 0;
    std::function<void(ScriptedRunHost&)> onPump;

    void SetProgressCaption(std::string_view caption) override { captions.emplace_back(caption); }
    void SetProgressPosition(int) override {}
    void PumpEvents() override {
        ++pumpsInPass;
        if (onPump) onPump(*this);
    }
    const std::vector<std::string>& ExportedDataFields() const override { return fields; }
    const std::vector<std::string>& CodeSequence() const override { return code; }
    std::uint64_t ListsGeneration() const override { return 0; }

    void ShowProgress() override {
        progressShown = true;
        events.push_back("show");
    }
    void HideProgress() override {
        progressShown = false;
        events.push_back("hide");
    }
    void PassStarted(FilePass& p, const std::string& dxfPath) override {
        pass = &p;
        ++passIndex;
        pumpsInPass = 0;
        events.push_back("start " + dxfPath);
    }
    void PassEnded() override {
        pass = nullptr;
        events.push_back("end");
    }
};

}  // namespace korvel::test
