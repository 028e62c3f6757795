// A source that reads another one in blocks and hands on what it makes of
// it: the binary DXF reader and the group code aligner are both one. The
// subclass turns input into output a unit (a group, a line) at a time; this
// class keeps the input block, the output made so far and the error that
// waits until the output before it is taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "engine/byte_source.h"

namespace korvel {

class TranslatingSource : public ByteSource {
  public:
    std::size_t Read(char* buffer, std::size_t capacity) final;
    std::uint64_t Size() const final { return inner_.Size(); }

  protected:
    // `offset`: the source bytes read before this reader took over, so that
    // Offset() counts from the start of the file. With `endAtCtrlZ` the input
    // ends at the first Ctrl-Z, as a text file does.
    TranslatingSource(ByteSource& inner, std::size_t blockSize, std::uint64_t offset,
                      bool endAtCtrlZ);

    // Appends the output of the next unit of input to `out`; false when the
    // input is done. A KorvelError thrown here reaches the reader once the
    // output of the units before it has been read.
    virtual bool TranslateNext(std::string& out) = 0;

    // Makes `n` input bytes available in Pending(); false when the input ends
    // first (Pending() then holds what there is).
    bool Ensure(std::size_t n);
    std::string_view Pending() const { return {in_.data() + inPos_, inEnd_ - inPos_}; }
    void Consume(std::size_t n) { inPos_ += n; }
    // The file offset of the first pending byte.
    std::uint64_t Offset() const { return consumedBefore_ + inPos_; }

  private:
    ByteSource& inner_;
    const bool endAtCtrlZ_;
    std::string in_;
    std::size_t inPos_ = 0;
    std::size_t inEnd_ = 0;
    std::uint64_t consumedBefore_;
    bool inDone_ = false;
    std::string out_;
    std::size_t outPos_ = 0;
    std::exception_ptr error_;
};

}  // namespace korvel
