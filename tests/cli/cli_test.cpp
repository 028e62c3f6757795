// korvel-cli as a script sees it: the built program run on small drawings,
// its data files and reports against golden files, its exit statuses and
// its messages.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <set>
#include <string>

#include "cli_support.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCli = KORVEL_CLI;
const fs::path kData = KORVEL_CLI_DATA;

using korvel::clitest::Outcome;
using korvel::clitest::Q;
using korvel::clitest::ReadFile;
using korvel::clitest::WriteFile;

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

class CliTest : public ::testing::Test {
  protected:
    fs::path dir;  // the working folder, holding copies of the drawings
    fs::path captures;

    void SetUp() override {
        static std::atomic<int> counter{0};
        std::random_device rd;
        fs::path base = fs::temp_directory_path() / ("korvel-cli-test-" + std::to_string(rd()) +
                                                     "-" + std::to_string(counter++));
        dir = base / "work";
        captures = base / "captures";
        fs::create_directories(dir);
        fs::create_directories(captures);
        for (const char* name : {"survey.dxf", "comma.dxf", "header-only.dxf", "flush-left.dxf"})
            fs::copy_file(kData / name, dir / name);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir.parent_path(), ec);
    }

    // Runs the program in `dir` with `args` (already quoted where needed),
    // in the C locale so that the date-time line has a known shape.
    Outcome Run(const std::string& args, const fs::path& program = kCli) {
        return korvel::clitest::RunCaptured(Q(program.string()) + " " + args, dir, captures);
    }

    // A golden report with its folder placeholder filled in.
    std::string GoldenReport(const std::string& name) const {
        return Replace(ReadFile(kData / "golden" / name), "@DIR@", dir.string());
    }
};

// The date-time line masked: it must have the C locale's shape.
std::string MaskDate(const std::string& report) {
    std::size_t end = report.find("\r\n");
    if (end == std::string::npos) return report;
    std::string first = report.substr(0, end);
    static const std::regex shape(R"(\d\d/\d\d/\d\d( \d\d:\d\d:\d\d)?)");
    EXPECT_TRUE(std::regex_match(first, shape)) << first;
    return "@DATE@" + report.substr(end);
}

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    return text;
}

// A drawing of `count` points, the first at (0.5, 2, 3).
std::string ManyPoints(int count) {
    std::string dxf = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n";
    for (int i = 0; i < count; ++i)
        dxf += "  0\r\nPOINT\r\n  8\r\nP\r\n 10\r\n" + std::to_string(i) +
               ".5\r\n 20\r\n2.0\r\n 30\r\n3.0\r\n";
    return dxf + "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
}

// The first `n` lines of a data file, with their line ends.
std::string FirstLines(const std::string& text, int n) {
    std::size_t end = 0;
    for (int i = 0; i < n && end != std::string::npos; ++i) {
        end = text.find("\r\n", end);
        if (end != std::string::npos) end += 2;
    }
    return text.substr(0, end);
}

// ---- golden data files and reports ----

TEST_F(CliTest, DefaultSettingsWriteBesideTheDrawingAndReportOnStandardOutput) {
    Outcome o = Run("survey.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(ReadFile(dir / "survey.txt"), ReadFile(kData / "golden" / "survey.default.txt"));
    EXPECT_EQ(MaskDate(o.out), GoldenReport("report-default.txt"));
}

TEST_F(CliTest, ConfigurationFileAndReportFile) {
    // Of three files, the second has no ENTITIES and the third is missing.
    fs::create_directory(dir / "out");
    Outcome o = Run("-c " + Q((kData / "site.krv").string()) +
                    " -o out --report log.txt survey.dxf header-only.dxf missing.dxf");
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "korvel-cli: missing.dxf: No such file or directory\n");
    EXPECT_EQ(ReadFile(dir / "out" / "survey.csv"), ReadFile(kData / "golden" / "survey.site.csv"));
    EXPECT_EQ(ReadFile(dir / "out" / "header-only.csv"), "");
    EXPECT_FALSE(fs::exists(dir / "out" / "missing.csv"));
    EXPECT_FALSE(fs::exists(dir / "survey.csv"));
    EXPECT_EQ(MaskDate(ReadFile(dir / "log.txt")), GoldenReport("report-site.txt"));
}

