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

#include "run/file_list_run.h"
#include "run/run_report.h"
#include "support/scripted_run_host.h"

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
