// Splits a byte source into DXF lines without copying or allocating per line.
//
// Rules: a line ends at LF (a CR right before it is part of the line end); a
// CR not followed by LF is dropped from the line and does not end it; byte 26
// (Ctrl-Z) ends the file; lines may be of any length; reading at the end
// yields an empty line.
//
// The bytes come in batches of one block. Finding the line ends and tagging
// every line (with the caller's classifier) is half the cost of reading a
// drawing, so once a source holds more than one block a read-ahead thread
// does that for the next batches while the caller works through the lines of
// the current one. The caller then only steps through a list of lines.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/byte_source.h"

namespace korvel {

class LineReader {
  public:
    static constexpr std::size_t kBlockSize = std::size_t(1) << 18;
    // Gives each line a small number the caller chooses; it runs on the
    // read-ahead thread, so it must depend on the line alone.
    using Classifier = std::uint8_t (*)(std::string_view line);

    explicit LineReader(ByteSource& source, std::size_t blockSize = kBlockSize,
                        Classifier classify = nullptr);
    // Stops the read-ahead thread, also when the caller stops early.
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line, valid until the next call of Next or AtEnd. At the end:
    // an empty line. An error of the source is thrown once every line before
    // it has been read.
    std::string_view Next() {
        if (next_ == count_ && !Advance()) {
            tag_ = endTag_;
            return {};
        }
        const Line& line = lines_[next_++];
        tag_ = line.tag;
        return {data_ + line.begin, line.length};
    }

    // The classifier's tag of the line Next returned last.
    std::uint8_t Tag() const { return tag_; }

    // The tag of the line Next will return, without taking that line (the
    // end tag at the end). The line Next returned last may be gone afterwards.
    std::uint8_t PeekTag() { return AtEnd() ? endTag_ : lines_[next_].tag; }

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
        std::uint8_t tag;
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
    void StartReadAhead();
    void ReadAhead();

    // The producing side: fills a batch with the next lines. Only ever runs
    // on one thread at a time.
    void Fill(Batch& batch);
    void SplitLines(Batch& batch, std::size_t& start, std::size_t& scanned, std::size_t size,
                    bool loneCr);
    void AddLine(Batch& batch, std::size_t begin, std::size_t end, bool loneCr);

    ByteSource& source_;
    const Classifier classify_;
    const std::size_t blockSize_;
    const std::size_t maxLines_;  // per batch
    std::string carry_;           // bytes after the last line of the batch filled last
    std::uint64_t carryBase_ = 0;
    bool exhausted_ = false;

    static constexpr std::size_t kBatches = 3;
    std::array<Batch, kBatches> batches_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable filled_;
    std::condition_variable freed_;
    std::uint64_t filledCount_ = 0;    // batches handed to the caller in all
    std::uint64_t releasedCount_ = 0;  // batches the caller is done with
    bool stopping_ = false;

    // The caller's side: the batch being read.
    Batch* current_ = nullptr;
    std::uint64_t taken_ = 0;
    const char* data_ = nullptr;
    const Line* lines_ = nullptr;
    std::size_t next_ = 0;
    std::size_t count_ = 0;
    std::uint64_t base_ = 0;
    std::size_t batchEnd_ = 0;
    std::uint8_t tag_ = 0;
    std::uint64_t linesBefore_ = 0;  // lines of the batches before the current one
    const std::uint8_t endTag_;
};

}  // namespace korvel
