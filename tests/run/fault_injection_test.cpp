// Failures injected around a run: folders that vanish or cannot be written,
// a full disk, a report that cannot be written, drawings that vanish or are
// folders, configuration files that cannot be read. Each must give its
// error text, close every file, keep the data files finished before it
// whole, and leave the drawings as they were.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "engine/file_pass.h"
#include "run/file_list_run.h"
#include "run/reliability_support.h"
#include "run/run_report.h"
#include "settings/export_settings.h"
#include "support/test_support.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::ExpectKorvelError;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::string kOpenError(kOpenErrorLine);

// The system's words for creating a file where a folder is, or below a file.
#ifdef _WIN32
const std::string kIsADirectory = "Permission denied";
const std::string kNotADirectory = "No such file or directory";
#else
const std::string kIsADirectory = "Is a directory";
const std::string kNotADirectory = "Not a directory";
#endif

// `count` POINTs on layer PTS at x = 1, 2, ...
std::string PointsDrawing(int count) {
    std::vector<std::string> lines = {"  0", "SECTION", "  2", "ENTITIES"};
    for (int i = 1; i <= count; ++i)
        lines.insert(lines.end(), {"  0", "POINT", "  8", "PTS", " 10", std::to_string(i), " 20",
                                   "2", " 30", "0"});
    lines.insert(lines.end(), {"  0", "ENDSEC", "  0", "EOF"});
    return test::Dxf(lines);
}

std::string PointsData(int count) {
    std::string data;
    for (int i = 1; i <= count; ++i)
        data += std::to_string(i) + "," + std::to_string(i) + ".000,2.000,0.000,PTS\r\n";
    return data;
}

#ifndef _WIN32
bool RunningAsRoot() {
    return ::geteuid() == 0;
}

// Whether creating a file in `folder` is refused with "access denied" kinds
// of errors, which is what a folder that cannot be written gives.
bool CreationDenied(const fs::path& folder) {
    const fs::path probe = folder / "korvel-probe.txt";
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(probe.c_str());
        return false;
    }
    return errno == EACCES || errno == EPERM || errno == EROFS;
}
#endif

class FaultInjection : public ::testing::Test {
  protected:
    TempDir dir;
    fs::path source = dir / "source";
    fs::path destination = dir / "out";
    ExportSettings settings = test::DefaultSettings();
    NameTables names = ShippedNameTables();
    test::ListOfFiles list;
    test::ScriptedRunHost host;
    RunReport report;
    int descriptors = 0;
    std::map<std::string, std::string> drawings;

    void SetUp() override {
        fs::create_directories(source);
        fs::create_directories(destination);
    }
    void AddDrawing(const std::string& name, const std::string& content) {
        WriteFile(source / name, content);
        list.items.push_back({name, true});
    }
    // Runs into `to`, remembering the drawings and open descriptors first.
    void Run(const fs::path& to) {
        drawings = test::FolderContents(source);
        descriptors = test::OpenDescriptorCount();
        FileListRunRequest request;
        request.sourceFolder = source.string();
        request.destinationFolder = to.string();
        CreateDataFiles(request, list, settings, names, host, report, std::tm{});
    }
    void Run() { Run(destination); }
    // After a run that ended in an error: nothing open, no drawing changed,
    // the progress display hidden again.
    void ExpectCleanEnding() {
        EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
        EXPECT_EQ(test::FolderContents(source), drawings);
        EXPECT_FALSE(host.progressShown);
    }
};

// ---- destination folder ----

TEST_F(FaultInjection, DestinationFolderRemovedDuringTheRunEndsItAtTheNextFile) {
    AddDrawing("A.dxf", PointsDrawing(3));
    AddDrawing("B.dxf", PointsDrawing(3));
    // The folder goes away (a removed stick) while A is read; A's data file
    // is already open and is finished in the folder's new place.
    const fs::path moved = dir / "moved";
    host.onPump = [&](test::ScriptedRunHost& h) {
        if (h.passIndex == 1 && h.pumpsInPass == 2) fs::rename(destination, moved);
    };
    ExpectKorvelError([&] { Run(); }, "Invalid filename");
    ExpectCleanEnding();
    EXPECT_EQ(ReadFile(moved / "A.txt"), PointsData(3));
    EXPECT_FALSE(fs::exists(destination));
    EXPECT_EQ(report.back(), "");
    EXPECT_EQ(report[report.size() - 2], (source / "B.dxf").string());
}

TEST_F(FaultInjection, DestinationThatIsAFileGivesInvalidFilename) {
    AddDrawing("A.dxf", PointsDrawing(1));
    WriteFile(dir / "plain-file", "not a folder");
    ExpectKorvelError([&] { Run(dir / "plain-file"); }, "Invalid filename");
    ExpectCleanEnding();
    EXPECT_EQ(ReadFile(dir / "plain-file"), "not a folder");
}

