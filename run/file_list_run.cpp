#include "run/file_list_run.h"

#include "run/run_report.h"
#include "settings/output_formats.h"

namespace korvel {

RunSummary CreateDataFiles(const FileListRunRequest& request, const FileListView& files,
                           const ExportSettings& settings, const NameTables& names, RunHost& host,
                           RunReport& report, const std::tm& startTime) {
    BeginRunReport(report, startTime);
    AppendOutputLines(report, request.passOptions.output);
    const std::string sourceFolder = WithTrailingSeparator(request.sourceFolder);
    const std::string destinationFolder = WithTrailingSeparator(request.destinationFolder);

    host.ShowProgress();
    RunSummary summary;
    DrawingConverter converter(settings, names, host, request.passOptions);
    const std::size_t count = files.Count();
    for (std::size_t index = 0; index < count; ++index) {
        if (!files.IsSelected(index)) continue;
        const std::string name = files.Text(index);
        DrawingJob job;
        job.dxfPath = sourceFolder + name;
        // The extension is read per file: it may be edited during the run.
        job.dataPath = destinationFolder +
                       DataFileName(name, DataFileExtension(request.passOptions.extended.output,
                                                            settings.Get(field::FileExtension)));

        host.PassStarted(converter.Pass(), job.dxfPath);
        DrawingOutcome outcome = converter.Convert(job);
        host.PassEnded();
        summary.Add(outcome);
        report.insert(report.end(), outcome.lines.begin(), outcome.lines.end());
        if (outcome.error) {
            host.HideProgress();
            std::rethrow_exception(outcome.error);
        }
    }
    return summary;
}

}  // namespace korvel
