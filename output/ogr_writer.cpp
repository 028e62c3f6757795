#include "output/ogr_writer.h"

#include <cpl_error.h>
#include <gdal.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "engine/number_format.h"
#include "output/text_encoding.h"
#include "settings/korvel_error.h"

namespace korvel {
namespace {

void RegisterDrivers() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

// While one lives, GDAL's errors on this thread stay off the standard error;
// they are only kept for CPLGetLastErrorMsg. Handlers are per thread, so
// sinks on other threads are not disturbed.
class QuietGdal {
  public:
    QuietGdal() {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietGdal() { CPLPopErrorHandler(); }
    QuietGdal(const QuietGdal&) = delete;
    QuietGdal& operator=(const QuietGdal&) = delete;
};

std::string GdalMessage() {
    std::string message = CPLGetLastErrorMsg();
    if (message.empty()) message = "GDAL gave no reason";
    return message;
}

// GDAL takes file names in UTF-8 on every system.
std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

struct FormInfo {
    const char* driver;
    std::vector<std::string> layerOptions;
};

FormInfo Info(OgrForm form, bool hasCrs) {
    switch (form) {
        case OgrForm::GeoJson:
            // RFC 7946 holds WGS 84 longitude/latitude only; GDAL moves the
            // points into it. Its default of 7 places (about 1 cm) would
            // blunt surveyed points; 9 places keep a tenth of a millimetre.
            if (hasCrs) return {"GeoJSON", {"RFC7946=YES", "COORDINATE_PRECISION=9"}};
            // GDAL's default of 17 figures shows 499999.999 as
            // 499999.99900000001071; 15 give back the texts as written (the
            // data lines write 14 at most).
            return {"GeoJSON", {"SIGNIFICANT_FIGURES=15"}};
        case OgrForm::GeoPackage:
            return {"GPKG", {}};
        case OgrForm::Shapefile:
            return {"ESRI Shapefile", {"ENCODING=UTF-8"}};
    }
    return {"GeoJSON", {}};
}

// The files a new one at `path` replaces.
// The layer's name: the file's, its blanks and punctuation made "_", which
// GeoPackage refuses in a layer name.
std::string LayerName(const std::filesystem::path& path) {
    std::string name = Utf8(path.stem());
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x80 &&
            std::isalnum(static_cast<unsigned char>(c)) == 0)
            c = '_';
    return name.empty() ? std::string("points") : name;
}

std::vector<std::filesystem::path> OldFiles(const std::filesystem::path& path, OgrForm form) {
    std::vector<std::filesystem::path> files{path};
    if (form == OgrForm::GeoPackage) {
        // A journal left beside the old database would be played into the new one.
        for (const char* suffix : {"-journal", "-wal", "-shm"}) {
            std::filesystem::path side = path;
            side += suffix;
            files.push_back(side);
        }
    } else if (form == OgrForm::Shapefile) {
        for (const char* extension : {".shx", ".dbf", ".prj", ".cpg", ".qix", ".sbn", ".sbx",
                                      ".SHX", ".DBF", ".PRJ", ".CPG", ".QIX", ".SBN", ".SBX"}) {
            std::filesystem::path side = path;
            files.push_back(side.replace_extension(extension));
        }
    }
    return files;
}

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(GDALDataset::ToHandle(dataset)); }
};
struct FeatureDeleter {
    void operator()(OGRFeature* feature) const { OGRFeature::DestroyFeature(feature); }
};

// GeoPackage rows go in transactions of this many; a commit is far slower
// than a row.
constexpr long kRowsPerTransaction = 100000;

enum Field : int { kNumber, kCode, kEntity, kLayer, kHandle, kFieldCount };
// The attributes as the messages name them.
constexpr std::array<const char*, kFieldCount> kFieldTitles{"point number", "code", "entity type",
                                                            "layer name", "handle"};
// The most bytes of a text a shapefile's .dbf holds.
constexpr std::size_t kShapefileTextBytes = 254;

const char* FormTitle(OgrForm form) {
    switch (form) {
        case OgrForm::GeoJson:
            return "GeoJSON file";
        case OgrForm::GeoPackage:
            return "GeoPackage";
        case OgrForm::Shapefile:
            return "shapefile";
    }
    return "GIS file";
}

class OgrSink final : public RecordSink {
  public:
    OgrSink(const std::filesystem::path& path, OgrForm form, const std::string& crs);
    ~OgrSink() override { Abandon(); }
    OgrSink(const OgrSink&) = delete;
    OgrSink& operator=(const OgrSink&) = delete;

    void Record(const PointRecord& point) override;
    void Close() override;
    void Abandon() noexcept override;

