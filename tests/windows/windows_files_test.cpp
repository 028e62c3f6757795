// What only Windows has: file names in UTF-16 beyond the local code page,
// share modes between programs, and file names that match in any letter case.
#define WIN32_LEAN_AND_MEAN
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "engine/byte_source.h"
#include "run/file_list_run.h"
#include "run/reliability_support.h"
#include "run/run_report.h"
#include "settings/path_text.h"
#include "support/test_support.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::ExpectKorvelError;
using test::ReadFile;
using test::WriteFile;

const std::string kDrawing =
    test::Dxf({"  0", "SECTION", "  2", "ENTITIES", "  0", "POINT", "  8", "PTS", " 10", "1", " 20",
               "2", " 30", "3", "  0", "ENDSEC", "  0", "EOF"});
const std::string kData = "1,1.000,2.000,3.000,PTS\r\n";

class WindowsFiles : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::string folder = PathText(dir.path());
    ExportSettings settings = test::DefaultSettings();
    NameTables names = ShippedNameTables();
    test::ListOfFiles list;
    test::ScriptedRunHost host;
    RunReport report;

    std::string InFolder(const std::string& name) const { return folder + '\\' + name; }
    void Run() {
        FileListRunRequest request;
        request.sourceFolder = folder;
        request.destinationFolder = folder;
        CreateDataFiles(request, list, settings, names, host, report, std::tm{});
    }
};

TEST_F(WindowsFiles, NamesBeyondTheCodePageConvert) {
    // Greek, CJK and an emoji, which UTF-16 holds as a surrogate pair.
    folder = InFolder("Μετρήσεις 測量 📐");
    fs::create_directory(PathFromText(folder));
    WriteFile(PathFromText(InFolder("σημεία_点🌍.dxf")), kDrawing);
    list.items = {{"σημεία_点🌍.dxf", true}};
    Run();
    EXPECT_EQ(report[2], InFolder("σημεία_点🌍.dxf"));
    EXPECT_EQ(report[4], "Points          : 1");
    // Named in UTF-16 by the test itself, not through the core's conversion.
    EXPECT_EQ(ReadFile(dir.path() / L"Μετρήσεις 測量 📐" / L"σημεία_点🌍.txt"), kData);
}

TEST_F(WindowsFiles, DrawingHeldOpenForWritingIsUsedByAnotherApplication) {
    WriteFile(dir / "A.dxf", kDrawing);
    list.items = {{"A.dxf", true}};
    const std::wstring drawing = (dir / "A.dxf").wstring();
    const HANDLE writer =
        CreateFileW(drawing.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    Run();
    CloseHandle(writer);
    EXPECT_EQ(report, (RunReport{report[0], "", InFolder("A.dxf"), "",
                                 "*** Error, file is used by another application ***"}));
    EXPECT_FALSE(fs::exists(dir / "A.txt"));

    // A program that only reads the drawing shares it.
    const HANDLE reader = CreateFileW(drawing.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    Run();
    CloseHandle(reader);
    EXPECT_EQ(report[4], "Points          : 1");
    EXPECT_EQ(ReadFile(dir / "A.txt"), kData);
}

TEST_F(WindowsFiles, DataFileThatNamesTheDrawingInOtherLettersIsRefused) {
    // SURVEY.txt is SURVEY.TXT on Windows: the drawing itself.
    WriteFile(dir / "SURVEY.TXT", kDrawing);
    list.items = {{"SURVEY.TXT", true}};
    ExpectKorvelError([&] { Run(); }, "File access denied");
    EXPECT_EQ(ReadFile(dir / "SURVEY.TXT"), kDrawing);

    FileSource source;
    ASSERT_TRUE(source.Open(dir / "SURVEY.TXT"));
    EXPECT_TRUE(source.SameFileAs(PathFromText(folder + "/survey.txt")));
    WriteFile(dir / "other.txt", kDrawing);
    EXPECT_FALSE(source.SameFileAs(dir / "other.txt"));
}

}  // namespace
}  // namespace korvel
