#include "settings/program_layout.h"

#include <system_error>

#include "settings/whole_file.h"

namespace korvel {

namespace {

bool HoldsNameTable(const std::filesystem::path& folder) {
    std::error_code ec;
    return std::filesystem::is_regular_file(folder / "korvel.dat", ec) ||
           std::filesystem::is_regular_file(folder / "korvel2.dat", ec);
}

}  // namespace

ProgramLayout FindProgramLayout(const std::filesystem::path& programFolder) {
    if (HoldsNameTable(programFolder)) return {programFolder, programFolder, false};
    const std::filesystem::path shared =
        (programFolder / ".." / "share" / "korvel").lexically_normal();
    if (!programFolder.empty() && HoldsNameTable(shared))
        return {shared, (programFolder / ".." / KORVEL_MODULE_FOLDER).lexically_normal(), true};
    return {programFolder, programFolder, false};
}

void PrepareUserFolder(const ProgramLayout& layout, const std::filesystem::path& userFolder) {
    namespace fs = std::filesystem;
    const fs::path configurations = userFolder / "configurations";
    std::error_code ec;
    if (fs::is_directory(configurations, ec)) return;
    if (!fs::create_directories(configurations, ec) && ec)
        ThrowCannotCreateFile(configurations, ec.value());
    for (const fs::directory_entry& entry :
         fs::directory_iterator(layout.dataFolder / "configurations", ec)) {
        if (entry.path().extension() != ".krv") continue;
        std::error_code copyError;
        fs::copy_file(entry.path(), configurations / entry.path().filename(), copyError);
    }
}

}  // namespace korvel
