#include "output/gis_module.h"

#include <mutex>

#include "settings/korvel_error.h"
#ifdef KORVEL_HAVE_GDAL
#include <dlfcn.h>
#endif

namespace korvel {

namespace {

std::filesystem::path& ModuleFolder() {
    static std::filesystem::path folder;
    return folder;
}

}  // namespace

void UseGisModuleFolder(const std::filesystem::path& folder) {
    ModuleFolder() = folder;
}

const GisModule& LoadGisModule() {
    static const GisModule* loaded = nullptr;
    static std::string failure;
    static std::once_flag once;
    const std::filesystem::path path = ModuleFolder() / kGisModuleFile;
    std::call_once(once, [&] {
#ifdef KORVEL_HAVE_GDAL
        // Never unloaded: its sinks and transformations live as long as a run.
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            failure = dlerror();
            return;
        }
        using Entry = const GisModule* (*)();
        const auto entry = reinterpret_cast<Entry>(dlsym(module, kGisModuleEntry));
        if (entry == nullptr) {
            failure = dlerror();
            return;
        }
        loaded = entry();
#else
        failure = "this build has no GIS part";
#endif
    });
    if (loaded == nullptr)
        throw KorvelError("The GIS part of Korvel (" + path.string() +
                          ") cannot be loaded: " + failure);
    return *loaded;
}

}  // namespace korvel