TEST_F(CliTest, StdoutCarriesTheDataLinesAndStandardErrorTheReport) {
    Outcome o = Run("--stdout survey.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, ReadFile(kData / "golden" / "survey.default.txt"));
    EXPECT_EQ(MaskDate(o.err), GoldenReport("report-default.txt"));
    EXPECT_FALSE(fs::exists(dir / "survey.txt"));
}

TEST_F(CliTest, QuietShowsNothingAndStillConverts) {
    Outcome o = Run("-q survey.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(ReadFile(dir / "survey.txt"), ReadFile(kData / "golden" / "survey.default.txt"));
}

TEST_F(CliTest, FilesFromSeveralFoldersEachWriteBesideTheirOwnDrawing) {
    fs::create_directories(dir / "north");
    fs::create_directories(dir / "south" / "deep");
    fs::copy_file(dir / "survey.dxf", dir / "north" / "survey.dxf");
    fs::copy_file(dir / "header-only.dxf", dir / "south" / "deep" / "Site.Plan.dxf");
    Outcome o = Run("-q --report log.txt north/survey.dxf ./south/deep/../deep/Site.Plan.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(fs::exists(dir / "north" / "survey.txt"));
    EXPECT_TRUE(fs::exists(dir / "south" / "deep" / "Site.txt"));
    std::string report = ReadFile(dir / "log.txt");
    std::string north = "\r\n" + (dir / "north" / "survey.dxf").string() + "\r\n";
    std::string south = "\r\n" + (dir / "south" / "deep" / "Site.Plan.dxf").string() + "\r\n";
    EXPECT_NE(report.find(north), std::string::npos) << report;
    EXPECT_NE(report.find(south), std::string::npos) << report;
    EXPECT_LT(report.find(north), report.find(south));
}

// ---- lists ----

TEST_F(CliTest, FieldsInTheOrderGivenByNameOrFirstLetter) {
    Outcome o = Run("--stdout -q --fields Code,x,N survey.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(FirstLines(o.out, 1), "SURVEY_PTS,512345.678,1\r\n");
    o = Run("--stdout -q --fields z,Number survey.dxf");
    EXPECT_EQ(FirstLines(o.out, 1), "45.124,1\r\n");
}

TEST_F(CliTest, CodeSequenceInTheOrderGivenCaseInsensitive) {
    Outcome o =
        Run("--stdout -q --fields Code --code 'handle,LAYER,entity type' --set CodeSeparator=: "
            "--set CodePrefix=@ --set ProcessText=1 survey.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(FirstLines(o.out, 5),
              Lines({"@1A0:SURVEY_PTS:POINT", "@1A1:SURVEY_PTS:POINT", "@1A2:LABELS:TEXT",
                     "@1A3:KERB:LINE", "@1A3:KERB:LINE"}));
    // An empty sequence is allowed, as in the window.
    o = Run("--stdout -q --fields N,C --code '' survey.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(FirstLines(o.out, 1), "1,\r\n");
}

TEST_F(CliTest, NameTablesComeFromBesideTheProgram) {
    fs::path bin = dir.parent_path() / "bin";
    fs::create_directories(bin);
    fs::copy_file(kCli, bin / "korvel-cli");
    // Alone in its folder the program uses the shipped names.
    Outcome o = Run("--stdout -q --fields Number,Y survey.dxf", bin / "korvel-cli");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(FirstLines(o.out, 1), "1,6123456.789\r\n");

    WriteFile(bin / "korvel2.dat", "Nr\r\nEast\r\nNorth\r\nZ\r\nCode\r\n");
    o = Run("--stdout -q --fields North,Nr survey.dxf", bin / "korvel-cli");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(FirstLines(o.out, 1), "6123456.789,1\r\n");
    o = Run("--stdout -q --fields North survey.dxf");  // the build folder's tables
    EXPECT_EQ(o.status, 2);
}

// ---- --set limits ----

TEST_F(CliTest, TextsAreCutToTheirCapacity) {
    const std::string sixty(60, 'p');
    Outcome o = Run("--stdout -q --fields N --set NumberPrefix=" + sixty + " survey.dxf");
    EXPECT_EQ(o.out.substr(0, o.out.find("\r\n")), std::string(50, 'p') + "1");

    o = Run("-q --set FileExtension=abcdefghijkl survey.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(fs::exists(dir / "survey.abcdefghij"));

    o = Run("--stdout -q --fields Code --code Label --set LabelText=" + sixty + " survey.dxf");
    EXPECT_EQ(o.out.substr(0, o.out.find("\r\n")), std::string(50, 'p'));

    // The forced Z value is checked whole, then cut to ten characters.
    o = Run("--stdout -q --fields Z --set ForceZ=1 --set ForcedZValue=12.56789999999 survey.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.substr(0, o.out.find("\r\n")), "12.568");
}

TEST_F(CliTest, IntegersTakeTheEditSyntax) {
    auto first = [this](const std::string& value) {
        Outcome o = Run("--stdout -q --fields N --set StartNumber=" + value + " survey.dxf");
        EXPECT_EQ(o.status, 0) << value << ": " << o.err;
        return o.out.substr(0, o.out.find("\r\n"));
    };
    EXPECT_EQ(first("-5"), "-5");
    EXPECT_EQ(first("'  +7'"), "7");
    EXPECT_EQ(first("'$10'"), "16");
    EXPECT_EQ(first("0x1f"), "31");
    EXPECT_EQ(first("X1F"), "31");
    EXPECT_EQ(first("'$FFFFFFFF'"), "-1");
    EXPECT_EQ(first("2147483647"), "2147483647");
    EXPECT_EQ(first("-2147483648"), "-2147483648");
}

TEST_F(CliTest, DecimalsFromZeroToFourteen) {
    Outcome o = Run("--stdout -q --fields X,Y --set XDecimals=0 --set YDecimals=14 survey.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.substr(0, o.out.find("\r\n")), "512346,6123456.78900000000000");
}

TEST_F(CliTest, BooleansSwitchEntityTypes) {
    Outcome o =
        Run("--stdout -q --fields N,Code --code 'Entity type' --set ProcessPoints=0 "
            "--set ProcessLines=0 --set Process2DPolylines=0 --set Process3DPolylines=0 "
            "--set ProcessCircles=1 survey.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "1,CIRCLE\r\n");
}

// ---- usage errors ----

TEST_F(CliTest, UsageErrorsExitTwoWithOneLineAndTouchNothing) {
    const std::string hint = " (try 'korvel-cli --help')\n";
    const std::pair<std::string, std::string> cases[] = {
        {"", "no DXF file given"},
        {"survey.dxf ''", "empty file name"},
        {"--frobnicate survey.dxf", "unknown option '--frobnicate'"},
        {"-x survey.dxf", "unknown option '-x'"},
        {"survey.dxf -o", "option '-o' needs a value"},
        {"--quiet=1 survey.dxf", "option '--quiet' takes no value"},
        {"--stdout survey.dxf comma.dxf", "--stdout takes exactly one DXF file"},
        {"--stdout -o out survey.dxf", "--stdout and --output-dir exclude each other"},
        {"--set XDecimals=15 survey.dxf", "XDecimals must be from 0 to 14, got '15'"},
        {"--set ZDecimals=-1 survey.dxf", "ZDecimals must be from 0 to 14, got '-1'"},
        {"--set DataFieldMask=32 survey.dxf", "DataFieldMask must be from 0 to 31, got '32'"},
        {"--set StartNumber=12a survey.dxf", "StartNumber must be an integer, got '12a'"},
        {"--set StartNumber=2147483648 survey.dxf",
         "StartNumber must be an integer, got '2147483648'"},
        {"--set StartNumber=-2147483649 survey.dxf",
         "StartNumber must be an integer, got '-2147483649'"},
        {"--set 'CounterStart=$100000000' survey.dxf",
         "CounterStart must be an integer, got '$100000000'"},
        {"--set EntityNumberStart= survey.dxf", "EntityNumberStart must be an integer, got ''"},
        {"--set ProcessPoints=2 survey.dxf", "ProcessPoints must be 0 or 1, got '2'"},
        {"--set ForceZ=yes survey.dxf", "ForceZ must be 0 or 1, got 'yes'"},
        {"--set ForcedZValue=1,5 survey.dxf", "ForcedZValue must be a number, got '1,5'"},
        {"--set xdecimals=2 survey.dxf", "unknown setting 'xdecimals'"},
        {"--set XDecimals survey.dxf", "--set needs NAME=VALUE, got 'XDecimals'"},
        {"--fields Q survey.dxf", "unknown name 'Q' in --fields (names: Number, X, Y, Z, Code)"},
        {"--fields X,x survey.dxf", "'X' appears twice in --fields"},
        {"--code Layer,Colour survey.dxf",
         "unknown name 'Colour' in --code (names: Entity type, Layer, Handle, Block name, Text, "
         "Label, Counter, Entity number)"},
        {"--fields '' survey.dxf", "Please select data to export"},
        {"--set DataFieldMask=0 survey.dxf", "Please select data to export"},
        {"-qx survey.dxf", "unknown option '-x'"},
        {"-j x survey.dxf", "--jobs must be from 0 to 256, got 'x'"},
        {"--jobs=257 survey.dxf", "--jobs must be from 0 to 256, got '257'"},
        {"-qj survey.dxf", "--jobs must be from 0 to 256, got 'survey.dxf'"},
        {"-q -", "reading standard input ('-') needs --stdout"},
        {"--heights-from-text 0 survey.dxf",
         "--heights-from-text must be a positive number, got '0'"},
        {"--numbers-from-text=-2 survey.dxf",
         "--numbers-from-text must be a positive number, got '-2'"},
        {"--heights-from-text inf survey.dxf",
         "--heights-from-text must be a positive number, got 'inf'"},
        {"--height-offset x survey.dxf", "--height-offset must be a number, got 'x'"},
        {"--pairs p.csv survey.dxf", "--pairs needs --heights-from-text or --numbers-from-text"},
        {"--heights-from-text 1 --label-types POINT,Splinez survey.dxf",
         "--label-types: 'Splinez' is no entity type Korvel converts"},
        {"--heights-from-text 1 --label-types , survey.dxf",
         "--label-types: no entity type named to take labels"},
        {"--format xml survey.dxf",
         "--format must be one of text, csv, geojson, gpkg, shp, landxml, gsi16, got 'xml'"},
        {"--stdout --format gsi16 survey.dxf",
         "--stdout writes the text and csv formats only, not gsi16"},
        {"--source-crs '' survey.dxf", "option '--source-crs' needs a coordinate system"},
    };
    for (const auto& [args, message] : cases) {
        Outcome o = Run(args);
        EXPECT_EQ(o.status, 2) << args;
        EXPECT_EQ(o.err, "korvel-cli: " + message + hint) << args;
        EXPECT_EQ(o.out, "") << args;
    }
    EXPECT_FALSE(fs::exists(dir / "survey.txt"));
}

// A system that cannot be had stops the run before any file; a point the
// format cannot hold ends its drawing with the line of the point.
TEST_F(CliTest, FormatsAndSystemsFailWithTheirReason) {
    Outcome o = Run("-o out --source-crs EPSG:999999 --target-crs EPSG:25832 survey.dxf");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "korvel-cli: Unknown source coordinate system: EPSG:999999\n");
    EXPECT_FALSE(fs::exists(dir / "out"));
    o = Run("--format gsi16 --set 'NumberPrefix=P 1' survey.dxf");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "korvel-cli: " + (dir / "survey.dxf").string() +
                         ":58: The point number \"P 11\" holds \" \", which a GSI-16 word "
                         "cannot hold\n");
}

TEST_F(CliTest, HelpAndVersion) {
    Outcome o = Run("--help");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.rfind("Usage: korvel-cli [options] FILE.dxf...\n", 0), 0u);
    EXPECT_NE(o.out.find("Exit status:"), std::string::npos);
    for (const char* args : {"--version", "-V", "-qV"}) {
        o = Run(args);
        EXPECT_EQ(o.status, 0) << args;
        EXPECT_EQ(o.out, "korvel-cli " KORVEL_VERSION "\n") << args;
    }
}

TEST_F(CliTest, BundledShortOptionsReadAsSeparateOnes) {
    Outcome o = Run("-qkj2 survey.dxf -qo out header-only.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out + o.err, "");
    EXPECT_EQ(ReadFile(dir / "out" / "survey.txt"),
              ReadFile(kData / "golden" / "survey.default.txt"));
}

TEST_F(CliTest, StandardInputAsTheDrawing) {
    Outcome o = korvel::clitest::RunCaptured(Q(kCli.string()) + " --stdout - <survey.dxf", dir,
                                             captures, /*emptyInput=*/false);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, ReadFile(kData / "golden" / "survey.default.txt"));
    EXPECT_EQ(MaskDate(o.err), Replace(GoldenReport("report-default.txt"),
                                       (dir / "survey.dxf").string(), "(standard input)"));
}

TEST_F(CliTest, ForeignConfigurationIsWarnedOfAndReadAsFarAsItGoes) {
    WriteFile(dir / "notes.krv", "# not settings\n");
    Outcome o = Run("-q -c notes.krv survey.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err,
              "korvel-cli: warning: notes.krv: not a Korvel configuration of 404 bytes; read as "
              "far as it goes\n");
    o = Run("-q -c " + Q((kData / "site.krv").string()) + " survey.dxf");
    EXPECT_EQ(o.err, "");
}

TEST_F(CliTest, ClosedPipeEndsQuietlyByThePipeSignal) {
    // Far more data lines than a pipe holds; the signal ignored by the
    // caller, as some job runners leave it.
    WriteFile(dir / "big.dxf", ManyPoints(20000));
    Outcome o = korvel::clitest::RunCaptured(
        "sh -c " + Q("trap '' PIPE; (" + Q(kCli.string()) +
                     " --stdout big.dxf 2>err.txt; echo $? >status.txt) | head -c 10"),
        dir, captures);
    EXPECT_EQ(o.out, "1,0.500,2.");
    EXPECT_EQ(ReadFile(dir / "status.txt"), "141\n");
    EXPECT_EQ(ReadFile(dir / "err.txt"), "");
}

// ---- errors that end the run ----

TEST_F(CliTest, ConversionErrorEndsTheRunNamesTheFileAndWritesNoReport) {
    fs::copy_file(dir / "survey.dxf", dir / "zeta.dxf");
    Outcome o = Run("--report log.txt survey.dxf comma.dxf zeta.dxf");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "korvel-cli: " + (dir / "comma.dxf").string() +
                         ":20: '1,5' is not a valid floating point value\n");
    EXPECT_EQ(o.out, "");
    EXPECT_FALSE(fs::exists(dir / "log.txt"));
    EXPECT_TRUE(fs::exists(dir / "survey.txt"));
    EXPECT_EQ(ReadFile(dir / "comma.txt"), "1,1.000,2.000,3.000,OK\r\n");
    EXPECT_FALSE(fs::exists(dir / "zeta.txt"));
}

// ---- batches: --keep-going and --jobs ----

TEST_F(CliTest, KeepGoingPutsTheErrorInPlaceOfTheCountsAndExitsOne) {
    Outcome o = Run("--keep-going comma.dxf survey.dxf");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "korvel-cli: " + (dir / "comma.dxf").string() +
                         ":20: '1,5' is not a valid floating point value\n");
    const std::string golden = GoldenReport("report-default.txt");
    const std::string dateLines = golden.substr(0, golden.find("\r\n\r\n") + 4);
    EXPECT_EQ(MaskDate(o.out), dateLines + (dir / "comma.dxf").string() +
                                   "\r\n\r\n*** Error, '1,5' is not a valid floating point "
                                   "value ***\r\n" +
                                   golden.substr(dateLines.size()));
    // The lines before the error stay, as when the error ends the run.
    EXPECT_EQ(ReadFile(dir / "comma.txt"), "1,1.000,2.000,3.000,OK\r\n");
    EXPECT_TRUE(fs::exists(dir / "survey.txt"));
}

// Drawings converted at the same time give what one after another gives:
// report, messages, exit status and, under --keep-going, every data file.
TEST_F(CliTest, ParallelRunsMatchOneDrawingAfterAnother) {
    for (int i = 0; i < 6; ++i)
        fs::copy_file(dir / "survey.dxf", dir / ("s" + std::to_string(i) + ".dxf"));
    fs::copy_file(dir / "comma.dxf", dir / "c2.dxf");
    fs::create_directory(dir / "folder.dxf");
    // Both write Site.txt: the later, quick one must still come last.
    WriteFile(dir / "Site.Plan.dxf", ManyPoints(20000));
    fs::copy_file(dir / "header-only.dxf", dir / "Site.Survey.dxf");
    const std::string files =
        " -o out s0.dxf Site.Plan.dxf Site.Survey.dxf comma.dxf s1.dxf missing.dxf s2.dxf "
        "folder.dxf c2.dxf s3.dxf header-only.dxf s4.dxf s5.dxf";
    auto batch = [&](const std::string& options, bool withData) {
        fs::remove_all(dir / "out");
        Outcome o = Run(options + files);
        std::string result = std::to_string(o.status) + "\n" + MaskDate(o.out) + o.err;
        std::set<fs::path> written;
        for (const auto& entry : fs::directory_iterator(dir / "out")) written.insert(entry.path());
        for (const fs::path& path : written)
            if (withData) result += path.filename().string() + ":\n" + ReadFile(path);
        return result;
    };
    const std::string serial = batch("-k -j 1", true);
    EXPECT_NE(serial.rfind("1\n", 0), std::string::npos);
    for (const char* jobs : {"-k -j 3", "-k -j 0", "-kj13"}) EXPECT_EQ(batch(jobs, true), serial);
    const std::string ended = batch("-j 1", false);
    EXPECT_EQ(ended, "1\nkorvel-cli: " + (dir / "comma.dxf").string() +
                         ":20: '1,5' is not a valid floating point value\n");
    for (const char* jobs : {"-j 3", "-j 0"}) EXPECT_EQ(batch(jobs, false), ended);
}

TEST_F(CliTest, DataFileOverADrawingIsRefused) {
    const std::string before = ReadFile(dir / "survey.dxf");
    Outcome o = Run("--set FileExtension=dxf survey.dxf");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "korvel-cli: " + (dir / "survey.dxf").string() + ": File access denied\n");
    EXPECT_EQ(ReadFile(dir / "survey.dxf"), before);
}

TEST_F(CliTest, OutputFolderIsMadeWithItsParents) {
    Outcome o = Run("-q -o new/deeper survey.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_TRUE(fs::exists(dir / "new" / "deeper" / "survey.txt"));

    o = Run("-q -o survey.dxf/out survey.dxf");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "korvel-cli: Cannot create folder \"survey.dxf/out\". Not a directory\n");
}

TEST_F(CliTest, UnreadableConfigurationOrReportFile) {
    Outcome o = Run("-c none.krv survey.dxf");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "korvel-cli: Cannot open file \"none.krv\". No such file or directory\n");
    EXPECT_FALSE(fs::exists(dir / "survey.txt"));

    o = Run("--report no/log.txt survey.dxf");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "korvel-cli: Cannot create file \"no/log.txt\". No such file or directory\n");
}

TEST_F(CliTest, UnopenableFileGivesThreeAndTheRunGoesOn) {
    fs::create_directory(dir / "folder.dxf");
    Outcome o = Run("missing.dxf survey.dxf folder.dxf");
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.err,
              "korvel-cli: missing.dxf: No such file or directory\n"
              "korvel-cli: folder.dxf: Is a directory\n");
    EXPECT_TRUE(fs::exists(dir / "survey.txt"));
    EXPECT_NE(o.out.find((dir / "missing.dxf").string() +
                         "\r\n\r\n*** Error, file is used by another application ***\r\n" +
                         (dir / "survey.dxf").string()),
              std::string::npos);

    o = Run("--stdout missing.dxf");
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err.rfind("korvel-cli: missing.dxf: No such file or directory\n", 0), 0u) << o.err;
    EXPECT_NE(o.err.find("\r\n*** Error, file is used by another application ***\r\n"),
              std::string::npos)
        << o.err;
}

