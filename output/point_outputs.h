// The forms a data file may take and the coordinate systems of a run: what
// the window and korvel-cli hand the pass (engine/point_output.h).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/point_output.h"
#include "settings/extended_options.h"

namespace korvel {

enum class OutputFormat { Text, Csv, GeoJson, GeoPackage, Shapefile, LandXml, Gsi16 };

struct OutputFormatInfo {
    OutputFormat format;
    std::string_view name;       // as the options file and --format write it
    std::string_view extension;  // of its data files, unless the user set one
    std::string_view title;      // as the window and the report show it
};

// The forms this build writes, in the order the window lists them.
const std::vector<OutputFormatInfo>& OutputFormats();
// The form named `name`, when this build writes it.
const OutputFormatInfo* FindOutputFormat(std::string_view name);

// The extension of the data files: the record's own for the text lines; for
// another form the form's, unless the record's was set to something other
// than the text lines' default.
std::string DataFileExtension(const OutputOptions& options, std::string_view recordExtension);

// What a run writes, checked before any file is: an unknown form, an unknown
// coordinate system or a transformation that cannot be made (a grid file not
// installed) throws a KorvelError saying so. None when the run writes the
// text lines in the drawing's own coordinates.
std::unique_ptr<PointOutput> MakePointOutput(const OutputOptions& options);

// The lines the run report opens with for these options: the form, the
// systems and the transformation; none for the text lines and no systems.
std::vector<std::string> OutputReportLines(const OutputOptions& options);

}  // namespace korvel
