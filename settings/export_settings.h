// The export layout: one 404-byte record that is also the whole content of a
// *.krv configuration file.
//
// The working values are kept inside the image itself. Every editor writes
// straight into these bytes, so the image always equals the working values
// and the bytes behind a shortened string keep what they held before, which
// the change check relies on.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/extended_options.h"

namespace korvel {

inline constexpr std::size_t kSettingsImageSize = 404;
using SettingsImage = std::array<std::uint8_t, kSettingsImageSize>;

// Length-prefixed single-byte string of a fixed capacity.
struct ShortStringField {
    std::size_t offset;
    std::size_t capacity;
};
struct Int32Field {
    std::size_t offset;
};
struct BoolField {
    std::size_t offset;
};

// Field places in the image. The order of the entity flags is the byte order
// stored in files, not the order of the check boxes on screen.
namespace field {
inline constexpr ShortStringField FieldSeparator{0, 10};
inline constexpr ShortStringField FileExtension{11, 10};
inline constexpr BoolField ProcessPoints{22};
inline constexpr BoolField Process2DPolylines{23};
inline constexpr BoolField Process3DPolylines{24};
inline constexpr BoolField ProcessLines{25};
inline constexpr BoolField Include2DPolylineExtraPoints{26};
inline constexpr BoolField Include3DPolylineExtraPoints{27};
inline constexpr BoolField ProcessSplines{28};
inline constexpr BoolField IncludeSplineFitPoints{29};
inline constexpr BoolField ProcessCircles{30};
inline constexpr BoolField ProcessArcs{31};
inline constexpr BoolField ProcessEllipses{32};
inline constexpr BoolField ProcessBlocks{33};
inline constexpr BoolField ProcessText{34};
inline constexpr BoolField ProcessMText{35};
inline constexpr Int32Field DataFieldMask{36};
inline constexpr ShortStringField NumberPrefix{40, 50};
inline constexpr Int32Field StartNumber{92};
inline constexpr ShortStringField XPrefix{96, 50};
inline constexpr Int32Field XDecimals{148};
inline constexpr ShortStringField YPrefix{152, 50};
inline constexpr Int32Field YDecimals{204};
inline constexpr ShortStringField ZPrefix{208, 50};
inline constexpr Int32Field ZDecimals{260};
inline constexpr BoolField ForceZ{264};
inline constexpr ShortStringField ForcedZValue{265, 10};
inline constexpr ShortStringField CodePrefix{276, 50};
inline constexpr ShortStringField CodeSeparator{327, 10};
inline constexpr Int32Field CodeElementMask{340};
inline constexpr Int32Field CounterStart{344};
inline constexpr Int32Field EntityNumberStart{348};
inline constexpr ShortStringField LabelText{352, 50};
}  // namespace field

// The data fields and code elements by index, as their mask bits number them.
enum class DataFieldKind : int { Number = 0, X = 1, Y = 2, Z = 3, Code = 4 };
inline constexpr int kDataFieldCount = 5;
enum class CodeElementKind : int {
    EntityType = 0,
    Layer = 1,
    Handle = 2,
    BlockName = 3,
    Text = 4,
    Label = 5,
    Counter = 6,
    EntityNumber = 7,
};
inline constexpr int kCodeElementCount = 8;

class ExportSettings {
  public:
    SettingsImage image{};

    // A length byte above the capacity (possible in a loaded file) is read as
    // the capacity, so a value never reaches past its own block.
    std::string_view Get(ShortStringField f) const {
        std::size_t n = image[f.offset];
        if (n > f.capacity) n = f.capacity;
        return {reinterpret_cast<const char*>(image.data()) + f.offset + 1, n};
    }
    // Stores the length byte and the characters, cut to the capacity by bytes.
    // The bytes behind the new length keep their old content.
    constexpr void Set(ShortStringField f, std::string_view value) {
        const std::size_t n = std::min(value.size(), f.capacity);
        image[f.offset] = static_cast<std::uint8_t>(n);
        std::copy_n(value.begin(), n, image.begin() + static_cast<std::ptrdiff_t>(f.offset + 1));
    }

    constexpr std::int32_t Get(Int32Field f) const {
        std::uint32_t v = std::uint32_t(image[f.offset]) | std::uint32_t(image[f.offset + 1]) << 8 |
                          std::uint32_t(image[f.offset + 2]) << 16 |
                          std::uint32_t(image[f.offset + 3]) << 24;
        return static_cast<std::int32_t>(v);
    }
    // Little-endian, as the files store it.
    constexpr void Set(Int32Field f, std::int32_t value) {
        const auto v = static_cast<std::uint32_t>(value);
        image[f.offset] = static_cast<std::uint8_t>(v);
        image[f.offset + 1] = static_cast<std::uint8_t>(v >> 8);
        image[f.offset + 2] = static_cast<std::uint8_t>(v >> 16);
        image[f.offset + 3] = static_cast<std::uint8_t>(v >> 24);
    }

