#include "reliability_support.h"

#include "support/test_support.h"

namespace korvel::test {

int OpenDescriptorCount() {
    int n = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd");
         it != std::filesystem::directory_iterator(); ++it)
        ++n;
    return n;
}

std::map<std::string, std::string> FolderContents(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (auto& e : std::filesystem::directory_iterator(folder))
        if (e.is_regular_file()) files[e.path().filename().string()] = ReadFile(e.path());
    return files;
}

RunReport ExpectedFileLines(const std::vector<std::string>& pass, const ExportSettings& settings,
                            const RunCounters& counters) {
    RunReport lines(pass.begin(), pass.end());
    AppendFileCounts(lines, settings, counters);
    return lines;
}

}  // namespace korvel::test
