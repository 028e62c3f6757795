// Data files in forms other than the text lines (CSV, GIS, survey formats),
// and coordinates moved into another system before they are laid out. The
// pass sees only these interfaces; the formats and the coordinate systems
// are made by the output part, which links the libraries they need.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "settings/export_settings.h"
#include "settings/korvel_error.h"

namespace korvel {

class FileSink;

// Where one field stands in a laid-out line: its prefix from `begin`, its
// value from `valueBegin`, up to `end` (bytes).
struct FieldSpan {
    std::uint32_t begin = 0, valueBegin = 0, end = 0;
};

// The exported fields of one line in the order they stand.
struct LineFields {
    static constexpr std::size_t kMost = 8;
    std::array<DataFieldKind, kMost> kind{};
    std::array<FieldSpan, kMost> span{};
    std::size_t count = 0;
};

// One point as a data file of another form takes it: the texts exactly as
// the text line shows them.
struct PointRecord {
    std::string_view line;  // the text line, without CR LF
    const LineFields* fields = nullptr;
    // The Number and the Code fields as written, their prefixes included;
    // `hasNumber` / `hasCode` false when the field is not exported.
    std::string_view number, code;
    bool hasNumber = false, hasCode = false;
    // The coordinates written with their decimals, without prefixes, also
    // when their field is not exported. Z is the forced Z when Z is forced.
    std::string_view x, y, z;
    // What the point's entity is: its type's name as the drawing writes it
    // ("POINT", "LWPOLYLINE", ...), its layer and its handle.
    std::string_view entityType, layer, handle;
};

// A point that a form cannot hold (a number too long for it, say); the pass
// names the drawing line of the point with it.
class PointRecordError : public KorvelError {
  public:
    using KorvelError::KorvelError;
};

// A data file of another form. Records come in the order of the text
// lines. A point the form cannot hold throws a PointRecordError; any other
// failure (the file) a KorvelError whose text names what failed.
class RecordSink {
  public:
    virtual ~RecordSink() = default;
    virtual void Record(const PointRecord& point) = 0;
    // Completes the file; throws when it cannot be completed.
    virtual void Close() = 0;
    // After an error that ends the pass: the points recorded so far are
    // completed into a file as well as can be; nothing is thrown.
    virtual void Abandon() noexcept = 0;
};

// Moves coordinates from one system into another; X is the easting or the
// longitude, Y the northing or the latitude. Throws a KorvelError for a
// point that cannot be moved. One object serves one thread.
class CoordinateTransform {
  public:
    virtual ~CoordinateTransform() = default;
    virtual void Transform(double& x, double& y, double& z) = 0;
};

// What a run writes: made once per run, used by every pass of it, from any
// thread.
class PointOutput {
  public:
    virtual ~PointOutput() = default;
    // A sink for the data file at `path`, or none for the text lines.
    // `fieldNames` are the names of the exported fields in their order.
    virtual std::unique_ptr<RecordSink> CreateSink(
        const std::filesystem::path& path, const std::vector<std::string>& fieldNames) const = 0;
    // The same into an open sink (standard output); none for the text lines.
    // Throws for a form that cannot be streamed.
    virtual std::unique_ptr<RecordSink> CreateStreamSink(
        FileSink& out, const std::vector<std::string>& fieldNames) const = 0;
    // The transformation for one pass; none when the coordinates stay.
    virtual std::unique_ptr<CoordinateTransform> CreateTransform() const = 0;
    // What the run report says of the form and the systems, after its
    // date-time line.
    virtual std::vector<std::string> ReportLines() const = 0;
};

}  // namespace korvel
