// Every real drawing of the corpus goes through a pass, whatever it holds.
#include <gtest/gtest.h>

#include "engine/file_pass.h"
#include "support/test_support.h"

namespace korvel {
namespace {

void ConvertCorpus(bool everyType) {
    auto files = test::CorpusFiles();
    if (files.empty()) GTEST_SKIP() << "corpus of real drawings not found beside the checkout";
    test::TempDir out;
    ExportSettings settings = test::DefaultSettings();
    if (everyType)
        for (const auto& f : AllNamedFields())
            if (f.kind == NamedField::Kind::Bool && f.name != "ForceZ")
                settings.image[f.offset] = 1;
    NameTables names = ShippedNameTables();
    FixedListsHost host({"Number", "X", "Y", "Z", "Code"},
                        {"Entity type", "Layer", "Handle", "Block name", "Text", "Counter"});
    int converted = 0, failed = 0;
    for (const auto& file : files) {
        RunReport report;
        FilePass pass(settings, names, host, report);
        try {
            pass.ConvertDxfFile(file, out / "data.txt");
            EXPECT_FALSE(pass.OpenFailed()) << file;
            ++converted;
        } catch (const KorvelError& e) {
            // Decimal commas and the like end a pass with a message, never a crash.
            EXPECT_NE(std::string(e.what()), "") << file;
            ++failed;
        }
        const std::string data = test::ReadFile(out / "data.txt");
        EXPECT_TRUE(data.empty() || data.ends_with("\r\n")) << file;
    }
    EXPECT_EQ(converted + failed, static_cast<int>(files.size()));
}

TEST(Corpus, EveryDrawingPassesUnderTheDefaults) {
    ConvertCorpus(false);
}
TEST(Corpus, EveryDrawingPassesWithEveryEntityType) {
    ConvertCorpus(true);
}

}  // namespace
}  // namespace korvel
