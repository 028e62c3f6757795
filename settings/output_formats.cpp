#include "settings/output_formats.h"

namespace korvel {

const std::vector<OutputFormatInfo>& AllOutputFormats() {
    static const std::vector<OutputFormatInfo> formats{
        {OutputFormat::Text, "text", "txt", "Text lines", false},
        {OutputFormat::Csv, "csv", "csv", "CSV with a header", false},
        {OutputFormat::GeoJson, "geojson", "geojson", "GeoJSON", true},
        {OutputFormat::GeoPackage, "gpkg", "gpkg", "GeoPackage", true},
        {OutputFormat::Shapefile, "shp", "shp", "Shapefile", true},
        {OutputFormat::LandXml, "landxml", "xml", "LandXML 1.2", false},
        {OutputFormat::Gsi16, "gsi16", "gsi", "Leica GSI-16", false},
    };
    return formats;
}

const OutputFormatInfo* FindOutputFormat(std::string_view name) {
    for (const OutputFormatInfo& info : AllOutputFormats())
        if (info.name == name) return &info;
    return nullptr;
}

std::string DataFileExtension(const OutputOptions& options, std::string_view recordExtension) {
    const OutputFormatInfo* info = FindOutputFormat(options.format);
    if (info == nullptr || info->format == OutputFormat::Text) return std::string(recordExtension);
    return std::string(options.extension.empty() ? info->extension : options.extension);
}

}  // namespace korvel
