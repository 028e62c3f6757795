// GeoJSON, GeoPackage and ESRI Shapefile data files through GDAL/OGR: one
// layer named after the file, a 3D point per record and its texts as string
// attributes (number, code, entity, layer, handle).
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "engine/point_output.h"
#include "output/gis_module.h"

namespace korvel {

// A sink writing the file at `path`, replacing one that is there (for a
// shapefile its .shx, .dbf, .prj and .cpg as well). `crs` is the system the
// coordinates are in, as the user gave it ("EPSG:25832", a PROJ string), or
// empty for none. A GeoJSON file with a system is written as RFC 7946 wants
// it: WGS 84 longitude and latitude. Throws a KorvelError when the file
// cannot be made or `crs` is no system GDAL knows. Texts that are not UTF-8
// are read as Latin-1. A record throws a PointRecordError for a point the
// form cannot hold (a text of more than 254 bytes in a shapefile). One sink
// serves one thread; sinks on different threads may write at the same time.
std::unique_ptr<RecordSink> CreateOgrSink(const std::filesystem::path& path, OgrForm form,
                                          const std::string& crs);

}  // namespace korvel
