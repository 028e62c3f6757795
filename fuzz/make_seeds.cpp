// Writes the seed corpora of the three fuzz targets from drawings and
// configuration files:
//
//   korvel_fuzz_seeds OUTPUT_FOLDER FILE...
//
// *.krv files seed the configuration target; every other file is taken as a
// drawing (its first 32 KiB) and seeds the file pass target under a few
// settings, and its coordinate values seed the number target.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "engine/line_reader.h"
#include "fuzz_support.h"

namespace {

using namespace korvel;
namespace fs = std::filesystem;

constexpr std::size_t kDrawingCut = 32 * 1024;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ImageBytes(const SettingsImage& image) {
    return {reinterpret_cast<const char*>(image.data()), image.size()};
}

// Everything switched on: every extractor, every field, every code element.
SettingsImage EverythingImage() {
    ExportSettings s;
    s.image = DefaultSettingsImage();
    for (const NamedField& f : AllNamedFields())
        if (f.kind == NamedField::Kind::Bool && f.name != "ForceZ") s.image[f.offset] = 1;
    s.Set(field::XDecimals, 14);
    s.Set(field::NumberPrefix, "P");
    s.Set(field::CodeSeparator, ";");
    s.Set(field::LabelText, "L");
    return s.image;
}

SettingsImage ForcedZImage() {
    ExportSettings s;
    s.image = DefaultSettingsImage();
    s.Set(field::ForceZ, true);
    s.Set(field::ForcedZValue, "12.5");
    s.Set(field::ZDecimals, 0);
    s.Set(field::StartNumber, 2147483646);
    return s.image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER FILE...\n", argv[0]);
        return 2;
    }
    const fs::path out = argv[1];
    const fs::path passDir = out / "file_pass", configDir = out / "configuration",
                   numberDir = out / "number_format";
    for (const fs::path& d : {passDir, configDir, numberDir}) fs::create_directories(d);

    const SettingsImage defaults = DefaultSettingsImage();
    WriteBytes(configDir / "default.krv", ImageBytes(defaults));
    WriteBytes(configDir / "short-100.krv", ImageBytes(defaults).substr(0, 100));
    WriteBytes(configDir / "everything.krv", ImageBytes(EverythingImage()));
    WriteBytes(configDir / "long-600.krv", ImageBytes(ForcedZImage()) + std::string(196, 'x'));
    WriteBytes(configDir / "empty.krv", "");

    // The documented examples of the coordinate format, and a few edges.
    std::set<std::string> numbers = {"2.5",
                                     "-3.14159",
                                     "0.0005",
                                     "-0.0004",
                                     "  12",
                                     "1E3",
                                     "0.125",
                                     "1.005",
                                     "1234567.123456789",
                                     "1E15",
                                     "99999999999999.9",
                                     "1e4933",
                                     "-0",
                                     ".5",
                                     "5.",
                                     "1,5",
                                     "  -.5E-3  "};

    int drawings = 0;
    for (int i = 2; i < argc; ++i) {
        const fs::path path = argv[i];
        std::string bytes = ReadBytes(path);
        if (path.extension() == ".krv") {
            WriteBytes(configDir / path.filename(), bytes.substr(0, 600));
            continue;
        }
        bytes.resize(std::min(bytes.size(), kDrawingCut));
        const std::string stem = "d" + std::to_string(drawings++) + "-" + path.stem().string();
        WriteBytes(passDir / (stem + "-default"),
                   fuzz::EncodePassInput(defaults, false, 0, {0, 1, 2, 3, 4}, {1}, bytes));
        WriteBytes(passDir / (stem + "-everything"),
                   fuzz::EncodePassInput(EverythingImage(), true, 0, {4, 0, 1, 2, 3, 9},
                                         {0, 1, 2, 3, 4, 5, 6, 7, 12}, bytes));
        WriteBytes(passDir / (stem + "-forcedz-stop"),
                   fuzz::EncodePassInput(ForcedZImage(), false, 40, {0, 3, 4}, {6, 7}, bytes));

        // Coordinate values: the line after each " 10", " 20", " 30" ... " 43".
        MemorySource source(bytes);
        LineReader reader(source);
        bool take = false;
        while (!reader.AtEnd() && numbers.size() < 2000) {
            std::string_view line = reader.Next();
            if (take) numbers.emplace(line);
            take = line.size() == 3 && line[0] == ' ' && line[1] >= '1' && line[1] <= '4';
        }
    }
    int n = 0;
    for (const std::string& text : numbers) {
        const char decimals = static_cast<char>(n % 4 == 0   ? 0
                                                : n % 4 == 1 ? 3
                                                : n % 4 == 2 ? 9
                                                             : 18);
        WriteBytes(numberDir / ("n" + std::to_string(n++)), std::string(1, decimals) + text);
    }
    std::printf("%d drawings, %d numbers\n", drawings, n);
    return 0;
}
