#include "reliability_support.h"

#include "support/test_support.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace korvel::test {

#ifdef _WIN32
// Neither Windows nor wine lists a process's handles; a handle left open
// shows as a file below the tests' temporary folders that cannot be opened
// without sharing.
int OpenDescriptorCount() {
    namespace fs = std::filesystem;
    int n = 0;
    std::error_code ec;
    for (const fs::directory_entry& folder :
         fs::directory_iterator(fs::temp_directory_path(), ec)) {
        if (!folder.path().filename().string().starts_with("korvel-test-")) continue;
        for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder.path(), ec)) {
            if (!e.is_regular_file(ec)) continue;
            const HANDLE file =
                CreateFileW(e.path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE)
                ++n;
            else
                CloseHandle(file);
        }
    }
    return n;
}
#else
int OpenDescriptorCount() {
    int n = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd");
         it != std::filesystem::directory_iterator(); ++it)
        ++n;
    return n;
}
#endif

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
