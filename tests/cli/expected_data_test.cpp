// korvel-cli against the data that an independent reading of the conversion
// rules gives for every real drawing: data files byte for byte, the outcome
// with its exact error text, and the count lines of the report.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli_support.h"

namespace {

namespace fs = std::filesystem;
using korvel::clitest::Q;
using korvel::clitest::ReadFile;

const fs::path kCli = KORVEL_CLI;
// scripts/windows.sh holds korvel-cli.exe against the same data under wine:
// KORVEL_CLI_COMMAND is the command that runs it, KORVEL_CLI_DRIVE the drive
// that shows the Linux root, where a drawing goes by its Windows name.
const char* const kCliCommand = std::getenv("KORVEL_CLI_COMMAND");
const char* const kCliDrive = std::getenv("KORVEL_CLI_DRIVE");

std::string Cli() {
    return kCliCommand != nullptr ? kCliCommand : Q(kCli.string());
}

// A path as korvel-cli names it.
std::string Spelt(const fs::path& path) {
    std::string text = path.string();
    if (kCliDrive == nullptr) return text;
    for (char& c : text)
        if (c == '/') c = '\\';
    return kCliDrive + text;
}
// Normalised, as korvel-cli names the drawing in its messages.
const fs::path kCorpus = fs::weakly_canonical(KORVEL_CORPUS_DIR);
const fs::path kExpected = kCorpus.parent_path() / "expected";

// The report's count labels, in the column order of results.tsv.
const char* const kCountLabels[] = {"Points",  "Circles",      "Arcs",           "Ellipses",
                                    "Blocks",  "Lines",        "2D Polylines",   "3D Polylines",
                                    "Splines", "Single texts", "Multiline texts"};

struct Expectation {
    std::string drawing;  // relative to the corpus folder
    bool ok = true;
    std::string error;
    std::vector<std::string> counts;  // one per label, empty after an error
};

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        cells.push_back(line.substr(start, tab - start));
    cells.push_back(line.substr(start));
    return cells;
}

std::vector<Expectation> ReadResults(const fs::path& tsv) {
    std::istringstream in(ReadFile(tsv));
    std::vector<Expectation> rows;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::vector<std::string> cells = SplitTabs(line);
        cells.resize(3 + std::size(kCountLabels));
        rows.push_back({cells[0], cells[1] == "ok", cells[2], {cells.begin() + 3, cells.end()}});
    }
    return rows;
}

// "Label : n" lines of a report, by label.
std::map<std::string, std::string> CountLines(const std::string& report) {
    std::map<std::string, std::string> counts;
    std::istringstream in(report);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t colon = line.find(" : ");
        if (colon == std::string::npos || line.starts_with("***")) continue;
        counts[line.substr(0, line.find_last_not_of(' ', colon) + 1)] = line.substr(colon + 3);
    }
    return counts;
}

// A run names the data file after the drawing up to its first ".".
std::string DataName(const std::string& drawing, const std::string& extension) {
    const fs::path p(drawing);
    const std::string name = p.filename().string();
    return (p.parent_path() / (name.substr(0, name.find('.')) + "." + extension)).string();
}

// Where drawings share a data file name, each also has a file of its own,
// named after its whole name.
std::string OwnDataName(const std::string& drawing, const std::string& extension) {
    return fs::path(drawing).replace_extension(extension).string();
}