TEST_F(FaultInjection, DestinationFolderThatCannotBeWrittenGivesAccessDenied) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no permission bits that refuse new files in a folder";
#else
    AddDrawing("A.dxf", PointsDrawing(1));
    fs::path readOnly;
    if (!RunningAsRoot()) {
        readOnly = destination;
        fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
    } else if (CreationDenied("/sys")) {
        // Root writes through any permission bits; sysfs refuses new files even to root.
        readOnly = "/sys";
    } else {
        GTEST_SKIP() << "running as root and no folder here refuses root's writes";
    }
    ExpectKorvelError([&] { Run(readOnly); }, "File access denied");
    ExpectCleanEnding();
    fs::permissions(destination, fs::perms::owner_all);
#endif
}

TEST_F(FaultInjection, DataFileNameTakenByAFolderGivesAccessDenied) {
    AddDrawing("A.dxf", PointsDrawing(2));
    AddDrawing("B.dxf", PointsDrawing(2));
    fs::create_directories(destination / "B.txt");
    ExpectKorvelError([&] { Run(); }, "File access denied");
    ExpectCleanEnding();
    EXPECT_EQ(ReadFile(destination / "A.txt"), PointsData(2));
    EXPECT_TRUE(fs::is_directory(destination / "B.txt"));
}

// ---- a full disk ----

TEST_F(FaultInjection, DiskFullWhileWritingASecondDataFileKeepsTheFirstWhole) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no device like /dev/full; the sink's write limit below stands in";
#endif
    AddDrawing("A.dxf", PointsDrawing(3));
    AddDrawing("B.dxf", PointsDrawing(3));
    AddDrawing("C.dxf", PointsDrawing(3));
    // /dev/full takes the file open, then refuses every byte for want of space.
    fs::create_symlink("/dev/full", destination / "B.txt");
    ExpectKorvelError([&] { Run(); }, "Disk full");
    ExpectCleanEnding();
    EXPECT_EQ(ReadFile(destination / "A.txt"), PointsData(3));
    EXPECT_FALSE(fs::exists(destination / "C.txt"));
    EXPECT_EQ(report[report.size() - 2], (source / "B.dxf").string());
}

TEST(DiskFull, SinkLimitEndsThePassWithExactlyTheBytesThatFitted) {
    TempDir dir;
    // Enough points that the sink's buffer is written out during the pass.
    const std::string drawing = PointsDrawing(20000);
    const std::string full = PointsData(20000);
    ASSERT_GT(full.size(), 600000u);
    constexpr std::uint64_t kLimit = 300001;

    ExportSettings settings = test::DefaultSettings();
    NameTables names = ShippedNameTables();
    FixedListsHost host({"Number", "X", "Y", "Z", "Code"}, {"Layer"});
    RunReport report;
    FilePass pass(settings, names, host, report);
    MemorySource source(drawing);
    FileSink sink;
    sink.Create(dir / "A.txt");
    sink.SetWriteLimitForTesting(kLimit);
    ExpectKorvelError([&] { pass.ConvertStream(source, sink, "A.dxf"); }, "Disk full");
    sink.Close();
    EXPECT_EQ(ReadFile(dir / "A.txt"), full.substr(0, kLimit));
    EXPECT_TRUE(report.empty());

    // The limit holds through the final flush as well.
    FileSink last;
    last.Create(dir / "B.txt");
    last.SetWriteLimitForTesting(10);
    last.Write("1,2,3\r\n4,5,6\r\n");
    ExpectKorvelError([&] { last.Close(); }, "Disk full");
    EXPECT_FALSE(last.IsOpen());
    EXPECT_EQ(ReadFile(dir / "B.txt"), "1,2,3\r\n4,5");
}

TEST(FileSink, WritesOfEverySizeArriveInOrderThroughTheWriterThread) {
    TempDir dir;
    // Many buffers' worth, in pieces from one byte to more than a buffer, so
    // that both the hand-over and the direct write of large pieces are taken.
    std::string expected;
    FileSink sink;
    sink.Create(dir / "A.txt");
    std::uint32_t state = 12345;
    for (int i = 0; i < 400; ++i) {
        state = state * 1103515245u + 12345u;
        std::size_t size = (i % 50 == 49) ? 300000 + state % 1000 : 1 + state % 9000;
        std::string piece(size, static_cast<char>('a' + i % 26));
        piece.back() = '\n';
        sink.Write(piece);
        expected += piece;
    }
    sink.Close();
    EXPECT_EQ(ReadFile(dir / "A.txt"), expected);
}

// ---- the report file ----

TEST_F(FaultInjection, ReportFileThatCannotBeWrittenGivesCannotCreateAfterTheDataFiles) {
    AddDrawing("A.dxf", PointsDrawing(2));
    Run();
    // The report's place is taken by a folder: refused to root as well.
    const fs::path reportPath = dir / "KorvelLog.txt";
    fs::create_directories(reportPath);
    ExpectKorvelError([&] { WriteRunReport(report, reportPath); },
                      "Cannot create file \"" + reportPath.string() + "\". " + kIsADirectory);
    const fs::path underFile = source / "A.dxf" / "KorvelLog.txt";
    ExpectKorvelError([&] { WriteRunReport(report, underFile); },
                      "Cannot create file \"" + underFile.string() + "\". " + kNotADirectory);
    EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
    EXPECT_EQ(ReadFile(destination / "A.txt"), PointsData(2));
    EXPECT_EQ(test::FolderContents(source), drawings);
}

