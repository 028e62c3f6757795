// Splits a byte source into DXF lines without copying or allocating per line.
//
// Rules: a line ends at LF (a CR right before it is part of the line end); a
// CR not followed by LF is dropped from the line and does not end it; byte 26
// (Ctrl-Z) ends the file; lines may be of any length; reading at the end
// yields an empty line.
//
// The bytes come in batches of one block. Finding the line ends and telling
// the kind of every line is half the cost of reading a drawing, so once a
// source holds more than one block a read-ahead thread does that for the next
// batches while the caller works through the lines of the current one. The
// caller then only steps through a list of lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "engine/byte_source.h"
#include "engine/dxf_line_kind.h"
#include "engine/read_ahead.h"

namespace korvel {

// Byte 26 (Ctrl-Z) ends a drawing: nothing behind it is read.
inline constexpr char kCtrlZ = 26;

// Sees every line a reader hands out, in order: one more reader of the same
// pass (the preview's drawing geometry).
class LineTap {
  public:
    virtual void Line(std::string_view line) = 0;

  protected:
    ~LineTap() = default;
};

class LineReader {
  public:
    static constexpr std::size_t kBlockSize = std::size_t(1) << 18;

    explicit LineReader(ByteSource& source, std::size_t blockSize = kBlockSize);
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line, valid until the next call of Next or AtEnd. At the end:
    // an empty line. An error of the source is thrown once every line before
    // it has been read.
    std::string_view Next() {
        if (next_ == count_ && !Advance()) {
            kind_ = LineKind::Other;
            return {};
        }
        const Line& line = lines_[next_++];
        kind_ = line.kind;
        return {data_ + line.begin, line.length};
    }

    // Every line Next returns is shown to `tap` as well, in order, a batch
    // at a time as the batch is read, on the thread that reads ahead: the
    // tap's work runs beside the caller's. It may see the lines of a batch
    // or two beyond the last the caller takes. Null: to none. Set before the
    // first read, and StopReadingAhead() before the tap's results are used
    // or the tap goes. A line costs nothing more without one.
    void SetTap(LineTap* tap) { tap_ = tap; }
    // No batch is read ahead after this returns (nor shown to the tap); Next
    // is not to be called again.
    void StopReadingAhead() { batches_.Stop(); }

    // The kind of the line Next returned last.
    LineKind Kind() const { return kind_; }

    // The kind of the line Next will return, without taking that line (Other
    // at the end). The line Next returned last may be gone afterwards.
    LineKind PeekKind() { return AtEnd() ? LineKind::Other : lines_[next_].kind; }

    // The line Next will return, without taking it (empty at the end); valid
    // until the next call of Next or AtEnd.
    std::string_view PeekLine() {
        if (AtEnd()) return {};
        return {data_ + lines_[next_].begin, lines_[next_].length};
    }

    // The number (from 1) of the line Next returned last; 0 before the first.
    std::uint64_t LineNumber() const { return linesBefore_ + next_; }

    // True when no byte is left (it may have to wait for the next batch to know).
    bool AtEnd() { return next_ == count_ && !Advance(); }

    // Bytes of the source taken up by the lines read so far, line ends included.
    std::uint64_t ConsumedBytes() const {
        return base_ + (next_ < count_ ? lines_[next_].begin : batchEnd_);
    }

  private:
    // Offsets within a batch's bytes; a batch never grows beyond 4 GiB.
    struct Line {
        std::uint32_t begin;
        std::uint32_t length;
        LineKind kind;
    };

    struct Batch {
        std::string bytes;  // the block plus slack for the line-end masks
        std::vector<Line> lines;
        std::uint64_t base = 0;  // source offset of bytes[0]
        std::size_t end = 0;     // offset just after the last line
        bool last = false;       // no batch follows
        std::exception_ptr error;
    };

    // Moves to the next batch that holds a line; false at the end.
    bool Advance();
    void Take(Batch& batch);

    // The producing side: fills a batch with the next lines; true when more
    // follow. Only ever runs on one thread at a time.
    bool Fill(Batch& batch);
    void SplitLines(Batch& batch, std::size_t& start, std::size_t& scanned, std::size_t size,
                    bool loneCr);
    void AddLine(Batch& batch, std::size_t begin, std::size_t end, bool loneCr);

    ByteSource& source_;
    const std::size_t blockSize_;
    const std::size_t maxLines_;  // per batch
    std::string carry_;           // bytes after the last line of the batch filled last
    std::uint64_t carryBase_ = 0;
    bool exhausted_ = false;

    // Declared after what Fill uses: its thread stops before those go.
    ReadAhead<Batch> batches_;

    // The caller's side: the batch being read.
    Batch* current_ = nullptr;
    const char* data_ = nullptr;
    const Line* lines_ = nullptr;
    std::size_t next_ = 0;
    std::size_t count_ = 0;
    std::uint64_t base_ = 0;
    std::size_t batchEnd_ = 0;
    LineKind kind_ = LineKind::Other;
    std::uint64_t linesBefore_ = 0;  // lines of the batches before the current one
    LineTap* tap_ = nullptr;
};

}  // namespace korvel
