// Runs must never change a drawing: not the one being read, not any other
// .dxf file of the folder, whether the run writes its data files into the
// source folder with the extension "dxf", is stopped half-way or fails.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "run/file_list_run.h"
#include "run/reliability_support.h"
#include "run/run_report.h"
#include "support/test_support.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::ExpectKorvelError;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::string Drawing(const std::string& layer, int points) {
    std::vector<std::string> lines = {"  0", "SECTION", "  2", "ENTITIES"};
    for (int i = 1; i <= points; ++i)
        lines.insert(lines.end(), {"  0", "POINT", "  8", layer, " 10", std::to_string(i), " 20",
                                   "2", " 30", "0"});
    lines.insert(lines.end(), {"  0", "ENDSEC", "  0", "EOF"});
    return test::Dxf(lines);
}

class InputSafety : public ::testing::Test {
  protected:
    std::optional<TempDir> temp{std::in_place};
    fs::path folder = temp->path();
    ExportSettings settings = test::DefaultSettings();
    NameTables names = ShippedNameTables();
    test::ListOfFiles list;
    test::ScriptedRunHost host;
    RunReport report;
    std::map<std::string, std::string> before;

    // Drawings of the folder; only the names in `selected` are in the list.
    void Folder(const std::vector<std::string>& all, const std::vector<std::string>& selected) {
        for (const auto& name : all) WriteFile(folder / name, Drawing(name, 40));
        for (const auto& name : selected) list.items.push_back({name, true});
        before = test::FolderContents(folder);
    }
    // An empty folder and an empty list again.
    void Fresh() {
        temp.emplace();
        folder = temp->path();
        list.items.clear();
    }
    void Run() {
        FileListRunRequest request;
        request.sourceFolder = folder.string();
        request.destinationFolder = folder.string();
        CreateDataFiles(request, list, settings, names, host, report, std::tm{});
    }
    // Every file that was there is there still, byte for byte.
    void ExpectDrawingsUntouched() {
        const auto after = test::FolderContents(folder);
        for (const auto& [name, content] : before) {
            auto it = after.find(name);
            ASSERT_NE(it, after.end()) << name << " is gone";
            EXPECT_TRUE(it->second == content) << name << " was changed";
        }
    }
};

TEST_F(InputSafety, ExtensionDxfIntoTheSourceFolderNeverWritesOverADrawing) {
    settings.Set(field::FileExtension, "dxf");
    // Each selection's data file would be the drawing itself or another one.
    for (const std::vector<std::string>& selected :
         std::vector<std::vector<std::string>>{{"A.dxf"}, {"Site.Plan.dxf"}, {"UPPER.DXF"}}) {
        SCOPED_TRACE(selected.front());
        Fresh();
        Folder({"A.dxf", "B.dxf", "Site.dxf", "Site.Plan.dxf", "UPPER.DXF", "UPPER.dxf"}, selected);
        ExpectKorvelError([&] { Run(); }, "File access denied");
        ExpectDrawingsUntouched();
        EXPECT_EQ(test::FolderContents(folder).size(), before.size());
    }
}

TEST_F(InputSafety, ExtensionDxfWritesOnlyNamesNoDrawingHas) {
    settings.Set(field::FileExtension, "dxf");
    // Road.Alignment.dxf gives Road.dxf, which no drawing has: it is written,
    // and the drawings after it in the list are refused no matter what.
    Folder({"Road.Alignment.dxf", "B.dxf"}, {"Road.Alignment.dxf", "B.dxf"});
    ExpectKorvelError([&] { Run(); }, "File access denied");
    ExpectDrawingsUntouched();
    EXPECT_EQ(ReadFile(folder / "Road.dxf").substr(0, 29), "1,1.000,2.000,0.000,Road.Alig");
}

TEST_F(InputSafety, RunStoppedHalfWayLeavesEveryDrawingAsItWas) {
    Folder({"A.dxf", "B.dxf", "C.dxf"}, {"A.dxf", "B.dxf", "C.dxf"});
    host.onPump = [](test::ScriptedRunHost& h) {
        if (h.passIndex == 2 && h.pumpsInPass == 50) h.pass->RequestStop();
    };
    Run();
    ExpectDrawingsUntouched();
    EXPECT_TRUE(fs::exists(folder / "C.txt"));
}

TEST_F(InputSafety, RunFailedHalfWayLeavesEveryDrawingAsItWas) {
    Folder({"A.dxf", "C.dxf"}, {"A.dxf", "B.dxf", "C.dxf"});
    std::string bad = Drawing("B", 3);
    bad.replace(bad.find("\r\n 10\r\n2\r\n"), 10, "\r\n 10\r\n2,5\r\n");
    WriteFile(folder / "B.dxf", bad);
    before = test::FolderContents(folder);
    ExpectKorvelError([&] { Run(); }, "'2,5' is not a valid floating point value");
    ExpectDrawingsUntouched();
    EXPECT_FALSE(fs::exists(folder / "C.txt"));
}

// A data file name that is a link to a drawing must not truncate the drawing
// through the link.
TEST_F(InputSafety, DataFileNameLinkedToADrawingIsRefused) {
    Folder({"A.dxf", "B.dxf"}, {"A.dxf"});
    std::error_code ec;
    fs::create_symlink(folder / "B.dxf", folder / "A.txt", ec);
    if (ec) GTEST_SKIP() << "no symbolic links here (wine makes none): " << ec.message();
    before = test::FolderContents(folder);
    ExpectKorvelError([&] { Run(); }, "File access denied");
    ExpectDrawingsUntouched();
}

}  // namespace
}  // namespace korvel
