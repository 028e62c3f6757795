// The command line of korvel-cli.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace korvel::cli {

// A mistake on the command line: exit status 2 with a one-line hint.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct CliOptions {
    std::string configPath;  // empty: the default settings
    std::string outputDir;   // empty: each drawing's own folder
    bool haveFields = false;
    std::string fields;  // --fields LIST as given
    bool haveCode = false;
    std::string code;               // --code LIST as given
    std::vector<std::string> sets;  // NAME=VALUE, in command line order
    std::string reportPath;         // empty: standard output (standard error with --stdout)
    bool toStdout = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    bool alignCodes = false;
    bool missingZ = false;
    bool keepGoing = false;   // an error ends its drawing only
    unsigned jobs = 1;        // drawings at a time; 0: one per processor core
    std::string previewPath;  // --preview FILE.svg; empty: none
    bool noData = false;      // with --preview: no data file, no report
    // The options beyond the record, each over what the configuration says.
    std::optional<std::string> layers, excludeLayers;  // pattern lists
    bool visibleLayersOnly = false;
    bool modelSpaceOnly = false;
    std::optional<std::string> attributeNumber, attributeZ, attributeText;  // tags
    bool blockContents = false;
    bool listLayers = false;  // print each drawing's layers, write no data file
    // Heights and numbers from labels.
    std::optional<double> heightsWithin, numbersWithin, heightOffset;
    std::optional<std::string> labelLayers;
    std::optional<std::vector<std::string>> labelTypes, labelPrefixes, labelUnits;
    std::string pairsPath;  // --pairs FILE; empty: none
    // The form of the data files and the coordinate systems.
    std::optional<std::string> format, sourceCrs, targetCrs;
    std::vector<std::string> files;  // "-": standard input
};

// Throws UsageError. Help and version end the parsing checks early: with
// either of them no file is needed.
CliOptions ParseArguments(const std::vector<std::string>& args);

const char* HelpText();

}  // namespace korvel::cli
