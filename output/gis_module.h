// The GIS part of the output: GeoJSON, GeoPackage and shapefiles through GDAL,
// coordinate systems through PROJ. It is a module of its own, korvel-gis.so,
// loaded when a run first needs it, so that korvel-cli and the window start
// without GDAL, PROJ and the hundred libraries they bring along, and a run
// in the text lines stays as quick and as small as it was.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/point_output.h"

namespace korvel {

enum class OgrForm { GeoJson, GeoPackage, Shapefile };

// The systems of a run and the transformation between them.
class SystemsPair {
  public:
    virtual ~SystemsPair() = default;
    // What the run report says of them.
    virtual std::vector<std::string> ReportLines() const = 0;
    // A transformation for one thread.
    virtual std::unique_ptr<CoordinateTransform> CreateTransform() const = 0;
};

// What the module gives. Its errors are KorvelErrors, as everywhere.
struct GisModule {
    std::unique_ptr<RecordSink> (*createOgrSink)(const std::filesystem::path& path, OgrForm form,
                                                 const std::string& crs);
    std::unique_ptr<SystemsPair> (*makeSystems)(const std::string& source,
                                                const std::string& target);
};

// The module's one exported function, returning its GisModule.
inline constexpr const char* kGisModuleEntry = "korvel_gis_module";
inline constexpr const char* kGisModuleFile = "korvel-gis.so";

// Where the module lies (ProgramLayout::moduleFolder); set once at start.
void UseGisModuleFolder(const std::filesystem::path& folder);

// The module, loaded at the first call. Throws "The GIS part of Korvel
// (<path>) cannot be loaded: <reason>" when it cannot be.
const GisModule& LoadGisModule();

}  // namespace korvel
