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
#include "run/batch_run.h"
#include "settings/export_settings.h"
#include "settings/korvel_error.h"

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

// The files of the command line, in the order given; each keeps its own folder.
class CommandLineFiles final : public FileListView {
  public:
    explicit CommandLineFiles(const std::vector<std::string>& args) {
        for (const std::string& arg : args) {
            std::filesystem::path p = std::filesystem::absolute(arg).lexically_normal();
            if (!p.has_filename() && p.has_relative_path()) p = p.parent_path();
            items_.push_back({p.parent_path().string(), p.filename().string()});
        }
    }
    std::size_t Count() const override { return items_.size(); }
    bool IsSelected(std::size_t) const override { return true; }
    std::string Text(std::size_t index) const override { return items_[index].name; }
    std::string Folder(std::size_t index) const override { return items_[index].folder; }
    std::string FullPath(std::size_t index) const {
        return WithTrailingSeparator(items_[index].folder) + items_[index].name;
    }

  private:
    struct Item {
        std::string folder, name;
    };
    std::vector<Item> items_;
};

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

    const NameTables names = LoadNameTables(ProgramFolder(argc > 0 ? argv[0] : nullptr));
    Configuration config;
    config.SetDefaultSettings();
    if (!options.configPath.empty()) {
        try {
            config.LoadConfigurationFile(options.configPath);
        } catch (const KorvelError& e) {
            return Failure(e.what());
        }
    }
    ExportSettings& settings = config.settings;

    std::vector<std::string> fields, code;
    try {
        for (const std::string& assignment : options.sets) ApplySetting(settings, assignment);
        fields = options.haveFields ? ResolveFieldList(options.fields, names)
                                    : DefaultFieldList(settings, names);
        code = options.haveCode ? ResolveCodeList(options.code, names)
                                : DefaultCodeList(settings, names);
    } catch (const UsageError& e) {
        return Usage(e.what());
    }
    // The window's own check before a run.
    if (fields.empty()) return Usage("Please select data to export");

    std::FILE* progress = (!options.quiet && IsTerminal(stderr)) ? stderr : nullptr;
    TerminalRunHost host(std::move(fields), std::move(code), progress, options.files.size());
    RunReport report;
    BatchRunSummary summary;
    try {
        const CommandLineFiles files(options.files);
        PassOptions passOptions;
        passOptions.alignGroupCodes = options.alignCodes;
        if (options.toStdout) {
            FileSink out;
            out.Attach(1);
            summary = CreateDataStream(files.FullPath(0), out, passOptions, settings, names, host,
                                       report, CurrentLocalTime());
        } else {
            BatchRunRequest request;
            request.destinationFolder = options.outputDir;
            request.destinationFollowsSource = options.outputDir.empty();
            request.passOptions = passOptions;
            summary =
                CreateDataFiles(request, files, settings, names, host, report, CurrentLocalTime());
        }
    } catch (const std::exception& e) {
        // The error's own text, told against the file whose pass it ended.
        if (host.CurrentFile().empty()) return Failure(e.what());
        return Failure(host.CurrentFile() + ": " + e.what());
    }
    host.HideProgress();

    if (!options.reportPath.empty()) {
        try {
            WriteRunReport(report, options.reportPath);
        } catch (const KorvelError& e) {
            return Failure(e.what());
        }
    } else if (!options.quiet) {
        const std::string text = FormatRunReport(report);
        std::FILE* out = options.toStdout ? stderr : stdout;
        std::fwrite(text.data(), 1, text.size(), out);
    }
    if (std::fflush(stdout) != 0) return Failure("standard output: " + SystemErrorText(errno));
    return summary.filesNotOpened > 0 ? kSomeNotOpened : kAllConverted;
}

}  // namespace
}  // namespace korvel::cli

int main(int argc, char** argv) {
    // The date-time line of the report follows the user's date and time
    // formats, as in the window; numbers stay unaffected.
    std::setlocale(LC_TIME, "");
    return korvel::cli::Run(argc, argv);
}
