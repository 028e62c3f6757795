// The forms a data file may take: their names, extensions and titles.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/extended_options.h"

namespace korvel {

enum class OutputFormat { Text, Csv, GeoJson, GeoPackage, Shapefile, LandXml, Gsi16 };

struct OutputFormatInfo {
    OutputFormat format;
    std::string_view name;       // as the options file and --format write it
    std::string_view extension;  // of its data files, unless the user set one
    std::string_view title;      // as the window and the report show it
    bool needsGdal;              // written through GDAL, which a build may leave out
};

// Every form, in the order the window lists them.
const std::vector<OutputFormatInfo>& AllOutputFormats();
// The form named `name`; none for an unknown name.
const OutputFormatInfo* FindOutputFormat(std::string_view name);

// The extension of the data files: the record's own for the text lines; for
// another form the one the options give, or else the form's own.
std::string DataFileExtension(const OutputOptions& options, std::string_view recordExtension);

}  // namespace korvel
