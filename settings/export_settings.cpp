#include "settings/export_settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <utility>

#include "settings/korvel_error.h"
#include "settings/whole_file.h"

namespace korvel {

namespace {

// The defaults held against their bytes where the compiler makes them: these
// bytes, and zero everywhere else.
constexpr bool IsTheDefaultImage(const SettingsImage& image) {
    constexpr std::pair<std::size_t, std::uint8_t> kNonZero[] = {
        {0, 1},   {1, ','}, {11, 3},    {12, 't'}, {13, 'x'}, {14, 't'}, {22, 1},  {23, 1},
        {24, 1},  {25, 1},  {26, 1},    {27, 1},   {36, 31},  {92, 1},   {148, 3}, {204, 3},
        {260, 3}, {327, 1}, {328, ','}, {340, 2},  {344, 1},  {348, 1}};
    SettingsImage expected{};
    for (const auto& [offset, value] : kNonZero) expected[offset] = value;
    return image == expected;
}
static_assert(IsTheDefaultImage(kDefaultSettingsImage));

}  // namespace

void Configuration::SetDefaultSettings() {
    settings.image = kDefaultSettingsImage;
    options = {};
    TakeSnapshot();
}

void Configuration::ReadImageFile(const std::filesystem::path& path) {
    std::error_code ec;
    // fopen succeeds on a directory under Linux; reading it then fails.
    if (std::filesystem::is_directory(path, ec)) ThrowCannotOpenFile(path, EISDIR);
    CFile file = OpenCFile(path, "rb");
    if (!file) ThrowCannotOpenFile(path, errno);
    SettingsImage incoming = settings.image;
    std::size_t n = std::fread(incoming.data(), 1, incoming.size(), file.get());
    if (std::ferror(file.get())) ThrowIoErrorFromErrno(errno, IoAction::Read);
    std::copy_n(incoming.begin(), n, settings.image.begin());
}

void Configuration::WriteConfigurationFile(const std::filesystem::path& path) {
    WriteWholeFile(path,
                   std::string_view(reinterpret_cast<const char*>(settings.image.data()),
                                    settings.image.size()),
                   WriteFailure::NumberedIoError);
    WriteExtendedOptions(ExtendedOptionsPath(path), options);
}

NameTables ShippedNameTables() {
    return {{"Number", "X", "Y", "Z", "Code"},
            {"Entity type", "Layer", "Handle", "Block name", "Text", "Label", "Counter",
             "Entity number"}};
}

std::vector<std::string> SplitNameTableLines(std::string_view content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < content.size(); ++i) {
        char c = content[i];
        if (c != '\r' && c != '\n') continue;
        lines.emplace_back(content.substr(start, i - start));
        if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < content.size()) lines.emplace_back(content.substr(start));
    return lines;
}

bool ReadNameTable(const std::filesystem::path& path, std::size_t count,
                   std::vector<std::string>& names) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return false;
    auto lines = SplitNameTableLines(content);
    if (lines.size() < count) return false;
    lines.resize(count);
    names = std::move(lines);
    return true;
}

NameTables LoadNameTables(const std::filesystem::path& folder) {
    NameTables tables = ShippedNameTables();
    ReadNameTable(folder / "korvel2.dat", kDataFieldCount, tables.dataFieldNames);
    ReadNameTable(folder / "korvel.dat", kCodeElementCount, tables.codeElementNames);
    return tables;
}

namespace {

constexpr NamedField S(std::string_view name, ShortStringField f) {
    return {name, NamedField::Kind::ShortString, f.offset, f.capacity};
}
constexpr NamedField I(std::string_view name, Int32Field f) {
    return {name, NamedField::Kind::Int32, f.offset, 0};
}
constexpr NamedField B(std::string_view name, BoolField f) {
    return {name, NamedField::Kind::Bool, f.offset, 0};
}

using namespace field;
constexpr NamedField kNamedFields[] = {
    S("FieldSeparator", FieldSeparator),
    S("FileExtension", FileExtension),
    B("ProcessPoints", ProcessPoints),
    B("Process2DPolylines", Process2DPolylines),
    B("Process3DPolylines", Process3DPolylines),
    B("ProcessLines", ProcessLines),
    B("Include2DPolylineExtraPoints", Include2DPolylineExtraPoints),
    B("Include3DPolylineExtraPoints", Include3DPolylineExtraPoints),
    B("ProcessSplines", ProcessSplines),
    B("IncludeSplineFitPoints", IncludeSplineFitPoints),
    B("ProcessCircles", ProcessCircles),
    B("ProcessArcs", ProcessArcs),
    B("ProcessEllipses", ProcessEllipses),
    B("ProcessBlocks", ProcessBlocks),
    B("ProcessText", ProcessText),
    B("ProcessMText", ProcessMText),
    I("DataFieldMask", DataFieldMask),
    S("NumberPrefix", NumberPrefix),
    I("StartNumber", StartNumber),
    S("XPrefix", XPrefix),
    I("XDecimals", XDecimals),
    S("YPrefix", YPrefix),
    I("YDecimals", YDecimals),
    S("ZPrefix", ZPrefix),
    I("ZDecimals", ZDecimals),
    B("ForceZ", ForceZ),
    S("ForcedZValue", ForcedZValue),
    S("CodePrefix", CodePrefix),
    S("CodeSeparator", CodeSeparator),
    I("CodeElementMask", CodeElementMask),
    I("CounterStart", CounterStart),
    I("EntityNumberStart", EntityNumberStart),
    S("LabelText", LabelText),
};

}  // namespace

std::span<const NamedField> AllNamedFields() {
    return kNamedFields;
}

const NamedField* FindNamedField(std::string_view name) {
    for (const auto& f : kNamedFields)
        if (f.name == name) return &f;
    return nullptr;
}

}  // namespace korvel
