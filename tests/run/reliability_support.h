// Small fakes and checks shared by the reliability tests of the run: a file
// list, a host that can press "Stop process", file fingerprints and open
// descriptor counts.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "run/batch_run.h"

namespace korvel::test {

// Every item selected unless told otherwise.
class ListOfFiles : public FileListView {
  public:
    struct Item {
        std::string text;
        bool selected = true;
    };
    std::vector<Item> items;

    ListOfFiles() = default;
    explicit ListOfFiles(std::vector<std::string> names) {
        for (auto& n : names) items.push_back({std::move(n), true});
    }
    std::size_t Count() const override { return items.size(); }
    bool IsSelected(std::size_t i) const override { return items[i].selected; }
    std::string Text(std::size_t i) const override { return items[i].text; }
};

// A host whose `onPump` plays the user (or the file system) acting between
// two lines of a pass.
class ScriptedRunHost : public RunHost {
  public:
    std::vector<std::string> fields{"Number", "X", "Y", "Z", "Code"};
    std::vector<std::string> code{"Layer"};
    FilePass* pass = nullptr;
    int passIndex = 0;  // 1 for the first pass
    int pumpsInPass = 0;
    bool progressShown = false;
    std::function<void(ScriptedRunHost&)> onPump;

    void SetProgressCaption(std::string_view) override {}
    void SetProgressPosition(int) override {}
    void PumpEvents() override {
        ++pumpsInPass;
        if (onPump) onPump(*this);
    }
    const std::vector<std::string>& ExportedDataFields() const override { return fields; }
    const std::vector<std::string>& CodeSequence() const override { return code; }
    std::uint64_t ListsGeneration() const override { return 0; }
    void ShowProgress() override { progressShown = true; }
    void HideProgress() override { progressShown = false; }
    void PassStarted(FilePass& p, const std::string&) override {
        pass = &p;
        ++passIndex;
        pumpsInPass = 0;
    }
    void PassEnded() override { pass = nullptr; }
};

// File descriptors this process holds open now.
int OpenDescriptorCount();

// Name -> content of every regular file in `folder`, to prove afterwards
// that none was touched.
std::map<std::string, std::string> FolderContents(const std::filesystem::path& folder);

// The report lines a pass adds after the path and its empty line: `pass`
// lines (warnings), then one count line per ticked type and an empty line.
RunReport ExpectedFileLines(const std::vector<std::string>& pass, const ExportSettings& settings,
                            const RunCounters& counters);

}  // namespace korvel::test