TEST_F(CliTest, FlushLeftGroupCodesAreReadOnlyWithAlignCodes) {
    Outcome o = Run("--stdout flush-left.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "");
    EXPECT_NE(o.err.find("\r\n*** Warning, the group codes of this file are not right-aligned"),
              std::string::npos)
        << o.err;
    o = Run("--stdout -q --align-codes flush-left.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "1,7.250,8.500,1.000,P\r\n");
}

TEST_F(CliTest, MissingZIsTakenAsZeroOnRequestAndTheReportOrErrorSaysSo) {
    WriteFile(dir / "flat.dxf",
              "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  8\nL\n 10\n1\n 20\n2\n"
              " 11\n3\n 21\n4\n  0\nTEXT\n 10\n5\n 20\n6\n  0\nENDSEC\n");
    const std::string hint =
        "*** Warning, 1 entity lacks the Z coordinate of a point and gave no point or an empty Z "
        "for it: switch on \"Take a missing Z coordinate as 0\" (korvel-cli: --missing-z) to "
        "read them ***";
    Outcome o = Run("--stdout flat.dxf");
    EXPECT_EQ(o.out, "");
    EXPECT_NE(o.err.find("\r\n" + hint + "\r\nPoints"), std::string::npos) << o.err;

    // A TEXT without Z has an empty Z: the error names its line and the cause.
    o = Run("--stdout --set ProcessText=1 flat.dxf");
    EXPECT_EQ(o.status, 1);
    const std::string path = (dir / "flat.dxf").string();
    EXPECT_EQ(o.err, "korvel-cli: " + path + ":23: '' is not a valid floating point value\n" +
                         "korvel-cli: " + path + ": " +
                         Replace(hint, "1 entity lacks", "2 entities lack") + "\n");

    o = Run("-q --stdout --missing-z --set ProcessText=1 flat.dxf");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "1,1.000,2.000,0.000,L\r\n2,3.000,4.000,0.000,L\r\n3,5.000,6.000,0.000,\r\n");
}

// ---- --preview ----

TEST_F(CliTest, PreviewDrawsTheDataFilesPointsAndNoDataLeavesTheDataOut) {
    Outcome o = Run("-q --preview p.svg survey.dxf");
    EXPECT_EQ(o.status, 0) << o.err;
    const std::string data = ReadFile(dir / "survey.txt");
    EXPECT_EQ(data, ReadFile(kData / "golden" / "survey.default.txt"));
    const std::string svg = ReadFile(dir / "p.svg");
    std::size_t circles = 0, lines = 0;
    for (std::size_t at = svg.find("<circle"); at != std::string::npos;
         at = svg.find("<circle", at + 1))
        ++circles;
    for (std::size_t at = data.find("\r\n"); at != std::string::npos;
         at = data.find("\r\n", at + 1))
        ++lines;
    EXPECT_EQ(circles, lines);
    // Each marker's title is its data line.
    EXPECT_NE(svg.find("<title>" + data.substr(0, data.find("\r\n")) + "</title>"),
              std::string::npos);
    if (std::system("command -v rsvg-convert >/dev/null 2>&1") == 0) {
        EXPECT_EQ(korvel::clitest::RunCaptured("rsvg-convert -o p.png p.svg", dir, captures).status,
                  0)
            << "malformed SVG";
    }

    fs::remove(dir / "survey.txt");
    o = Run("--no-data --preview q.svg survey.dxf");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_FALSE(fs::exists(dir / "survey.txt"));
    EXPECT_EQ(ReadFile(dir / "q.svg"), svg);

    // An error of the pass as a run tells it; no picture.
    o = Run("--no-data --preview c.svg comma.dxf");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "korvel-cli: " + (dir / "comma.dxf").string() +
                         ":20: '1,5' is not a valid floating point value\n");
    EXPECT_FALSE(fs::exists(dir / "c.svg"));

    const std::string hint = " (try 'korvel-cli --help')\n";
    EXPECT_EQ(Run("--no-data survey.dxf").err, "korvel-cli: --no-data needs --preview" + hint);
    EXPECT_EQ(Run("--preview p.svg survey.dxf comma.dxf").err,
              "korvel-cli: --preview takes exactly one DXF file, not standard input" + hint);
}

}  // namespace
