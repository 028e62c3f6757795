#include "support/test_support.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>

#include "engine/byte_source.h"

namespace korvel::test {

void ExpectKorvelError(const std::function<void()>& fn, const std::string& text) {
    try {
        fn();
    } catch (const KorvelError& e) {
        EXPECT_EQ(e.what(), text);
        return;
    }
    ADD_FAILURE() << "expected the error \"" << text << "\"";
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("korvel-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    // Folders made read-only by a test must become writable again to go.
    for (auto& e : std::filesystem::recursive_directory_iterator(path_, ec))
        std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string Dxf(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    return s;
}

PassResult ConvertText(const std::string& dxf, const ExportSettings& settings,
                       std::vector<std::string> fields, std::vector<std::string> code) {
    TempDir dir;
    NameTables names = ShippedNameTables();
    FixedListsHost host(std::move(fields), std::move(code));
    PassResult result;
    ExportSettings live = settings;
    FilePass pass(live, names, host, result.report);
    MemorySource source(dxf);
    FileSink sink;
    sink.Create(dir / "out.txt");
    pass.ConvertStream(source, sink, "test.dxf");
    sink.Close();
    result.data = ReadFile(dir / "out.txt");
    result.counters = pass.Counters();
    result.numbers = pass.Numbers();
    return result;
}

ExportSettings DefaultSettings() {
    ExportSettings s;
    s.image = DefaultSettingsImage();
    return s;
}

std::filesystem::path CorpusDir() {
    std::filesystem::path dir = KORVEL_CORPUS_DIR;
    std::error_code ec;
    return std::filesystem::is_directory(dir, ec) ? dir : std::filesystem::path();
}

std::vector<std::filesystem::path> CorpusFiles() {
    std::vector<std::filesystem::path> files;
    auto dir = CorpusDir();
    if (dir.empty()) return files;
    for (auto& e : std::filesystem::recursive_directory_iterator(dir)) {
        if (!e.is_regular_file()) continue;
        std::string ext = e.path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".dxf") files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace korvel::test
