// The main window as the host of a run: the progress dialog shows the
// passes, the event pump keeps the window live, and the two lists come from
// the window's list mirrors.
#pragma once

#include <chrono>
#include <cstdint>

#include "run/file_list_run.h"

namespace korvel {

class TForm1;
class TForm2;

// How often the pump lets the window handle its events. Checking the clock is
// itself too dear to do on every line, so the clock is read every `stride`
// calls and events run when `interval` has passed.
struct PumpTiming {
    int stride = 256;
    std::chrono::steady_clock::duration interval = std::chrono::milliseconds(15);
};

class WindowRunHost final : public RunHost {
  public:
    WindowRunHost(TForm1& window, TForm2& progress, PumpTiming timing);

    void SetProgressCaption(std::string_view caption) override;
    void SetProgressPosition(int position) override;
    void PumpEvents() override {
        if (--countdown_ > 0) return;
        PumpWhenDue();
    }
    const std::vector<std::string>& ExportedDataFields() const override;
    const std::vector<std::string>& CodeSequence() const override;
    std::uint64_t ListsGeneration() const override;

    void ShowProgress() override;
    void HideProgress() override;
    void PassStarted(FilePass& pass, const std::string& dxfPath) override;
    void PassEnded() override;

  private:
    void PumpWhenDue();

    TForm1& window_;
    TForm2& progress_;
    PumpTiming timing_;
    int countdown_;
    std::chrono::steady_clock::time_point lastPump_;
    int position_ = -1;
};

}  // namespace korvel
