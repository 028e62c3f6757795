// korvel-cli: the batch run of the window for scripts and servers, on the same
// core, so its data files and report lines are the window's byte for byte.
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/platform.h"
#include "cli/setting_args.h"
#include "cli/terminal_host.h"
#include "engine/label_join.h"
#include "engine/point_preview.h"
#include "engine/preview_svg.h"
#include "output/gis_module.h"
#include "output/point_outputs.h"
#include "run/drawing_conversion.h"
#include "run/layer_listing.h"
#include "run/parallel_run.h"
#include "run/run_report.h"
#include "settings/export_settings.h"
#include "settings/korvel_error.h"
#include "settings/path_text.h"
#include "settings/program_layout.h"
#include "settings/whole_file.h"

#ifndef KORVEL_VERSION
#define KORVEL_VERSION "unknown"
#endif

namespace korvel::cli {
namespace {

enum ExitStatus { kAllConverted = 0, kRunError = 1, kUsage = 2, kSomeNotOpened = 3 };

int Usage(const std::string& message) {
    std::fprintf(stderr, "korvel-cli: %s (try 'korvel-cli --help')\n", message.c_str());
    return kUsage;
}

int Failure(const std::string& message) {
    std::fprintf(stderr, "korvel-cli: %s\n", message.c_str());
    return kRunError;
}

// The message for an error that ended the pass over `dxfPath`: the error's
// own text, told against that file and the line of its value, as compilers
// do, then what the pass knows of the likely cause, a line each.
std::string PassErrorMessage(const std::string& dxfPath, const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const DrawingError& e) {
        std::string message = dxfPath;
        if (e.Line() != 0) message += ":" + std::to_string(e.Line());
        message += std::string(": ") + e.what();
        for (const std::string& hint : e.Hints())
            message += "\nkorvel-cli: " + dxfPath + ": " + hint;
        return message;
    } catch (const std::exception& e) {
        return dxfPath + ": " + e.what();
    } catch (...) {
        return dxfPath + ": unknown error";
    }
}

const char* const kStandardInputName = "(standard input)";

// The drawings of the command line, in the order given; each data file goes
// beside its drawing or into the output folder.
std::vector<DrawingJob> CommandLineDrawings(const CliOptions& options, std::string_view extension) {
    std::vector<DrawingJob> jobs;
    for (const std::string& arg : options.files) {
        DrawingJob job;
        job.labelPairs = !options.pairsPath.empty();
        if (arg == "-") {
            job.dxfPath = kStandardInputName;
        } else {
            std::filesystem::path p =
                std::filesystem::absolute(PathFromText(arg)).lexically_normal();
            if (!p.has_filename() && p.has_relative_path()) p = p.parent_path();
            const std::string folder = WithTrailingSeparator(PathText(p.parent_path()));
            const std::string name = PathText(p.filename());
            job.dxfPath = folder + name;
            job.dataPath =
                (options.outputDir.empty() ? folder : WithTrailingSeparator(options.outputDir)) +
                DataFileName(name, extension);
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}

// Progress on the terminal, and on standard error a line for each drawing
// that could not be opened or whose pass ended in an error, in the order given.
class CommandLineRun final : public ParallelRunObserver {
  public:
    CommandLineRun(const CliOptions& options, const std::vector<DrawingJob>& drawings,
                   TerminalProgress& progress)
        : options_(options), drawings_(drawings), progress_(progress) {}

    void Progress(std::size_t index, std::string_view caption, int position) override {
        progress_.Show(index, caption, position);
    }
    void Finished(std::size_t index, const DrawingOutcome& outcome) override {
        progress_.Clear();
        for (const LabelPairRow& row : outcome.labelPairs)
            pairs.emplace_back(drawings_[index].dxfPath, row);
        const std::string& given = options_.files[index];
        const std::string name = given == "-" ? kStandardInputName : given;
        if (outcome.openFailed)
            std::fprintf(stderr, "korvel-cli: %s: %s\n", name.c_str(), outcome.openFailure.c_str());
        if (outcome.error) Failure(PassErrorMessage(drawings_[index].dxfPath, outcome.error));
    }

    std::vector<std::pair<std::string, LabelPairRow>> pairs;

  private:
    const CliOptions& options_;
    const std::vector<DrawingJob>& drawings_;
    TerminalProgress& progress_;
};

// The picture of --preview: a pass of its own over the one drawing, with the
// lists and settings of the run, and the SVG written from its points.
int WritePreview(const CliOptions& options, const std::string& dxfPath,
                 const ExportSettings& settings, const NameTables& names,
                 const std::vector<std::string>& fields, const std::vector<std::string>& code,
                 const PassOptions& passOptions) {
    FixedListsHost host(fields, code);
    PointPreview preview;
    preview.Compose(settings, names, fields, code);
    std::error_code size;
    preview.ExpectDrawingSize(std::filesystem::file_size(PathFromText(dxfPath), size));
    // The drawing's own geometry, to be drawn behind the points.
    preview.CollectGeometry();
    try {
        if (!PreviewDrawing(dxfPath, settings, names, host, passOptions, preview)) {
            std::fprintf(stderr, "korvel-cli: %s: %s\n", options.files[0].c_str(),
                         OpenFailureReason(PathFromText(dxfPath)).c_str());
            return kSomeNotOpened;
        }
    } catch (...) {
        return Failure(PassErrorMessage(dxfPath, std::current_exception()));
    }
    try {
        WriteWholeFile(PathFromText(options.previewPath),
                       PreviewSvg(preview, FileNamePart(dxfPath)), WriteFailure::CannotCreate);
    } catch (const KorvelError& e) {
        return Failure(e.what());
    }
    return kAllConverted;
}

// A configuration file is read however long it is, as the window reads it;
// one of another size is most likely not a configuration at all.
void WarnOfForeignConfiguration(const std::string& path) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(PathFromText(path), ec);
    if (!ec && size != sizeof(SettingsImage))
        std::fprintf(stderr,
                     "korvel-cli: warning: %s: not a Korvel configuration of %zu bytes; read as "
                     "far as it goes\n",
                     path.c_str(), kSettingsImageSize);
}

// The settings of the run: the defaults or the configuration file, then the
// --set assignments; and the two lists, from the command line or as the
// window shows them after loading. A result other than kAllConverted ends
// the run with that status.
struct RunSettings {
    Configuration config;
    std::vector<std::string> fields, code;
};

// The reading options of the command line over those of the configuration.
void ApplyReadingOptions(const CliOptions& options, ExtendedOptions& extended) {
    if (options.layers) extended.layers.include = *options.layers;
    if (options.excludeLayers) extended.layers.exclude = *options.excludeLayers;
    if (options.visibleLayersOnly) extended.layers.visibleOnly = true;
    if (options.modelSpaceOnly) extended.layers.modelSpaceOnly = true;
    if (options.attributeNumber) extended.attributes.number = *options.attributeNumber;
    if (options.attributeZ) extended.attributes.z = *options.attributeZ;
    if (options.attributeText) extended.attributes.text = *options.attributeText;
    if (options.blockContents) extended.blockContents = true;
    LabelOptions& labels = extended.labels;
    if (options.heightsWithin) labels.heightsWithin = *options.heightsWithin;
    if (options.numbersWithin) labels.numbersWithin = *options.numbersWithin;
    if (options.heightOffset) labels.heightOffset = *options.heightOffset;
    if (options.labelLayers) labels.layers = *options.labelLayers;
    if (options.labelTypes) labels.pointTypes = *options.labelTypes;
    if (options.labelPrefixes) labels.prefixes = *options.labelPrefixes;
    if (options.labelUnits) labels.units = *options.labelUnits;
    if (options.format) extended.output.format = *options.format;
    if (options.sourceCrs) extended.output.sourceCrs = *options.sourceCrs;
    if (options.targetCrs) extended.output.targetCrs = *options.targetCrs;
}

// --list-layers: each drawing's path, then its layers as LayerListingText
// has them, and an empty line.
int ListDrawingLayers(const CliOptions& options, const std::vector<DrawingJob>& jobs,
                      const NameTables& names, const PassOptions& passOptions) {
    int status = kAllConverted;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        std::vector<LayerCensus::Layer> layers;
        try {
            if (!ListLayers(jobs[i].dxfPath, names, passOptions, layers)) {
                std::fprintf(stderr, "korvel-cli: %s: %s\n", options.files[i].c_str(),
                             OpenFailureReason(PathFromText(jobs[i].dxfPath)).c_str());
                status = kSomeNotOpened;
                continue;
            }
        } catch (...) {
            Failure(PassErrorMessage(jobs[i].dxfPath, std::current_exception()));
            return kRunError;
        }
        const std::string text = jobs[i].dxfPath + "\n" + LayerListingText(layers) + "\n";
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
    if (std::fflush(stdout) != 0) return Failure("standard output: " + SystemErrorText(errno));
    return status;
}

int LoadRunSettings(const CliOptions& options, const NameTables& names, RunSettings& run) {
    run.config.SetDefaultSettings();
    if (!options.configPath.empty()) {
        WarnOfForeignConfiguration(options.configPath);
        try {
            run.config.LoadConfigurationFile(PathFromText(options.configPath));
        } catch (const KorvelError& e) {
            return Failure(e.what());
        }
    }
    ExportSettings& settings = run.config.settings;
    try {
        for (const std::string& assignment : options.sets) ApplySetting(settings, assignment);
        run.fields = options.haveFields ? ResolveFieldList(options.fields, names)
                                        : DefaultFieldList(settings, names);
        run.code = options.haveCode ? ResolveCodeList(options.code, names)
                                    : DefaultCodeList(settings, names);
    } catch (const UsageError& e) {
        return Usage(e.what());
    }
    // The window's own check before a run.
    if (run.fields.empty()) return Usage("Please select data to export");
    ApplyReadingOptions(options, run.config.options);
    try {
        LabelJoin check(run.config.options.labels);
    } catch (const KorvelError& e) {
        return Usage(std::string("--label-types: ") + e.what());
    }
    return kAllConverted;
}

int MakeOutputFolder(const CliOptions& options) {
    if (options.outputDir.empty()) return kAllConverted;
    std::error_code ec;
    std::filesystem::create_directories(PathFromText(options.outputDir), ec);
    if (ec)
        return Failure("Cannot create folder \"" + options.outputDir + "\". " +
                       SystemErrorText(ec.value()));
    return kAllConverted;
}

// The report to its file, or to the terminal unless quiet.
int PutReport(const CliOptions& options, const RunReport& report) {
    if (!options.reportPath.empty()) {
        try {
            WriteRunReport(report, PathFromText(options.reportPath));
        } catch (const KorvelError& e) {
            return Failure(e.what());
        }
    } else if (!options.quiet) {
        const std::string text = FormatRunReport(report);
        std::FILE* stream = options.toStdout ? stderr : stdout;
        std::fwrite(text.data(), 1, text.size(), stream);
    }
    if (std::fflush(stdout) != 0) return Failure("standard output: " + SystemErrorText(errno));
    return kAllConverted;
}

int Run(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CliOptions options;
    try {
        options = ParseArguments(args);
    } catch (const UsageError& e) {
        return Usage(e.what());
    }
    if (options.help) {
        std::fputs(HelpText(), stdout);
        return kAllConverted;
    }
    if (options.version) {
        std::printf("korvel-cli %s\n", KORVEL_VERSION);
        return kAllConverted;
    }

    const ProgramLayout layout = FindProgramLayout(ProgramFolder(argc > 0 ? argv[0] : nullptr));
    const NameTables names = LoadNameTables(layout.dataFolder);
    UseGisModuleFolder(layout.moduleFolder);
    RunSettings run;
    if (const int status = LoadRunSettings(options, names, run); status != kAllConverted)
        return status;
    const ExportSettings& settings = run.config.settings;
    // The form and the systems are checked before any file is written.
    std::unique_ptr<PointOutput> output;
    const OutputOptions& outputOptions = run.config.options.output;
    if (!options.listLayers && !options.noData) {
        if (options.toStdout && outputOptions.format != "text" && outputOptions.format != "csv")
            return Usage("--stdout writes the text and csv formats only, not " +
                         outputOptions.format);
        try {
            output = MakePointOutput(outputOptions);
        } catch (const KorvelError& e) {
            return Failure(e.what());
        }
    }
    if (const int status = options.listLayers ? kAllConverted : MakeOutputFolder(options);
        status != kAllConverted)
        return status;

    std::vector<DrawingJob> jobs = CommandLineDrawings(
        options, DataFileExtension(outputOptions, settings.Get(field::FileExtension)));
    StandardInput input;
    FileSink standardOutput;
    if (options.toStdout) {
        standardOutput.Attach(1);
        jobs[0].sink = &standardOutput;
        if (options.files[0] == "-") jobs[0].source = &input;
    }
    ParallelRunOptions runOptions;
    runOptions.jobs = options.jobs;
    runOptions.keepGoing = options.keepGoing;
    runOptions.passOptions.alignGroupCodes = options.alignCodes;
    runOptions.passOptions.missingZAsZero = options.missingZ;
    runOptions.passOptions.extended = run.config.options;
    runOptions.passOptions.output = output.get();
    if (options.listLayers) return ListDrawingLayers(options, jobs, names, runOptions.passOptions);

    if (options.noData)
        return WritePreview(options, jobs[0].dxfPath, settings, names, run.fields, run.code,
                            runOptions.passOptions);

    TerminalProgress progress((!options.quiet && IsTerminal(stderr)) ? stderr : nullptr,
                              jobs.size());
    CommandLineRun observer(options, jobs, progress);
    RunReport report;
    const RunSummary summary = ConvertDrawings(jobs, settings, names, run.fields, run.code,
                                               runOptions, observer, report, CurrentLocalTime());
    progress.Clear();
    // Without --keep-going an error ends the run: no report, as in the window.
    if (summary.filesFailed > 0 && !options.keepGoing) return kRunError;
    if (const int status = PutReport(options, report); status != kAllConverted) return status;
    if (!options.pairsPath.empty()) {
        try {
            WriteWholeFile(PathFromText(options.pairsPath), LabelPairsCsv(observer.pairs),
                           WriteFailure::CannotCreate);
        } catch (const KorvelError& e) {
            return Failure(e.what());
        }
    }
    if (summary.filesFailed > 0) return kRunError;
    if (summary.filesNotOpened > 0) return kSomeNotOpened;
    if (!options.previewPath.empty())
        return WritePreview(options, jobs[0].dxfPath, settings, names, run.fields, run.code,
                            runOptions.passOptions);
    return kAllConverted;
}

}  // namespace
}  // namespace korvel::cli

int main(int argc, char** argv) {
    // The date-time line of the report follows the user's date and time
    // formats, as in the window; numbers stay unaffected.
    std::setlocale(LC_TIME, "");
    korvel::cli::EndQuietlyOnClosedPipe();
    korvel::cli::UseBinaryStandardStreams();
    korvel::cli::CommandLine arguments(argc, argv);
    return korvel::cli::Run(arguments.Count(), arguments.Values());
}
