#include "output/point_outputs.h"

#include <optional>
#include <string>

#include "output/csv_writer.h"
#include "output/gis_module.h"
#include "output/gsi_writer.h"
#include "output/landxml_writer.h"
#include "settings/korvel_error.h"

namespace korvel {

namespace {

#ifdef KORVEL_HAVE_GDAL
constexpr bool kHaveGdal = true;
#else
constexpr bool kHaveGdal = false;
#endif

class RunOutput final : public PointOutput {
  public:
    explicit RunOutput(const OutputOptions& options)
        : options_(options), format_(FindOutputFormat(options.format)->format) {
        if (Moves()) systems_ = LoadGisModule().makeSystems(options.sourceCrs, options.targetCrs);
    }

    std::unique_ptr<RecordSink> CreateSink(
        const std::filesystem::path& path,
        const std::vector<std::string>& fieldNames) const override {
        switch (format_) {
            case OutputFormat::Text:
                return nullptr;
            case OutputFormat::Csv:
                return CreateCsvSink(path, fieldNames);
            case OutputFormat::LandXml:
                return CreateLandXmlSink(path);
            case OutputFormat::Gsi16:
                return CreateGsiSink(path);
            case OutputFormat::GeoJson:
            case OutputFormat::GeoPackage:
            case OutputFormat::Shapefile:
                break;
        }
        const OgrForm form = format_ == OutputFormat::GeoJson      ? OgrForm::GeoJson
                             : format_ == OutputFormat::GeoPackage ? OgrForm::GeoPackage
                                                                   : OgrForm::Shapefile;
        return LoadGisModule().createOgrSink(path, form, DataSystem());
    }

    std::unique_ptr<RecordSink> CreateStreamSink(
        FileSink& out, const std::vector<std::string>& fieldNames) const override {
        switch (format_) {
            case OutputFormat::Text:
                return nullptr;
            case OutputFormat::Csv:
                return CreateCsvStreamSink(out, fieldNames);
            default:
                throw KorvelError("The " + std::string(FindOutputFormat(options_.format)->title) +
                                  " form cannot be written to standard output");
        }
    }

    std::unique_ptr<CoordinateTransform> CreateTransform() const override {
        return systems_ ? systems_->CreateTransform() : nullptr;
    }

    std::vector<std::string> ReportLines() const override {
        std::vector<std::string> lines{"Data file format: " +
                                       std::string(FindOutputFormat(options_.format)->title)};
        if (systems_)
            for (std::string& line : systems_->ReportLines()) lines.push_back(std::move(line));
        // One system alone moves nothing; it names what the coordinates are in.
        if (!Moves() && !DataSystem().empty())
            lines.push_back("Coordinate system (coordinates not moved): " + DataSystem());
        if (format_ == OutputFormat::GeoJson && !DataSystem().empty())
            lines.emplace_back("GeoJSON coordinates: WGS 84 longitude and latitude (RFC 7946)");
        return lines;
    }

  private:
    bool Moves() const { return !options_.sourceCrs.empty() && !options_.targetCrs.empty(); }
    // The system the written coordinates are in, as the user gave it.
    std::string DataSystem() const {
        return options_.targetCrs.empty() ? options_.sourceCrs : options_.targetCrs;
    }

    OutputOptions options_;
    OutputFormat format_;
    std::unique_ptr<SystemsPair> systems_;
};

}  // namespace

std::vector<OutputFormatInfo> AvailableOutputFormats() {
    std::vector<OutputFormatInfo> formats;
    for (const OutputFormatInfo& info : AllOutputFormats())
        if (kHaveGdal || !info.needsGdal) formats.push_back(info);
    return formats;
}

bool CoordinateSystemsAvailable() {
    return kHaveGdal;
}

std::unique_ptr<PointOutput> MakePointOutput(const OutputOptions& options) {
    const OutputFormatInfo* info = FindOutputFormat(options.format);
    if (info == nullptr) {
        std::string names;
        for (const OutputFormatInfo& format : AvailableOutputFormats())
            names += (names.empty() ? "" : ", ") + std::string(format.name);
        throw KorvelError("Unknown data file format \"" + options.format + "\"; the formats are " +
                          names);
    }
    if (info->needsGdal && !kHaveGdal)
        throw KorvelError("This build of Korvel does not write the " + std::string(info->title) +
                          " format");
    const bool systems = !options.sourceCrs.empty() || !options.targetCrs.empty();
    if (systems && !kHaveGdal)
        throw KorvelError("This build of Korvel does not move coordinates between systems");
    if (info->format == OutputFormat::Text && !systems) return nullptr;
    return std::make_unique<RunOutput>(options);
}

}  // namespace korvel
