// The "Create Data Files" command and the window as the run's host.
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>

#include "output/point_outputs.h"
#include "run/run_report.h"
#include "ui/dxf_file_list.h"
#include "ui/text_bytes.h"
#include "ui/unit2.h"
#include "ui/window_run_host.h"
#include "ui/xyz1.h"

namespace korvel {

namespace {

// The file list as it stood when the run began. The window stays live during
// a run, and a folder picked in the tree meanwhile reads the list afresh;
// the run goes on with the files, the selection and the folders it started
// with.
class FrozenFileList final : public FileListView {
  public:
    explicit FrozenFileList(const DxfFileList& list) {
        const int n = list.count();
        names_.reserve(static_cast<std::size_t>(n));
        selected_.reserve(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            names_.push_back(ToPathBytes(list.item(i)->text()));
            selected_.push_back(list.item(i)->isSelected());
        }
    }
    std::size_t Count() const override { return names_.size(); }
    bool IsSelected(std::size_t index) const override { return selected_[index]; }
    std::string Text(std::size_t index) const override { return names_[index]; }

  private:
    std::vector<std::string> names_;
    std::vector<bool> selected_;
};

}  // namespace

WindowRunHost::WindowRunHost(TForm1& window, TForm2& progress, PumpTiming timing)
    : window_(window),
      progress_(progress),
      timing_(timing),
      countdown_(timing.stride),
      lastPump_(std::chrono::steady_clock::now()) {}

void WindowRunHost::PumpWhenDue() {
    countdown_ = timing_.stride;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPump_ < timing_.interval) return;
    lastPump_ = now;
    QCoreApplication::processEvents();
}

void WindowRunHost::SetProgressCaption(std::string_view caption) {
    progress_.Label1->setText(FromPathBytes(caption));
}

void WindowRunHost::SetProgressPosition(int position) {
    if (position == position_) return;
    position_ = position;
    progress_.ProgressBar1->setValue(position);
}

const std::vector<std::string>& WindowRunHost::ExportedDataFields() const {
    return window_.ExportedDataFields();
}

const std::vector<std::string>& WindowRunHost::CodeSequence() const {
    return window_.CodeSequence();
}

std::uint64_t WindowRunHost::ListsGeneration() const {
    return window_.ListsGeneration();
}

void WindowRunHost::ShowProgress() {
    progress_.ShowCentred();
}

void WindowRunHost::HideProgress() {
    progress_.SetCurrentPass(nullptr);
    progress_.hide();
}

void WindowRunHost::PassStarted(FilePass& pass, const std::string&) {
    progress_.SetCurrentPass(&pass);
}

void WindowRunHost::PassEnded() {
    progress_.SetCurrentPass(nullptr);
}

void TForm1::BitBtn1Click() {
    // One run at a time: a click delivered while a run pumps events is refused.
    if (running_) return;
    Guarded([&] {
        if (ListBox2->count() == 0) {
            platform_.boxes.Information(this, QStringLiteral("Please select data to export"));
            return;
        }
        CreateDataFiles();
    });
    if (endAfterRun_) {
        endAfterRun_ = false;
        emit ProgramEndRequested();
    }
}

void TForm1::CreateDataFiles() {
    struct RunFlag {
        bool& flag;
        explicit RunFlag(bool& f) : flag(f) { flag = true; }
        ~RunFlag() { flag = false; }
    } runFlag(running_);

    FileListRunRequest request;
    request.sourceFolder = ToPathBytes(fl1->Folder());
    request.destinationFolder = ToPathBytes(Edit1->text());
    request.passOptions = ReadingPassOptions();
    // The form and the systems are checked before any file is written.
    const std::unique_ptr<PointOutput> output = MakePointOutput(config_.options.output);
    request.passOptions.output = output.get();
    WindowRunHost host(*this, *progress_, pumpTiming);
    const FrozenFileList files(*fl1);
    try {
        korvel::CreateDataFiles(request, files, config_.settings, names_, host, runReport_,
                                CurrentLocalTime());
        WriteRunReport(runReport_, ToPath(reportPath_));
        if (ShowReport) platform_.opener.OpenTextDocument(reportPath_);
    } catch (...) {
        // The pass has closed its files; the dialog goes, the error is shown.
        host.HideProgress();
        throw;
    }
    host.HideProgress();
}

}  // namespace korvel