    // The raw byte: editors store 0 or 1 only, loaded files may hold others.
    constexpr std::uint8_t Raw(BoolField f) const { return image[f.offset]; }
    constexpr bool Get(BoolField f) const { return image[f.offset] != 0; }
    constexpr void Set(BoolField f, bool value) { image[f.offset] = value ? 1 : 0; }
};

// The image of the defaults, byte for byte. The compiler evaluates it: no
// code builds it at run time, so no optimiser can get it wrong (GCC 12 at
// plain -O2 once built this image as zeros).
inline constexpr SettingsImage kDefaultSettingsImage = [] {
    ExportSettings s;  // all zero
    s.Set(field::FieldSeparator, ",");
    s.Set(field::FileExtension, "txt");
    s.Set(field::ProcessPoints, true);
    s.Set(field::Process2DPolylines, true);
    s.Set(field::Process3DPolylines, true);
    s.Set(field::ProcessLines, true);
    s.Set(field::Include2DPolylineExtraPoints, true);
    s.Set(field::Include3DPolylineExtraPoints, true);
    s.Set(field::DataFieldMask, 31);
    s.Set(field::StartNumber, 1);
    s.Set(field::XDecimals, 3);
    s.Set(field::YDecimals, 3);
    s.Set(field::ZDecimals, 3);
    s.Set(field::CodeSeparator, ",");
    s.Set(field::CodeElementMask, 2);
    s.Set(field::CounterStart, 1);
    s.Set(field::EntityNumberStart, 1);
    return s.image;
}();
inline SettingsImage DefaultSettingsImage() {
    return kDefaultSettingsImage;
}

// The settings record and the options beside it, with their snapshot for
// change detection.
class Configuration {
  public:
    ExportSettings settings;
    SettingsImage snapshot{};
    ExtendedOptions options;
    ExtendedOptions optionsSnapshot;

    // Defaults into the image and the snapshot, every option off: the
    // configuration counts as unchanged.
    void SetDefaultSettings();
    void TakeSnapshot() {
        snapshot = settings.image;
        optionsSnapshot = options;
    }
    bool Changed() const { return snapshot != settings.image || optionsSnapshot != options; }

    // Reads the options file beside `path` (every option off without one),
    // then at most 404 bytes over the image (a short file replaces only its
    // leading bytes), calls `show` (the window refreshes its editors there)
    // and takes the snapshot. Nothing is checked. A file that cannot be
    // opened throws "Cannot open file "<path>". <reason>", an options file
    // that cannot be read "Cannot read options file ...", and nothing changes.
    template <typename ShowFn>
    void LoadConfigurationFile(const std::filesystem::path& path, ShowFn&& show) {
        ExtendedOptions loaded = ReadExtendedOptions(ExtendedOptionsPath(path));
        ReadImageFile(path);
        options = std::move(loaded);
        show();
        TakeSnapshot();
    }
    void LoadConfigurationFile(const std::filesystem::path& path) {
        LoadConfigurationFile(path, [] {});
    }

    // Writes the 404 bytes of the image, then the options file beside it
    // (removed when every option is off); throws "Cannot create file
    // "<path>". <reason>". The snapshot is the caller's to take after a
    // successful save.
    void WriteConfigurationFile(const std::filesystem::path& path);

  private:
    void ReadImageFile(const std::filesystem::path& path);
};

// Name tables: DataFieldNames (five entries, korvel2.dat) and CodeElementNames
// (eight entries, korvel.dat).
struct NameTables {
    std::vector<std::string> dataFieldNames;
    std::vector<std::string> codeElementNames;
};

// The names shipped with the program, used when a side file is missing or short.
NameTables ShippedNameTables();

// Lines of a side file: CR LF, lone CR or lone LF end a line; blanks are kept.
std::vector<std::string> SplitNameTableLines(std::string_view content);

// Reads `count` entries from a side file. Returns false (leaving `names`
// untouched) when the file cannot be read or holds fewer lines.
bool ReadNameTable(const std::filesystem::path& path, std::size_t count,
                   std::vector<std::string>& names);

// korvel.dat and korvel2.dat from `folder`, each falling back to the shipped names.
NameTables LoadNameTables(const std::filesystem::path& folder);

// Every field by the name the CLI and the help use ("XDecimals", "ProcessSplines", ...).
struct NamedField {
    std::string_view name;
    enum class Kind { ShortString, Int32, Bool } kind;
    std::size_t offset;
    std::size_t capacity;  // short strings only
};
std::span<const NamedField> AllNamedFields();
const NamedField* FindNamedField(std::string_view name);

}  // namespace korvel
