// The layer options: the patterns themselves, and two relations over every
// real drawing in both expected-data profiles: "*" changes nothing, and the
// runs of each layer alone together give the lines of the whole drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "engine/byte_source.h"
#include "engine/file_pass.h"
#include "engine/layer_patterns.h"
#include "run/layer_listing.h"
#include "support/test_support.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

TEST(LayerPatterns, MatchAsDxfComparesLayerNames) {
    const struct {
        const char* list;
        const char* name;
        bool match;
    } cases[] = {
        {"*", "", true},
        {"*", "Walls", true},
        {"SURVEY*", "survey-pts", true},
        {"SURVEY*", "SURVE", false},
        {"?A", "xa", true},
        {"?A", "xya", false},
        {"[A-C]*", "b1", true},
        {"[A-C]*", "D1", false},
        {"[!0-9]*", "9x", false},
        {"[!0-9]*", "x9", true},
        {"PTS, TXT", "txt", true},
        {"[,]", ",", true},
        {"?", "\xC3\x84", true},
        {"\xC3\x84*", "\xC4Z", true},  // Latin-1 "Ä" is "Ä"
        {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "aXbYbZ", false},
        {"", "0", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LayerPatterns(c.list).Match(c.name), c.match) << c.list << " / " << c.name;
    test::ExpectKorvelError([] { LayerPatterns("PTS,[AB"); }, "'[AB': a \"[\" without its \"]\"");
    EXPECT_TRUE(LayerPatterns(" , ,").Empty());
}

struct Outcome {
    std::vector<std::string> lines;
    RunReport report;
    std::string error;
};

Outcome Convert(const std::string& dxf, const ExportSettings& settings,
                const std::vector<std::string>& fields, const std::vector<std::string>& code,
                const PassOptions& options) {
    const NameTables names = ShippedNameTables();
    FixedListsHost host(fields, code);
    Outcome outcome;
    FilePass pass(settings, names, host, outcome.report);
    pass.options = options;
    MemorySource source(dxf);
    const test::TempDir dir;
    FileSink sink;
    sink.Create(dir / "out.txt");
    try {
        pass.ConvertStream(source, sink, "drawing.dxf");
    } catch (const KorvelError& e) {
        outcome.error = e.what();
    }
    sink.Close();
    std::string data = test::ReadFile(dir / "out.txt");
    for (std::size_t start = 0, end; (end = data.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        outcome.lines.push_back(data.substr(start, end - start));
    return outcome;
}

void HoldLayersAcrossTheCorpus(const std::string& configuration,
                               const std::vector<std::string>& code) {
    const fs::path corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "corpus of real drawings not found beside the checkout";
    Configuration config;
    config.SetDefaultSettings();
    if (!configuration.empty())
        config.LoadConfigurationFile(corpus.parent_path() / "expected" / configuration);
    // Fields without running numbers, so that runs of parts add up to the whole.
    const std::vector<std::string> fields = {"X", "Y", "Z", "Code"};
    int drawings = 0, layerRuns = 0;
    for (const fs::path& file : test::CorpusFiles()) {
        SCOPED_TRACE(file.string());
        const std::string dxf = test::ReadFile(file);
        const Outcome whole = Convert(dxf, config.settings, fields, code, {});
        PassOptions star;
        star.extended.layers.include = "*";
        const Outcome starred = Convert(dxf, config.settings, fields, code, star);
        EXPECT_EQ(starred.lines, whole.lines);
        EXPECT_EQ(starred.report, whole.report);
        EXPECT_EQ(starred.error, whole.error);
        if (!whole.error.empty()) continue;

        std::vector<LayerCensus::Layer> layers;
        ASSERT_TRUE(ListLayers(file.string(), ShippedNameTables(), {}, layers));
        std::vector<std::string> parts;
        for (const LayerCensus::Layer& layer : layers) {
            PassOptions one;
            one.extended.layers.include = ExactPattern(layer.name);
            const Outcome part = Convert(dxf, config.settings, fields, code, one);
            EXPECT_EQ(part.error, "") << layer.name;
            parts.insert(parts.end(), part.lines.begin(), part.lines.end());
            ++layerRuns;
        }
        std::vector<std::string> all = whole.lines;
        std::sort(all.begin(), all.end());
        std::sort(parts.begin(), parts.end());
        EXPECT_TRUE(parts == all) << parts.size() << " lines from the layers, " << all.size()
                                  << " from the whole drawing";
        ++drawings;
    }
    std::printf("[ corpus   ] %d drawings, %d runs of one layer\n", drawings, layerRuns);
}

TEST(LayerOptions, StarChangesNothingAndLayersAddUpUnderTheDefaults) {
    HoldLayersAcrossTheCorpus("", {"Layer"});
}

TEST(LayerOptions, StarChangesNothingAndLayersAddUpWithEveryType) {
    HoldLayersAcrossTheCorpus("every-type.krv",
                              {"Entity type", "Layer", "Handle", "Block name", "Text", "Label"});
}

}  // namespace
}  // namespace korvel