// ---- drawings that vanish or are no files ----

TEST_F(FaultInjection, DrawingDeletedAfterListingIsReportedAndTheRunGoesOn) {
    AddDrawing("A.dxf", PointsDrawing(1));
    AddDrawing("B.dxf", PointsDrawing(1));
    AddDrawing("C.dxf", PointsDrawing(2));
    host.onPump = [&](test::ScriptedRunHost& h) {
        if (h.passIndex == 1 && h.pumpsInPass == 1) fs::remove(source / "B.dxf");
    };
    Run();
    EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
    EXPECT_EQ(ReadFile(destination / "A.txt"), PointsData(1));
    EXPECT_FALSE(fs::exists(destination / "B.txt"));
    EXPECT_EQ(ReadFile(destination / "C.txt"), PointsData(2));
    const RunReport counts = test::ExpectedFileLines({}, settings, {.Points = 2});
    RunReport expected = {report[0], "", (source / "A.dxf").string(), ""};
    for (const auto& l : test::ExpectedFileLines({}, settings, {.Points = 1}))
        expected.push_back(l);
    expected.insert(expected.end(),
                    {(source / "B.dxf").string(), "", kOpenError, (source / "C.dxf").string(), ""});
    expected.insert(expected.end(), counts.begin(), counts.end());
    EXPECT_EQ(report, expected);
}

TEST_F(FaultInjection, DrawingThatIsAFolderIsReportedLikeOneThatCannotBeOpened) {
    fs::create_directories(source / "Folder.dxf");
    list.items.push_back({"Folder.dxf", true});
    AddDrawing("B.dxf", PointsDrawing(1));
    Run();
    EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
    EXPECT_FALSE(fs::exists(destination / "Folder.txt"));
    EXPECT_EQ(ReadFile(destination / "B.txt"), PointsData(1));
    ASSERT_GE(report.size(), 7u);
    EXPECT_EQ(report[2], (source / "Folder.dxf").string());
    EXPECT_EQ(report[4], kOpenError);
    EXPECT_EQ(report[5], (source / "B.dxf").string());
    EXPECT_TRUE(fs::is_directory(source / "Folder.dxf"));
}

// ---- configuration files ----

class UnreadableConfiguration : public ::testing::Test {
  protected:
    TempDir dir;
    Configuration config;
    SettingsImage image{}, snapshot{};

    void SetUp() override {
        config.SetDefaultSettings();
        config.settings.Set(field::XPrefix, "edited");  // unsaved, must survive
        image = config.settings.image;
        snapshot = config.snapshot;
    }
    void ExpectUnchanged() {
        EXPECT_TRUE(config.settings.image == image);
        EXPECT_TRUE(config.snapshot == snapshot);
    }
};

TEST_F(UnreadableConfiguration, FolderGivesCannotOpenAndChangesNothing) {
    const fs::path path = dir / "folder.krv";
    fs::create_directories(path);
    bool shown = false;
    ExpectKorvelError([&] { config.LoadConfigurationFile(path, [&] { shown = true; }); },
                      "Cannot open file \"" + path.string() + "\". Is a directory");
    EXPECT_FALSE(shown);
    ExpectUnchanged();
}

TEST_F(UnreadableConfiguration, MissingOrUnderAFileGivesCannotOpenAndChangesNothing) {
    const fs::path missing = dir / "missing.krv";
    ExpectKorvelError([&] { config.LoadConfigurationFile(missing); },
                      "Cannot open file \"" + missing.string() + "\". No such file or directory");
    WriteFile(dir / "plain", "x");
    const fs::path under = dir / "plain" / "a.krv";
    ExpectKorvelError([&] { config.LoadConfigurationFile(under); },
                      "Cannot open file \"" + under.string() + "\". " + kNotADirectory);
    ExpectUnchanged();
}

TEST_F(UnreadableConfiguration, UnreadableFileChangesNothing) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has neither permission bits that refuse reading nor /proc";
#else
    if (!RunningAsRoot()) {
        const fs::path path = dir / "locked.krv";
        WriteFile(path, std::string(404, '\x7f'));
        fs::permissions(path, fs::perms::none);
        ExpectKorvelError([&] { config.LoadConfigurationFile(path); },
                          "Cannot open file \"" + path.string() + "\". Permission denied");
    } else {
        // Root opens anything; this file opens but every read of it fails.
        ExpectKorvelError([&] { config.LoadConfigurationFile("/proc/self/mem"); },
                          "File access denied");
    }
    ExpectUnchanged();
#endif
}

}  // namespace
}  // namespace korvel
