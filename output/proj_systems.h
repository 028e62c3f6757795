// Coordinate systems and the transformation between them, through PROJ.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/point_output.h"
#include "output/gis_module.h"

namespace korvel {

// The systems of a run and the one operation that moves points from the
// source into the target. Made once per run; CreateTransform may be called
// from several threads at once.
class CoordinateSystems final : public SystemsPair {
  public:
    // `source` and `target` are anything PROJ takes for a system: EPSG codes
    // ("EPSG:25832"), PROJ strings, WKT, names. Throws a KorvelError for an
    // empty, unknown or invalid system (naming which one and what was given),
    // when PROJ knows no transformation between them, and when the best
    // transformation needs a grid file that is not installed (naming the file
    // and the transformation).
    CoordinateSystems(const std::string& source, const std::string& target);

    // The lines of the run report:
    //   "Source coordinate system: EPSG:31467 (DHDN / 3-degree Gauss-Kruger zone 3)"
    //   "Target coordinate system: EPSG:25832 (ETRS89 / UTM zone 32N)"
    //   "Transformation: <name of the operation>, accuracy 1 m" (or "accuracy unknown")
    std::vector<std::string> ReportLines() const override;

    // A transformation for one thread. X is the easting (longitude), Y the
    // northing (latitude), whatever the axis order of the systems. Z is
    // moved when both systems are three-dimensional and stays as it is
    // otherwise.
    std::unique_ptr<CoordinateTransform> CreateTransform() const override;

  private:
    std::string sourceLabel_, targetLabel_;  // as the report names them
    std::string targetShort_;                // as the point errors name it
    std::string operationName_;
    double accuracy_ = -1;  // metres; negative when unknown
    // The operation as PROJ carries it out, easting first on both sides.
    std::string pipeline_;
    bool sourceHasZ_ = false, moveZ_ = false;
};

// The name of a system for showing it, e.g. "EPSG:25832 (ETRS89 / UTM zone
// 32N)". Throws "Unknown coordinate system: <definition>" when PROJ does not
// know it as one.
std::string CoordinateSystemName(const std::string& definition);

}  // namespace korvel
