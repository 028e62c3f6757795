// Writes a synthetic survey drawing of about the requested size: HEADER,
// TABLES and BLOCKS sections, then an ENTITIES section with a realistic mix
// of entities on several layers, survey-sized coordinates, right-aligned
// group codes. The same seed gives the same bytes on every machine.
//
//   korvel_generate_dxf OUTPUT.dxf SIZE_MB [--lf] [--seed N] [--labels]   (MB = 1,000,000 bytes)
//
// --labels puts a spot height label (a TEXT of the point's height) beside
// every POINT, and a decoy three metres away beside every fifth.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// splitmix64: small, fast and fully specified, unlike the standard
// distributions, whose outputs differ between libraries.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n).
    std::int64_t Below(std::int64_t n) { return static_cast<std::int64_t>(Next() % n); }

  private:
    std::uint64_t state_;
};

const char* const kLayers[] = {"0",         "SURVEY_PTS", "KERB",    "BOUNDARY", "CONTOURS",
                               "BREAKLINE", "TREES",      "MANHOLE", "TEXT",     "SERVICES"};
constexpr int kLayerCount = sizeof kLayers / sizeof kLayers[0];

class Writer {
  public:
    Writer(std::FILE* out, bool crlf) : out_(out), eol_(crlf ? "\r\n" : "\n") {
        buffer_.reserve(kFlushAt + 4096);
    }
    ~Writer() { Flush(); }

    // One group: the code right-aligned in three columns, then the value.
    void G(int code, const char* value) {
        char codeText[8];
        std::snprintf(codeText, sizeof codeText, "%3d", code);
        buffer_ += codeText;
        buffer_ += eol_;
        buffer_ += value;
        buffer_ += eol_;
        if (buffer_.size() >= kFlushAt) Flush();
    }
    void G(int code, const std::string& value) { G(code, value.c_str()); }
    // A coordinate held in thousandths, written with three decimals.
    void Coordinate(int code, std::int64_t thousandths) {
        char text[32];
        const char* sign = thousandths < 0 ? "-" : "";
        std::int64_t a = thousandths < 0 ? -thousandths : thousandths;
        std::snprintf(text, sizeof text, "%s%lld.%03lld", sign, static_cast<long long>(a / 1000),
                      static_cast<long long>(a % 1000));
        G(code, text);
    }
    std::uint64_t Written() const { return written_ + buffer_.size(); }
    void Flush() {
        if (buffer_.empty()) return;
        if (std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size()) {
            std::perror("write");
            std::exit(1);
        }
        written_ += buffer_.size();
        buffer_.clear();
    }

  private:
    static constexpr std::size_t kFlushAt = std::size_t(1) << 20;
    std::FILE* out_;
    const char* eol_;
    std::string buffer_;
    std::uint64_t written_ = 0;
};

class Drawing {
  public:
    Drawing(Writer& w, std::uint64_t seed) : w_(w), rnd_(seed) {}

    void Header() {
        w_.G(0, "SECTION");
        w_.G(2, "HEADER");
        w_.G(9, "$ACADVER");
        w_.G(1, "AC1015");
        w_.G(9, "$EXTMIN");
        w_.Coordinate(10, kE0);
        w_.Coordinate(20, kN0);
        w_.Coordinate(30, 0);
        w_.G(9, "$EXTMAX");
        w_.Coordinate(10, kE0 + kSpan);
        w_.Coordinate(20, kN0 + kSpan);
        w_.Coordinate(30, 100000);
        w_.G(9, "$LUNITS");
        w_.G(70, "2");
        w_.G(0, "ENDSEC");
    }

    void Tables() {
        w_.G(0, "SECTION");
        w_.G(2, "TABLES");
        w_.G(0, "TABLE");
        w_.G(2, "LAYER");
        w_.G(70, std::to_string(kLayerCount));
        for (int i = 0; i < kLayerCount; ++i) {
            w_.G(0, "LAYER");
            w_.G(2, kLayers[i]);
            w_.G(70, "0");
            w_.G(62, std::to_string(i + 1));
            w_.G(6, "CONTINUOUS");
        }
        w_.G(0, "ENDTAB");
        w_.G(0, "ENDSEC");
    }

