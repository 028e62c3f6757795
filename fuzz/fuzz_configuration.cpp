// The configuration loader on arbitrary files of 0 to 600 bytes, and
// everything that reads a loaded image: every named field as the editors
// would show it, the lists the window builds from the masks, one data line
// laid out by the loaded settings, saving and loading again. The same bytes
// are also read as a name table side file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "engine/record_composer.h"
#include "settings/export_settings.h"
#include "settings/korvel_error.h"

namespace {

using namespace korvel;
namespace fs = std::filesystem;

constexpr std::size_t kMaxFileSize = 600;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

const fs::path& WorkFolder() {
    static const fs::path folder = [] {
        fs::path p =
            fs::temp_directory_path() / ("korvel-fuzz-config-" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return folder;
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) Fail("cannot write the work file");
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What the window reads to fill its editors.
void ShowSettings(const ExportSettings& s, const NameTables& names,
                  std::vector<std::string>& fields, std::vector<std::string>& code) {
    const auto* base = reinterpret_cast<const char*>(s.image.data());
    for (const NamedField& f : AllNamedFields()) {
        switch (f.kind) {
            case NamedField::Kind::ShortString: {
                std::string_view v = s.Get(ShortStringField{f.offset, f.capacity});
                if (v.size() > f.capacity || v.data() != base + f.offset + 1)
                    Fail("a string value reaches past its block");
                break;
            }
            case NamedField::Kind::Int32:
                (void)s.Get(Int32Field{f.offset});
                break;
            case NamedField::Kind::Bool:
                (void)s.Raw(BoolField{f.offset});
                break;
        }
    }
    // Exported fields and the Code sequence in index order; bits beyond the
    // tables have no meaning.
    fields.clear();
    code.clear();
    const auto dataMask = static_cast<std::uint32_t>(s.Get(field::DataFieldMask));
    for (int i = 0; i < kDataFieldCount; ++i)
        if ((dataMask >> i) & 1u) fields.push_back(names.dataFieldNames[i]);
    const auto codeMask = static_cast<std::uint32_t>(s.Get(field::CodeElementMask));
    for (int i = 0; i < kCodeElementCount; ++i)
        if ((codeMask >> i) & 1u) code.push_back(names.codeElementNames[i]);
}

void ComposeOneLine(const ExportSettings& settings, const NameTables& names,
                    std::vector<std::string> fields, std::vector<std::string> code) {
    FixedListsHost host(std::move(fields), std::move(code));
    RecordComposer composer(settings, names, host);
    EntityValues values{"1.5", "-2.25", "0", "1F", "WALLS", "LINE", "", ""};
    RunningNumbers numbers{settings.Get(field::StartNumber), settings.Get(field::CounterStart),
                           settings.Get(field::EntityNumberStart)};
    std::string line = "kept";
    try {
        composer.Compose(values, numbers, line);
    } catch (const KorvelError&) {
        // A forced Z value that is no number; nothing may have been appended.
        if (line != "kept") Fail("partial line after a conversion error");
        return;
    }
    if (line.size() < 6 || line.compare(line.size() - 2, 2, "\r\n") != 0)
        Fail("data line without CR LF");
}

void CheckNameTable(const fs::path& path, std::string_view bytes) {
    for (const std::string& line : SplitNameTableLines(bytes))
        if (line.find_first_of("\r\n") != std::string::npos) Fail("line break inside a name");
    std::vector<std::string> names{"untouched"};
    if (ReadNameTable(path, kCodeElementCount, names)) {
        if (names.size() != kCodeElementCount) Fail("name table of the wrong length");
    } else if (names.size() != 1 || names[0] != "untouched") {
        Fail("a failed name table read changed the names");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxFileSize) return -1;
    static const NameTables names = ShippedNameTables();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const fs::path file = WorkFolder() / "input.krv";
    const fs::path saved = WorkFolder() / "saved.krv";
    WriteBytes(file, bytes);

    // A short file replaces only its leading bytes; the rest keeps what was there.
    Configuration config;
    config.SetDefaultSettings();
    for (std::size_t i = 0; i < kSettingsImageSize; ++i)
        config.settings.image[i] = static_cast<std::uint8_t>(i * 7 + 1);
    const SettingsImage before = config.settings.image;
    std::vector<std::string> fields, code;
    config.LoadConfigurationFile(file, [&] { ShowSettings(config.settings, names, fields, code); });
    for (std::size_t i = 0; i < kSettingsImageSize; ++i) {
        const std::uint8_t expected = i < size ? data[i] : before[i];
        if (config.settings.image[i] != expected) Fail("image differs from the file");
    }
    if (config.Changed()) Fail("changed right after loading");

    ComposeOneLine(config.settings, names, fields, code);

    // Save and load again: the same 404 bytes, padding included.
    config.WriteConfigurationFile(saved);
    const std::string written = ReadBytes(saved);
    if (written.size() != kSettingsImageSize ||
        std::memcmp(written.data(), config.settings.image.data(), kSettingsImageSize) != 0)
        Fail("saved file differs from the image");
    Configuration again;
    again.SetDefaultSettings();
    again.LoadConfigurationFile(saved);
    if (again.settings.image != config.settings.image) Fail("round trip differs");

    CheckNameTable(file, bytes);
    return 0;
}