  private:
    [[noreturn]] void CannotCreate(const std::string& why) const {
        throw KorvelError("Cannot create file \"" + pathText_ + "\". " + why);
    }
    [[noreturn]] void CannotWrite(const std::string& why) const {
        throw KorvelError("Cannot write file \"" + pathText_ + "\". " + why);
    }
    // " of point "12"" when the point has a number, for the messages about it.
    std::string OfPoint(const PointRecord& point) const;
    double Coordinate(std::string_view text, const char* axis, const PointRecord& point) const;
    void SetText(Field field, std::string_view text, bool present, const PointRecord& point);
    void Open(const std::filesystem::path& path, OgrForm form, const std::string& crs);
    // Commits and closes the file; GDAL's message when that failed, else empty.
    std::string Finish();

    std::string pathText_;
    OgrForm form_;
    std::unique_ptr<GDALDataset, DatasetCloser> dataset_;
    OGRLayer* layer_ = nullptr;
    std::unique_ptr<OGRFeature, FeatureDeleter> feature_;
    std::string text_;
    bool toWgs84_ = false;
    bool transactions_ = false;
    bool inTransaction_ = false;
    long rowsInTransaction_ = 0;
};

OgrSink::OgrSink(const std::filesystem::path& path, OgrForm form, const std::string& crs)
    : pathText_(path.string()), form_(form) {
    RegisterDrivers();
    QuietGdal quiet;
    try {
        Open(path, form, crs);
    } catch (...) {
        feature_.reset();
        const bool made = dataset_ != nullptr;
        dataset_.reset();
        // A file that could not be made whole is no data file.
        if (made) {
            std::error_code ec;
            for (const std::filesystem::path& file : OldFiles(path, form))
                std::filesystem::remove(file, ec);
        }
        throw;
    }
}