    // Block definitions hold entities too; the reader must pass over them.
    void Blocks() {
        w_.G(0, "SECTION");
        w_.G(2, "BLOCKS");
        for (const char* name : {"TREE", "MH", "BH"}) {
            w_.G(0, "BLOCK");
            w_.G(8, "0");
            w_.G(2, name);
            w_.G(70, "0");
            w_.Coordinate(10, 0);
            w_.Coordinate(20, 0);
            w_.Coordinate(30, 0);
            w_.G(0, "CIRCLE");
            w_.G(8, "0");
            w_.Coordinate(10, 0);
            w_.Coordinate(20, 0);
            w_.Coordinate(30, 0);
            w_.G(40, "0.75");
            w_.G(0, "LINE");
            w_.G(8, "0");
            w_.Coordinate(10, -750);
            w_.Coordinate(20, 0);
            w_.Coordinate(30, 0);
            w_.Coordinate(11, 750);
            w_.Coordinate(21, 0);
            w_.Coordinate(31, 0);
            w_.G(0, "ENDBLK");
            w_.G(8, "0");
        }
        w_.G(0, "ENDSEC");
    }

    void Entities(std::uint64_t targetBytes) {
        w_.G(0, "SECTION");
        w_.G(2, "ENTITIES");
        const std::uint64_t tail = 64;
        while (w_.Written() + tail < targetBytes) OneEntity();
        w_.G(0, "ENDSEC");
        w_.G(0, "EOF");
    }

  private:
    static constexpr std::int64_t kE0 = 500000000;   // 500000.000 m
    static constexpr std::int64_t kN0 = 6100000000;  // 6100000.000 m
    static constexpr std::int64_t kSpan = 30000000;  // 30 km

    // The mix of a survey drawing: mostly points with their labels, then
    // lines, polylines and symbols.
    void OneEntity() {
        int pick = static_cast<int>(rnd_.Below(100));
        if (pick < 30) {
            Point();
        } else if (pick < 50) {
            Text();
        } else if (pick < 70) {
            Line();
        } else if (pick < 82) {
            LwPolyline();
        } else if (pick < 90) {
            Polyline3D();
        } else if (pick < 95) {
            Insert();
        } else {
            Circle();
        }
    }

    void Common(const char* type, int layer) {
        w_.G(0, type);
        char handle[24];
        std::snprintf(handle, sizeof handle, "%llX", static_cast<unsigned long long>(++handle_));
        w_.G(5, handle);
        w_.G(100, "AcDbEntity");
        w_.G(8, kLayers[layer]);
    }
    std::int64_t E() { return kE0 + rnd_.Below(kSpan); }
    std::int64_t N() { return kN0 + rnd_.Below(kSpan); }
    std::int64_t Z() { return 20000 + rnd_.Below(60000); }
    void Xyz(int code, std::int64_t e, std::int64_t n, std::int64_t z) {
        w_.Coordinate(code, e);
        w_.Coordinate(code + 10, n);
        w_.Coordinate(code + 20, z);
    }

