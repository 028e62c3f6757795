// LandXML 1.2 data files: the points as CgPoints, as civil design programs
// read them.
#pragma once

#include <filesystem>
#include <memory>

#include "engine/point_output.h"

namespace korvel {

// A LandXML file at `path`, made now: the declaration, the root with the
// date and time of now, metric Units, the Application (Korvel) and one
// CgPoints with a CgPoint per record,
//   <CgPoint name="<number>" code="<code>">northing easting height</CgPoint>
// the coordinates as their texts are written. The name is left out when the
// record has no number or an empty one, the code likewise. Texts that are
// not UTF-8 are read as Latin-1. A number or code with a control character
// throws a PointRecordError naming the point: XML would not give it back.
// The file is written as the points come; Abandon closes the elements, so
// that what was written is a whole document.
std::unique_ptr<RecordSink> CreateLandXmlSink(const std::filesystem::path& path);

}  // namespace korvel
