// A data file of another form written as text through a FileSink: a file of
// its own, or an open sink (standard output) that is flushed and left open.
#pragma once

#include <memory>

#include "engine/file_sink.h"
#include "engine/point_output.h"

namespace korvel {

class TextFileSink : public RecordSink {
  public:
    void Close() override {
        if (owned_ == nullptr) return out_.Flush();
        // Taken first: after a failure here nothing is written again.
        const std::unique_ptr<FileSink> owned = std::move(owned_);
        owned->Close();
    }
    // The points so far stay in the file.
    void Abandon() noexcept override {
        if (owned_ == nullptr) return;
        try {
            owned_->Close();
        } catch (...) {
            owned_->Abandon();
        }
        owned_.reset();
    }

  protected:
    // Writes into `out`; owns it when `owned` holds it.
    TextFileSink(FileSink& out, std::unique_ptr<FileSink> owned)
        : out_(out), owned_(std::move(owned)) {}
    ~TextFileSink() override { TextFileSink::Abandon(); }

    FileSink& out_;

  private:
    std::unique_ptr<FileSink> owned_;
};

}  // namespace korvel
