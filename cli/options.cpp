#include "cli/options.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string_view>

#include "engine/layer_patterns.h"
#include "engine/number_format.h"
#include "settings/extended_options.h"
#include "settings/korvel_error.h"
#include "settings/output_formats.h"

namespace korvel::cli {

namespace {

// The option an argument names and, for "--name=value", the attached value.
struct Split {
    std::string_view name;
    bool hasValue = false;
    std::string_view value;
};

Split SplitArgument(std::string_view arg) {
    Split s;
    if (arg.starts_with("--")) {
        std::size_t eq = arg.find('=');
        s.name = arg.substr(0, eq);
        if (eq != std::string_view::npos) {
            s.hasValue = true;
            s.value = arg.substr(eq + 1);
        }
    } else if (arg.size() > 2) {  // "-cFILE"
        s.name = arg.substr(0, 2);
        s.hasValue = true;
        s.value = arg.substr(2);
    } else {
        s.name = arg;
    }
    return s;
}

unsigned ParseJobs(const std::string& text) {
    constexpr unsigned kMaxJobs = 256;
    unsigned jobs = 0;
    bool valid = !text.empty() && text.size() <= 3;
    for (char c : text) {
        if (c < '0' || c > '9') valid = false;
        jobs = jobs * 10 + static_cast<unsigned>(c - '0');
    }
    if (!valid || jobs > kMaxJobs)
        throw UsageError("--jobs must be from 0 to " + std::to_string(kMaxJobs) + ", got '" + text +
                         "'");
    return jobs;
}

// A value that may not be empty, such as a file name.
std::string NonEmpty(const std::string& value, const char* option, const char* what) {
    if (value.empty()) throw UsageError(std::string("option '") + option + "' needs " + what);
    return value;
}

// A layer pattern list as given, once it is known to read.
std::string Patterns(const std::string& list, const char* option) {
    try {
        LayerPatterns patterns(list);
    } catch (const KorvelError& e) {
        throw UsageError(std::string(option) + ": " + e.what());
    }
    return list;
}

// A distance of the joins: a number above 0.
double Distance(const std::string& text, const char* option) {
    const std::optional<double> value = NumberValue(text);
    if (!value || !(*value > 0) || !std::isfinite(*value))
        throw UsageError(std::string(option) + " must be a positive number, got '" + text + "'");
    return *value;
}

// One option of the command line: its short letter (0: none), its long
// name, whether it takes a value, and what it sets. A flag is given the
// empty text.
struct OptionSpec {
    char letter;
    std::string_view name;
    bool takesValue;
    void (*apply)(CliOptions& o, const std::string& value);
};

constexpr OptionSpec kOptions[] = {
    {'c', "--config", true,
     [](CliOptions& o, const std::string& v) {
         o.configPath = NonEmpty(v, "--config", "a file name");
     }},
    {'o', "--output-dir", true,
     [](CliOptions& o, const std::string& v) {
         o.outputDir = NonEmpty(v, "--output-dir", "a folder");
     }},
    {0, "--fields", true,
     [](CliOptions& o, const std::string& v) {
         o.fields = v;
         o.haveFields = true;
     }},
    {0, "--code", true,
     [](CliOptions& o, const std::string& v) {
         o.code = v;
         o.haveCode = true;
     }},
    {0, "--set", true, [](CliOptions& o, const std::string& v) { o.sets.push_back(v); }},
    {0, "--report", true,
     [](CliOptions& o, const std::string& v) {
         o.reportPath = NonEmpty(v, "--report", "a file name");
     }},
    {0, "--stdout", false, [](CliOptions& o, const std::string&) { o.toStdout = true; }},
    {'q', "--quiet", false, [](CliOptions& o, const std::string&) { o.quiet = true; }},
    {'h', "--help", false, [](CliOptions& o, const std::string&) { o.help = true; }},
    {'V', "--version", false, [](CliOptions& o, const std::string&) { o.version = true; }},
    {'k', "--keep-going", false, [](CliOptions& o, const std::string&) { o.keepGoing = true; }},
    {'j', "--jobs", true, [](CliOptions& o, const std::string& v) { o.jobs = ParseJobs(v); }},
    {0, "--align-codes", false, [](CliOptions& o, const std::string&) { o.alignCodes = true; }},
    {0, "--missing-z", false, [](CliOptions& o, const std::string&) { o.missingZ = true; }},
    {0, "--preview", true,
     [](CliOptions& o, const std::string& v) {
         o.previewPath = NonEmpty(v, "--preview", "a file name");
     }},
    {0, "--no-data", false, [](CliOptions& o, const std::string&) { o.noData = true; }},
    {0, "--layers", true,
     [](CliOptions& o, const std::string& v) { o.layers = Patterns(v, "--layers"); }},
    {0, "--exclude-layers", true,
     [](CliOptions& o, const std::string& v) {
         o.excludeLayers = Patterns(v, "--exclude-layers");
     }},
    {0, "--visible-layers-only", false,
     [](CliOptions& o, const std::string&) { o.visibleLayersOnly = true; }},
    {0, "--model-space-only", false,
     [](CliOptions& o, const std::string&) { o.modelSpaceOnly = true; }},
    {0, "--attribute-number", true,
     [](CliOptions& o, const std::string& v) {
         o.attributeNumber = NonEmpty(v, "--attribute-number", "a tag");
     }},
    {0, "--attribute-z", true,
     [](CliOptions& o, const std::string& v) {
         o.attributeZ = NonEmpty(v, "--attribute-z", "a tag");
     }},
    {0, "--attribute-text", true,
     [](CliOptions& o, const std::string& v) {
         o.attributeText = NonEmpty(v, "--attribute-text", "a tag");
     }},
    {0, "--block-contents", false,
     [](CliOptions& o, const std::string&) { o.blockContents = true; }},
    {0, "--list-layers", false, [](CliOptions& o, const std::string&) { o.listLayers = true; }},
    {0, "--heights-from-text", true,
     [](CliOptions& o, const std::string& v) {
         o.heightsWithin = Distance(v, "--heights-from-text");
     }},
    {0, "--numbers-from-text", true,
     [](CliOptions& o, const std::string& v) {
         o.numbersWithin = Distance(v, "--numbers-from-text");
     }},
    {0, "--height-offset", true,
     [](CliOptions& o, const std::string& v) {
         const std::optional<double> offset = NumberValue(v);
         if (!offset) throw UsageError("--height-offset must be a number, got '" + v + "'");
         o.heightOffset = *offset;
     }},
    {0, "--label-layers", true,
     [](CliOptions& o, const std::string& v) { o.labelLayers = Patterns(v, "--label-layers"); }},
    {0, "--label-types", true,
     [](CliOptions& o, const std::string& v) { o.labelTypes = TextList(v); }},
    {0, "--label-prefixes", true,
     [](CliOptions& o, const std::string& v) { o.labelPrefixes = TextList(v); }},
    {0, "--label-units", true,
     [](CliOptions& o, const std::string& v) { o.labelUnits = TextList(v); }},
    {0, "--pairs", true,
     [](CliOptions& o, const std::string& v) {
         o.pairsPath = NonEmpty(v, "--pairs", "a file name");
     }},
    {0, "--format", true,
     [](CliOptions& o, const std::string& v) {
         if (FindOutputFormat(v) == nullptr) {
             std::string names;
             for (const OutputFormatInfo& info : AllOutputFormats())
                 names += (names.empty() ? "" : ", ") + std::string(info.name);
             throw UsageError("--format must be one of " + names + ", got '" + v + "'");
         }
         o.format = v;
     }},
    {0, "--source-crs", true,
     [](CliOptions& o, const std::string& v) {
         o.sourceCrs = NonEmpty(v, "--source-crs", "a coordinate system");
     }},
    {0, "--target-crs", true,
     [](CliOptions& o, const std::string& v) {
         o.targetCrs = NonEmpty(v, "--target-crs", "a coordinate system");
     }},
};

const OptionSpec* FindOption(std::string_view name) {
    for (const OptionSpec& spec : kOptions)
        if (spec.name == name ||
            (spec.letter != 0 && name.size() == 2 && name[0] == '-' && name[1] == spec.letter))
            return &spec;
    return nullptr;
}

// Short options that take a value; in a cluster such as "-qcFILE" the rest
// of the argument, or else the next argument, is that value.
bool TakesValue(char letter) {
    for (const OptionSpec& spec : kOptions)
        if (spec.letter == letter) return spec.takesValue;
    return false;
}

// "-qV" as "-q" "-V", "-qcFILE" as "-q" "-cFILE", as getopt reads clusters.
std::vector<std::string> SplitCluster(const std::string& arg) {
    std::vector<std::string> pieces;
    for (std::size_t k = 1; k < arg.size(); ++k) {
        if (TakesValue(arg[k])) {
            pieces.push_back("-" + arg.substr(k));
            break;
        }
        pieces.push_back(std::string("-") + arg[k]);
    }
    return pieces;
}

// The options that cannot go together, and what a run needs.
void CheckCombinations(const CliOptions& o) {
    if (o.files.empty()) throw UsageError("no DXF file given");
    if (o.toStdout && o.files.size() != 1) throw UsageError("--stdout takes exactly one DXF file");
    if (o.toStdout && !o.outputDir.empty())
        throw UsageError("--stdout and --output-dir exclude each other");
    if (!o.previewPath.empty() && (o.files.size() != 1 || o.files[0] == "-"))
        throw UsageError("--preview takes exactly one DXF file, not standard input");
    if (o.noData && o.previewPath.empty()) throw UsageError("--no-data needs --preview");
    if (o.noData && o.toStdout) throw UsageError("--no-data and --stdout exclude each other");
    if (!o.pairsPath.empty() && !o.heightsWithin && !o.numbersWithin)
        throw UsageError("--pairs needs --heights-from-text or --numbers-from-text");
    if (o.listLayers && (o.toStdout || !o.previewPath.empty()))
        throw UsageError("--list-layers writes no data: not with --stdout or --preview");
    // Standard input has no name to give a data file.
    if (!o.toStdout && std::find(o.files.begin(), o.files.end(), "-") != o.files.end())
        throw UsageError("reading standard input ('-') needs --stdout");
}

}  // namespace

CliOptions ParseArguments(const std::vector<std::string>& arguments) {
    CliOptions o;
    bool optionsEnded = false;
    std::vector<std::string> args = arguments;  // clusters of short options are split in place
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (optionsEnded || args[i].size() < 2 || args[i][0] != '-') {
            if (args[i].empty()) throw UsageError("empty file name");
            o.files.push_back(args[i]);
            continue;
        }
        if (args[i] == "--") {
            optionsEnded = true;
            continue;
        }
        if (args[i][1] != '-' && args[i].size() > 2 && !TakesValue(args[i][1])) {
            std::vector<std::string> pieces = SplitCluster(args[i]);
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
            args.insert(args.begin() + static_cast<std::ptrdiff_t>(i), pieces.begin(),
                        pieces.end());
        }
        const Split s = SplitArgument(args[i]);
        const OptionSpec* spec = FindOption(s.name);
        if (spec == nullptr) throw UsageError("unknown option '" + args[i] + "'");
        std::string value;
        if (!spec->takesValue) {
            if (s.hasValue) throw UsageError("option '" + std::string(s.name) + "' takes no value");
        } else if (s.hasValue) {
            value = s.value;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            throw UsageError("option '" + std::string(s.name) + "' needs a value");
        }
        spec->apply(o, value);
    }
    if (!o.help && !o.version) CheckCombinations(o);
    return o;
}

