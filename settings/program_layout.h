// Where the program finds its shipped files: beside itself (a build folder or
// an unpacked copy), or under share/korvel/ beside its bin/ folder once
// installed; then the files it writes belong to the user instead.
#pragma once

#include <filesystem>

namespace korvel {

struct ProgramLayout {
    // The name tables, the user guide and the shipped configurations.
    std::filesystem::path dataFolder;
    // The modules loaded when needed (the GIS part): beside the program, or
    // under lib/.../korvel/ beside its bin/ folder once installed.
    std::filesystem::path moduleFolder;
    // korvel.ini, the run report and the configurations go to the user's own
    // data folder, not beside the program.
    bool installed = false;
};

// `programFolder` itself while a name table lies beside the program (as in
// the build folder); otherwise <programFolder>/../share/korvel when that holds
// one; otherwise `programFolder`, where the shipped names then serve.
ProgramLayout FindProgramLayout(const std::filesystem::path& programFolder);

// Makes `userFolder` and its configurations folder. A configurations folder
// made now gets copies of the shipped *.krv files of `layout`; one that
// exists is left as the user keeps it. Throws "Cannot create file ..." when
// a folder cannot be made; a configuration that cannot be copied is skipped.
void PrepareUserFolder(const ProgramLayout& layout, const std::filesystem::path& userFolder);

}  // namespace korvel
