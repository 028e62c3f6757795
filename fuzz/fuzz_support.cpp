#include "fuzz_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/byte_source.h"
#include "engine/drawing_geometry.h"
#include "engine/line_reader.h"
#include "settings/korvel_error.h"

namespace korvel::fuzz {

namespace {

// A list item that equals no table entry; the composer must pass over it.
constexpr std::string_view kUnknownItem = "Unknown";

}  // namespace

std::optional<PassInput> DecodePassInput(std::string_view bytes, const NameTables& names) {
    std::size_t pos = 0;
    auto take = [&](std::size_t n) -> std::optional<std::string_view> {
        if (bytes.size() - pos < n) return std::nullopt;
        std::string_view part = bytes.substr(pos, n);
        pos += n;
        return part;
    };
    PassInput input;
    auto image = take(kSettingsImageSize);
    auto options = take(1);
    if (!image || !options) return std::nullopt;
    std::memcpy(input.image.data(), image->data(), kSettingsImageSize);
    const auto optionBits = static_cast<unsigned char>((*options)[0]);
    input.alignGroupCodes = (optionBits & 1) != 0;
    input.stopAtPump = optionBits >> 1;

    auto list = [&](unsigned mask, const std::vector<std::string>& table,
                    std::vector<std::string>& out) -> bool {
        auto count = take(1);
        if (!count) return false;
        auto items = take(static_cast<unsigned char>((*count)[0]) & mask);
        if (!items) return false;
        for (char c : *items) {
            auto index = static_cast<unsigned char>(c);
            out.emplace_back(index < table.size() ? std::string_view(table[index]) : kUnknownItem);
        }
        return true;
    };
    if (!list(7, names.dataFieldNames, input.fields)) return std::nullopt;
    if (!list(15, names.codeElementNames, input.code)) return std::nullopt;
    input.drawing = bytes.substr(pos);
    return input;
}

std::string EncodePassInput(const SettingsImage& image, bool alignGroupCodes, int stopAtPump,
                            const std::vector<int>& fieldIndexes,
                            const std::vector<int>& codeIndexes, std::string_view drawing) {
    std::string bytes(reinterpret_cast<const char*>(image.data()), image.size());
    bytes += static_cast<char>((alignGroupCodes ? 1 : 0) | (std::clamp(stopAtPump, 0, 127) << 1));
    bytes += static_cast<char>(std::min<std::size_t>(fieldIndexes.size(), 7));
    for (std::size_t i = 0; i < fieldIndexes.size() && i < 7; ++i)
        bytes += static_cast<char>(fieldIndexes[i]);
    bytes += static_cast<char>(std::min<std::size_t>(codeIndexes.size(), 15));
    for (std::size_t i = 0; i < codeIndexes.size() && i < 15; ++i)
        bytes += static_cast<char>(codeIndexes[i]);
    bytes += drawing;
    return bytes;
}

void Fail(const char* what) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

int DataFileDescriptor(int slot) {
    static std::array<int, 2> fds{-1, -1};
    int& fd = fds.at(static_cast<std::size_t>(slot));
    if (fd < 0) fd = ::memfd_create("korvel-fuzz-data", 0);
    if (fd < 0) Fail("memfd_create");
    if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0) Fail("reset data file");
    return fd;
}

std::string ReadBack(int fd) {
    const off_t size = ::lseek(fd, 0, SEEK_END);
    std::string data(static_cast<std::size_t>(size), '\0');
    if (size > 0 && ::pread(fd, data.data(), data.size(), 0) != size) Fail("pread");
    return data;
}

void CheckGeometry(std::string_view drawing) {
    DrawingGeometry g;
    MemorySource source(drawing);
    // The collector outlives the reader, whose thread feeds it.
    const auto collector = GeometryCollector::Create(g, drawing.size());
    LineReader reader(source);
    reader.SetTap(collector.get());
    try {
        while (!reader.AtEnd()) reader.Next();
    } catch (const KorvelError&) {
    }
    reader.StopReadingAhead();
    collector->Finish();
    if (g.Vertices() + g.Marks() > DrawingGeometry::kMostVertices) Fail("geometry over its cap");
    if (g.types.size() != g.Polylines() || g.anchors.size() != 2 * g.Polylines() ||
        g.markXY.size() != 2 * g.Marks())
        Fail("geometry lists of different lengths");
    const GeometryExtent& e = g.extent;
    // A vertex is its anchor plus a float offset, rounded to 2^-24 of it.
    const auto inside = [&](double x, double y, double ax, double ay) {
        const double slack =
            1e-6 * std::max({1.0, std::abs(x), std::abs(y), std::abs(ax), std::abs(ay)});
        return std::isfinite(x) && std::isfinite(y) && x >= e.minX - slack && x <= e.maxX + slack &&
               y >= e.minY - slack && y <= e.maxY + slack;
    };
    for (std::size_t i = 0; i < g.Polylines(); ++i) {
        if (g.Start(i) >= g.End(i) || (i == 0 && g.Start(i) != 0)) Fail("a polyline of no vertex");
        for (std::size_t v = g.Start(i); v < g.End(i); ++v)
            if (!inside(g.X(i, v), g.Y(i, v), g.AnchorX(i), g.AnchorY(i)))
                Fail("a vertex outside the extent");
    }
    if (g.arcTypes.size() != g.arcs.size()) Fail("arcs and their types of different lengths");
    std::vector<double> xy;
    for (const GeometryArc& arc : g.arcs) {
        if (!(arc.sweep > 0) || !(arc.sweep <= 7)) Fail("an arc of no sweep or more than a turn");
        xy.clear();
        arc.AppendPoints(1e-3 * std::max({std::abs(arc.ux), std::abs(arc.uy), std::abs(arc.vx),
                                          std::abs(arc.vy)}),
                         xy);
        const double reach =
            std::abs(arc.ux) + std::abs(arc.uy) + std::abs(arc.vx) + std::abs(arc.vy);
        for (std::size_t v = 0; v < xy.size(); v += 2)
            if (!inside(xy[v], xy[v + 1], arc.x + reach, arc.y + reach))
                Fail("a point of an arc outside the extent");
    }
    for (std::size_t m = 0; m < g.Marks(); ++m)
        if (!inside(g.MarkX(m), g.MarkY(m), 0, 0)) Fail("a mark outside the extent");
}

}  // namespace korvel::fuzz
