#include "settings/export_settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "settings/korvel_error.h"
#include "settings/whole_file.h"

namespace korvel {

void ExportSettings::Set(ShortStringField f, std::string_view value) {
    std::size_t n = std::min(value.size(), f.capacity);
    image[f.offset] = static_cast<std::uint8_t>(n);
    std::memcpy(image.data() + f.offset + 1, value.data(), n);
}

void ExportSettings::Set(Int32Field f, std::int32_t value) {
    auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) image[f.offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

SettingsImage DefaultSettingsImage() {
    ExportSettings s;  // all zero
    s.Set(field::FieldSeparator, ",");
    s.Set(field::FileExtension, "txt");
    for (BoolField f : {field::ProcessPoints, field::Process2DPolylines, field::Process3DPolylines,
                        field::ProcessLines, field::Include2DPolylineExtraPoints,
                        field::Include3DPolylineExtraPoints})
        s.Set(f, true);
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
}

void Configuration::SetDefaultSettings() {
    settings.image = DefaultSettingsImage();
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