const char* HelpText() {
    return R"(Usage: korvel-cli [options] FILE.dxf...
Converts ASCII DXF drawings into point data files, one line per point, as the
Korvel window does with the same settings.

Options:
  -c, --config FILE.krv   settings from a configuration file (default: the
                          default settings)
  -o, --output-dir DIR    folder for the data files (default: each drawing's
                          own folder)
      --fields LIST       exported data fields in order, comma-separated, by
                          name or first letter, e.g. N,X,Y,Z or Code,X,Y
                          (default: the configuration's fields in index order)
      --code LIST         Code sequence in order, comma-separated names,
                          case-insensitive, e.g. "Layer,Entity type"
                          (default: the configuration's elements in index order)
      --set NAME=VALUE    change one setting, e.g. --set XDecimals=2
                          --set ProcessSplines=1 --set NumberPrefix=P;
                          may be repeated (see the names below)
      --report FILE       write the run report to FILE (default: standard
                          output; with --stdout, standard error)
      --stdout            write the data lines of the one DXF file to
                          standard output
      --align-codes       also read group codes that are not right-aligned
      --missing-z         take a missing Z coordinate as 0 (2D drawings that
                          leave out group 30 or 31)
      --preview FILE.svg  also draw the points of the one DXF file as a
                          picture: coloured by entity type, with a legend
                          of the counts and the extent
      --no-data           with --preview: write the picture only, no data
                          file and no report

Reading, beyond the settings (also kept in FILE.krv.toml beside a
configuration, which -c reads):
      --layers LIST       only entities on layers matching one of the
                          comma-separated patterns (* any text, ? one
                          character, [A-C] one of a set; case does not
                          matter), e.g. --layers 'SURVEY*,PTS'
      --exclude-layers LIST  no entities on layers matching a pattern
      --visible-layers-only  no entities on layers that are off or frozen
      --model-space-only  no entities in paper space
      --attribute-number TAG  an INSERT's point is numbered by its attribute
                          TAG (the Number prefix stays)
      --attribute-z TAG   an INSERT's Z is its attribute TAG, when a number
      --attribute-text TAG  the Code's text element of an INSERT is its
                          attribute TAG
      --block-contents    also the points of the entities inside inserted
                          blocks, where the drawing shows them
      --list-layers       print each drawing's layers, their state and their
                          entities by type; write no data file
      --heights-from-text DISTANCE  each point of a symbol type (POINT and
                          INSERT) takes as Z the number of the nearest TEXT or
                          MTEXT within DISTANCE ("12.37", "+12,37", "Z=12.37m")
      --numbers-from-text DISTANCE  the same for point numbers: the nearest
                          label's text takes the place of the running number
      --height-offset VALUE  added to every height a label gives
      --label-layers LIST only texts on layers matching a pattern are labels
      --label-types LIST  the types whose points take labels (default
                          POINT,INSERT; report names such as Circles too)
      --label-prefixes LIST, --label-units LIST  what may stand before and
                          after a height's number (default "Z=,H=,+" and "m")
      --pairs FILE        each pair as CSV: drawing, kind, data line, point
                          number, label text, label position, distance

Writing, beyond the settings (also kept in FILE.krv.toml):
      --format NAME       the form of the data files: text (the data lines,
                          the default), csv (the same under a header line),
                          geojson, gpkg, shp, landxml (CgPoints) or gsi16
                          (Leica GSI-16); the data files take the form's
                          extension (csv, geojson, gpkg, shp, xml, gsi),
                          or [output] extension of FILE.krv.toml
      --source-crs CRS, --target-crs CRS  the coordinate system of the
                          drawing and of the data files (EPSG:25832, a PROJ
                          string); with both, X and Y (and Z between 3D
                          systems) are moved before they are written
  -k, --keep-going        an error ends its drawing only: the report gets an
                          error line in place of its counts, the run goes on,
                          and the exit status is 1 at the end
  -j, --jobs N            convert N drawings at a time (default 1; 0: one per
                          processor core); report and exit status as with 1
  -q, --quiet             no progress bar, no report on the terminal
  -h, --help              show this help
  -V, --version           show the version

A FILE of '-' is standard input (with --stdout). Short options may be
bundled, as in -qk or -qj4.

Setting names: FieldSeparator, FileExtension, NumberPrefix, XPrefix, YPrefix,
ZPrefix, CodePrefix, LabelText (texts; prefixes and label keep 50 characters,
separators and extension 10); XDecimals, YDecimals, ZDecimals (0 to 14);
StartNumber, CounterStart, EntityNumberStart (32-bit integers, decimal or
hexadecimal after $ or 0x); DataFieldMask (0 to 31), CodeElementMask (0 to
255); ForceZ and the entity switches ProcessPoints, ProcessLines,
Process2DPolylines, Process3DPolylines, Include2DPolylineExtraPoints,
Include3DPolylineExtraPoints, ProcessSplines, IncludeSplineFitPoints,
ProcessCircles, ProcessArcs, ProcessEllipses, ProcessBlocks, ProcessText,
ProcessMText (0 or 1); ForcedZValue (a number, 10 characters kept).

Exit status: 0 every file converted; 1 an error ended the run (or, with
--keep-going, a drawing); 2 a usage error; 3 some file could not be opened
(its reason on standard error).
)";
}

}  // namespace korvel::cli
