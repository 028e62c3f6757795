// The entry of the GIS module (output/gis_module.h).
#include "output/gis_module.h"
#include "output/ogr_writer.h"
#include "output/proj_systems.h"

namespace {

std::unique_ptr<korvel::SystemsPair> MakeSystems(const std::string& source,
                                                 const std::string& target) {
    return std::make_unique<korvel::CoordinateSystems>(source, target);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const korvel::GisModule* korvel_gis_module() {
    static const korvel::GisModule module{&korvel::CreateOgrSink, &MakeSystems};
    return &module;
}