    void Point() {
        Common("POINT", 1);
        w_.G(100, "AcDbPoint");
        // In the order GCC evaluated them as the arguments of one call, which
        // the drawings generated before were made with.
        const std::int64_t z = Z();
        const std::int64_t n = N();
        const std::int64_t e = E();
        Xyz(10, e, n, z);
        if (!labels_) return;
        // Its height as a spot height label, 0.4 m east and 0.3 m north, and
        // now and then a decoy 3 m away.
        Label(e + 400, n + 300, z);
        if (rnd_.Below(5) == 0) Label(e - 3000, n, z + 1000);
    }
    void Label(std::int64_t e, std::int64_t n, std::int64_t z) {
        Common("TEXT", 8);
        w_.G(100, "AcDbText");
        Xyz(10, e, n, 0);
        w_.G(40, "0.250");
        char height[32];
        std::snprintf(height, sizeof height, "%lld.%03lld", static_cast<long long>(z / 1000),
                      static_cast<long long>(z % 1000));
        w_.G(1, height);
    }
    void Text() {
        Common("TEXT", 8);
        w_.G(100, "AcDbText");
        Xyz(10, E(), N(), Z());
        w_.G(40, "0.500");
        w_.G(1, "PT " + std::to_string(1000 + rnd_.Below(90000)) + ", IL " +
                    std::to_string(rnd_.Below(100)) + "." + std::to_string(rnd_.Below(10)));
    }
    void Line() {
        Common("LINE", 2 + static_cast<int>(rnd_.Below(2)));  // KERB or BOUNDARY
        w_.G(100, "AcDbLine");
        std::int64_t e = E(), n = N();
        Xyz(10, e, n, Z());
        Xyz(11, e + rnd_.Below(40000) - 20000, n + rnd_.Below(40000) - 20000, Z());
    }
    void LwPolyline() {
        int vertices = 3 + static_cast<int>(rnd_.Below(10));
        Common("LWPOLYLINE", 4);  // contours
        w_.G(100, "AcDbPolyline");
        w_.G(90, std::to_string(vertices));
        w_.G(70, rnd_.Below(4) == 0 ? "1" : "0");
        w_.Coordinate(38, Z());
        if (rnd_.Below(3) == 0) w_.G(43, "0.0");
        std::int64_t e = E(), n = N();
        for (int i = 0; i < vertices; ++i) {
            e += rnd_.Below(10000) - 5000;
            n += rnd_.Below(10000) - 5000;
            w_.Coordinate(10, e);
            w_.Coordinate(20, n);
        }
    }
    void Polyline3D() {
        int vertices = 2 + static_cast<int>(rnd_.Below(12));
        Common("POLYLINE", 5);  // breaklines
        w_.G(100, "AcDb3dPolyline");
        w_.G(66, "1");
        Xyz(10, 0, 0, 0);
        w_.G(70, "8");
        std::int64_t e = E(), n = N(), z = Z();
        for (int i = 0; i < vertices; ++i) {
            e += rnd_.Below(8000) - 4000;
            n += rnd_.Below(8000) - 4000;
            z += rnd_.Below(600) - 300;
            Common("VERTEX", 5);
            w_.G(100, "AcDb3dPolylineVertex");
            Xyz(10, e, n, z);
            w_.G(70, "32");
        }
        Common("SEQEND", 5);
    }
    void Insert() {
        static const char* const kBlocks[] = {"TREE", "MH", "BH"};
        int b = static_cast<int>(rnd_.Below(3));
        Common("INSERT", b == 0 ? 6 : 7);
        w_.G(100, "AcDbBlockReference");
        w_.G(2, kBlocks[b]);
        Xyz(10, E(), N(), Z());
        w_.G(50, std::to_string(rnd_.Below(360)) + ".0");
    }
    void Circle() {
        Common("CIRCLE", 7);
        w_.G(100, "AcDbCircle");
        Xyz(10, E(), N(), Z());
        w_.G(40, "0.600");
    }

    Writer& w_;
    Random rnd_;
    std::uint64_t handle_ = 0x200;

  public:
    bool labels_ = false;  // spot height labels beside the points
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.dxf SIZE_MB [--lf] [--seed N] [--labels]\n",
                     argv[0]);
        return 2;
    }
    const char* path = argv[1];
    double megabytes = std::atof(argv[2]);
    bool crlf = true;
    bool labels = false;
    std::uint64_t seed = 20240305;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--lf") == 0) {
            crlf = false;
        } else if (std::strcmp(argv[i], "--labels") == 0) {
            labels = true;
        } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            seed = std::strtoull(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr, "unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    std::FILE* out = std::fopen(path, "wb");
    if (out == nullptr) {
        std::perror(path);
        return 1;
    }
    {
        Writer w(out, crlf);
        Drawing d(w, seed);
        d.labels_ = labels;
        d.Header();
        d.Tables();
        d.Blocks();
        d.Entities(static_cast<std::uint64_t>(megabytes * 1e6));
    }
    if (std::fclose(out) != 0) {
        std::perror(path);
        return 1;
    }
    return 0;
}