void HoldCorpusAgainst(const std::string& profile, const std::string& configArgs,
                       const std::string& extension, const std::vector<int>& tickedCounts) {
    const fs::path expected = kExpected / profile;
    if (!fs::exists(expected / "results.tsv") || !fs::is_directory(kCorpus))
        GTEST_SKIP() << "expected corpus data not found at " << expected;
    const std::vector<Expectation> rows = ReadResults(expected / "results.tsv");
    ASSERT_GT(rows.size(), 100u);

    // Drawings whose data files share a name left the expected folder the
    // last one's file, as a run over the folder would.
    std::map<std::string, std::string> lastWriter;
    std::map<std::string, int> writers;
    for (const Expectation& row : rows) {
        lastWriter[DataName(row.drawing, extension)] = row.drawing;
        ++writers[DataName(row.drawing, extension)];
    }

    const fs::path work = fs::temp_directory_path() /
                          ("korvel-expected-" + profile + "-" + std::to_string(::getpid()));
    int checked = 0, dataFiles = 0, ownFiles = 0, errors = 0;
    for (const Expectation& row : rows) {
        SCOPED_TRACE(profile + ": " + row.drawing);
        fs::remove_all(work);
        fs::create_directories(work / "out");
        fs::create_directories(work / "captured");
        const fs::path drawing = kCorpus / row.drawing;
        const auto o = korvel::clitest::RunCaptured(
            Cli() + configArgs + " -o out " + Q(Spelt(drawing)), work, work / "captured");

        const std::string dataName = DataName(row.drawing, extension);
        const std::string ownName = OwnDataName(row.drawing, extension);
        const std::string data = ReadFile(work / "out" / fs::path(dataName).filename());
        if (lastWriter[dataName] == row.drawing) {
            EXPECT_TRUE(data == ReadFile(expected / dataName)) << "data file differs";
            ++dataFiles;
        }
        if (writers[dataName] > 1) {
            EXPECT_TRUE(fs::exists(expected / ownName)) << ownName;
            EXPECT_TRUE(data == ReadFile(expected / ownName))
                << "data file differs from " << ownName;
            ++ownFiles;
        }

        if (!row.ok) {
            EXPECT_EQ(o.status, 1);
            // The error's exact text told against the drawing and the line
            // of its value; hint lines may follow.
            const std::string first = o.err.substr(0, o.err.find('\n'));
            const std::string prefix = "korvel-cli: " + Spelt(drawing) + ":";
            const std::size_t text = first.find(": ", prefix.size());
            EXPECT_TRUE(first.starts_with(prefix) && text != std::string::npos &&
                        first.find_first_not_of("0123456789", prefix.size()) == text &&
                        first.substr(text + 2) == row.error)
                << o.err;
            ++errors;
            continue;
        }
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.err, "");
        const auto counts = CountLines(o.out);
        std::map<std::string, std::string> want;
        for (int i : tickedCounts) want[kCountLabels[i]] = row.counts[i];
        EXPECT_EQ(counts, want);
        ++checked;
    }
    fs::remove_all(work);
    EXPECT_GT(checked, 0);
    std::printf(
        "[ corpus   ] %s: %zu drawings, %d data files, %d of their own name, %d error texts, "
        "%d reports\n",
        profile.c_str(), rows.size(), dataFiles, ownFiles, errors, checked);
}

TEST(ExpectedCorpusData, DefaultSettings) {
    // Points, Lines, 2D and 3D polylines are ticked by default.
    HoldCorpusAgainst("defaults", "", "txt", {0, 5, 6, 7});
}

TEST(ExpectedCorpusData, EveryEntityTypeAndField) {
    HoldCorpusAgainst("every-type", " -c " + Q((kExpected / "every-type.krv").string()), "csv",
                      {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
}

// A Python that has ezdxf, the peer this reader is held against; empty when
// none is installed.
std::string PythonWithEzdxf(const fs::path& work) {
    for (const char* python : {"/usr/bin/python3", "python3"})
        if (korvel::clitest::RunCaptured(std::string(python) + " -c 'import ezdxf'", work, work)
                .status == 0)
            return python;
    return {};
}

TEST(ExpectedCorpusData, BinaryDrawingsGiveTheLinesOfTheirAsciiForm) {
    if (!fs::is_directory(kCorpus)) GTEST_SKIP() << "corpus of real drawings not found";
    const fs::path work =
        fs::temp_directory_path() / ("korvel-binary-" + std::to_string(::getpid()));
    fs::create_directories(work);
    const std::string python = PythonWithEzdxf(work);
    if (python.empty()) GTEST_SKIP() << "python3 with ezdxf (Debian python3-ezdxf) not installed";
    // ezdxf gives entities without a handle one when it writes them: the
    // second layout leaves the handle out of the Code.
    const std::string layouts[] = {
        "", " -c " + Q((kExpected / "every-type.krv").string()) +
                " --code 'Entity type,Layer,Block name,Text,Label,Counter,Entity number'"};
    int binaries = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kCorpus)) {
        if (!entry.is_regular_file() ||
            !ReadFile(entry.path())
                 .starts_with(std::string_view("AutoCAD Binary DXF\r\n\x1a\0", 22)))
            continue;
        SCOPED_TRACE(entry.path().string());
        ++binaries;
        const fs::path ascii = work / "ascii.dxf";
        ASSERT_EQ(
            korvel::clitest::RunCaptured(
                python +
                    " -c 'import sys, ezdxf; ezdxf.readfile(sys.argv[1]).saveas(sys.argv[2])' " +
                    Q(entry.path().string()) + " " + Q(ascii.string()),
                work, work)
                .status,
            0);
        for (const std::string& layout : layouts) {
            const auto binary = korvel::clitest::RunCaptured(
                Cli() + layout + " --stdout " + Q(Spelt(entry.path())), work, work);
            const auto text = korvel::clitest::RunCaptured(
                Cli() + layout + " --stdout " + Q(Spelt(ascii)), work, work);
            EXPECT_EQ(binary.status, 0) << binary.err;
            EXPECT_EQ(binary.out, text.out);
            EXPECT_NE(binary.err.find("*** Note, binary DXF file"), std::string::npos);
        }
    }
    fs::remove_all(work);
    EXPECT_GE(binaries, 5);
}

}  // namespace