void OgrSink::Open(const std::filesystem::path& path, OgrForm form, const std::string& crs) {
    std::optional<OGRSpatialReference> srs;
    if (!crs.empty()) {
        srs.emplace();
        // Neither a URL nor a file is fetched for a system's text.
        if (srs->SetFromUserInput(crs.c_str(),
                                  OGRSpatialReference::SET_FROM_USER_INPUT_LIMITATIONS_get()) !=
            OGRERR_NONE)
            CannotCreate("\"" + crs + "\" is no coordinate system GDAL knows");
        srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    } else if (form == OgrForm::GeoPackage) {
        // Without one GDAL files the points under srs_id 0, "undefined
        // geographic"; this name it files under -1, "undefined Cartesian".
        srs.emplace();
        srs->SetLocalCS("Undefined Cartesian SRS");
        srs->SetLinearUnits(SRS_UL_METER, 1.0);
    }
    if (form == OgrForm::Shapefile && Lower(path.extension().string()) != ".shp")
        CannotCreate("The name of a shapefile must end in .shp");

    const FormInfo info = Info(form, !crs.empty());
    toWgs84_ = form == OgrForm::GeoJson && !crs.empty();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(info.driver);
    if (driver == nullptr) CannotCreate(std::string("GDAL has no driver ") + info.driver);

    for (const std::filesystem::path& old : OldFiles(path, form)) {
        std::error_code ec;
        const auto status = std::filesystem::symlink_status(old, ec);
        if (ec || !std::filesystem::exists(status) || std::filesystem::is_directory(status))
            continue;
        if (!std::filesystem::remove(old, ec) && ec) CannotCreate(SystemErrorText(ec.value()));
    }

    dataset_.reset(driver->Create(Utf8(path).c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!dataset_) CannotCreate(GdalMessage());

    std::vector<const char*> options;
    for (const std::string& option : info.layerOptions) options.push_back(option.c_str());
    options.push_back(nullptr);
    layer_ = dataset_->CreateLayer(LayerName(path).c_str(), srs ? &*srs : nullptr, wkbPoint25D,
                                   const_cast<char**>(options.data()));
    if (layer_ == nullptr) CannotCreate(GdalMessage());

    // Shapefile widths grow as longer texts come; these fit most drawings
    // without a regrowth of the .dbf.
    static constexpr std::array<std::pair<const char*, int>, kFieldCount> kFields{
        {{"number", 16}, {"code", 32}, {"entity", 16}, {"layer", 32}, {"handle", 16}}};
    for (const auto& [name, width] : kFields) {
        OGRFieldDefn definition(name, OFTString);
        if (form == OgrForm::Shapefile) definition.SetWidth(width);
        if (layer_->CreateField(&definition) != OGRERR_NONE) CannotCreate(GdalMessage());
    }

    feature_.reset(OGRFeature::CreateFeature(layer_->GetLayerDefn()));
    feature_->SetGeometryDirectly(new OGRPoint(0.0, 0.0, 0.0));

    transactions_ = form == OgrForm::GeoPackage;
    if (transactions_) {
        if (dataset_->StartTransaction() != OGRERR_NONE) CannotCreate(GdalMessage());
        inTransaction_ = true;
    }
}

std::string OgrSink::OfPoint(const PointRecord& point) const {
    if (!point.hasNumber || point.number.empty()) return {};
    std::string number;
    AssignUtf8(number, point.number);
    return " of point \"" + number + "\"";
}

double OgrSink::Coordinate(std::string_view text, const char* axis,
                           const PointRecord& point) const {
    const std::optional<double> value = NumberValue(text);
    if (value && std::isfinite(*value)) return *value;
    // The data lines take numbers beyond a double's range; these forms cannot.
    if (IsNumberText(text))
        throw PointRecordError(std::string("The ") + axis + " coordinate " + std::string(text) +
                               OfPoint(point) + " does not fit a " + FormTitle(form_));
    throw PointRecordError("'" + std::string(text) + "' is not a valid floating point value");
}

void OgrSink::SetText(Field field, std::string_view text, bool present, const PointRecord& point) {
    if (!present) {
        feature_->SetFieldNull(field);
        return;
    }
    AssignUtf8(text_, text);
    // GDAL would cut the text short and only warn.
    if (form_ == OgrForm::Shapefile && text_.size() > kShapefileTextBytes) {
        throw PointRecordError(std::string("The ") + kFieldTitles[static_cast<std::size_t>(field)] +
                               " \"" + text_ + "\"" +
                               (field == kNumber ? std::string() : OfPoint(point)) + " has " +
                               std::to_string(text_.size()) + " bytes; a shapefile holds " +
                               std::to_string(kShapefileTextBytes));
    }
    feature_->SetField(field, text_.c_str());
}

void OgrSink::Record(const PointRecord& point) {
    if (!dataset_) CannotWrite("The file is closed");
    const double x = Coordinate(point.x, "X", point), y = Coordinate(point.y, "Y", point),
                 z = Coordinate(point.z, "Z", point);
    QuietGdal quiet;

    SetText(kNumber, point.number, point.hasNumber, point);
    SetText(kCode, point.code, point.hasCode, point);
    SetText(kEntity, point.entityType, true, point);
    SetText(kLayer, point.layer, true, point);
    SetText(kHandle, point.handle, true, point);
    OGRGeometry* geometry = feature_->GetGeometryRef();
    if (geometry == nullptr || wkbFlatten(geometry->getGeometryType()) != wkbPoint) {
        feature_->SetGeometryDirectly(new OGRPoint(x, y, z));
    } else {
        OGRPoint* p = geometry->toPoint();
        p->setX(x);
        p->setY(y);
        p->setZ(z);
    }
    // The feature is reused: without this a second row would take the first one's id.
    feature_->SetFID(OGRNullFID);
    if (layer_->CreateFeature(feature_.get()) != OGRERR_NONE) {
        // The GeoJSON driver fails a feature only when it cannot move it.
        if (toWgs84_) {
            std::string number;
            AssignUtf8(number, point.number);
            const bool named = point.hasNumber && !number.empty();
            throw PointRecordError((named ? "Point \"" + number + "\"" : std::string("The point")) +
                                   " at " + std::string(point.x) + " " + std::string(point.y) +
                                   " cannot be moved into WGS 84: " + GdalMessage());
        }
        CannotWrite(GdalMessage());
    }

    if (transactions_ && ++rowsInTransaction_ == kRowsPerTransaction) {
        rowsInTransaction_ = 0;
        inTransaction_ = false;
        if (dataset_->CommitTransaction() != OGRERR_NONE) CannotWrite(GdalMessage());
        if (dataset_->StartTransaction() != OGRERR_NONE) CannotWrite(GdalMessage());
        inTransaction_ = true;
    }
}

std::string OgrSink::Finish() {
    std::string error;
    feature_.reset();
    layer_ = nullptr;
    if (inTransaction_) {
        inTransaction_ = false;
        if (dataset_->CommitTransaction() != OGRERR_NONE) error = GdalMessage();
    }
    // GDALClose reports nothing but through the last error.
    CPLErrorReset();
    dataset_.reset();
    if (error.empty() && CPLGetLastErrorType() >= CE_Failure) error = GdalMessage();
    return error;
}

void OgrSink::Close() {
    if (!dataset_) return;
    QuietGdal quiet;
    const std::string error = Finish();
    if (!error.empty()) CannotWrite(error);
}

void OgrSink::Abandon() noexcept {
    if (!dataset_) return;
    try {
        QuietGdal quiet;
        Finish();
    } catch (...) {
        // Nothing is left to do about it.
    }
}

}  // namespace

std::unique_ptr<RecordSink> CreateOgrSink(const std::filesystem::path& path, OgrForm form,
                                          const std::string& crs) {
    return std::make_unique<OgrSink>(path, form, crs);
}

}  // namespace korvel
