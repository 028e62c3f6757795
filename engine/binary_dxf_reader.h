// Reads binary DXF: the group stream of a binary drawing handed on as the
// text lines an ASCII DXF of the same drawing holds, so that everything after
// it reads both forms alike.
//
// Each group becomes two lines: the code right-aligned in three columns and
// the value as text (reals in their shortest round-trip decimal form,
// integers in decimal, binary chunks in hexadecimal). It streams: only the
// group being turned into text is held.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "engine/byte_source.h"

namespace korvel {

// The 22 bytes a binary DXF file begins with.
inline constexpr std::string_view kBinaryDxfSentinel{"AutoCAD Binary DXF\r\n\x1a\0", 22};

// Hands on the first bytes of a source again after they were looked at, so
// that the form of a drawing can be told before it is read.
class SniffedSource final : public ByteSource {
  public:
    explicit SniffedSource(ByteSource& inner);
    // The first bytes, as many as the sentinel has (fewer for a shorter source).
    std::string_view Head() const { return head_; }
    bool IsBinaryDxf() const { return head_ == kBinaryDxfSentinel; }

    std::size_t Read(char* buffer, std::size_t capacity) override;
    std::uint64_t Size() const override { return inner_.Size(); }

  private:
    ByteSource& inner_;
    std::string head_;
    std::size_t replayed_ = 0;
};

class BinaryDxfReader final : public ByteSource {
  public:
    // `inner` stands just after the sentinel.
    explicit BinaryDxfReader(ByteSource& inner);

    // Throws KorvelError for a file cut off inside a group or a text without end.
    std::size_t Read(char* buffer, std::size_t capacity) override;
    std::uint64_t Size() const override { return inner_.Size(); }

  private:
    // Appends the next group's two lines to out_; false at the end of the input.
    bool TranslateGroup();
    // Makes `n` bytes available from inPos_ on; false when the input ends first.
    bool Ensure(std::size_t n);
    std::uint64_t Offset() const { return consumedBefore_ + inPos_; }
    [[noreturn]] void CutOff(int code, std::uint64_t groupStart) const;

    ByteSource& inner_;
    std::string in_;
    std::size_t inPos_ = 0;
    std::size_t inEnd_ = 0;
    std::uint64_t consumedBefore_;  // source bytes before in_[0]
    bool inDone_ = false;
    bool wideCodes_ = false;  // two-byte group codes (every release after R12)
    bool formKnown_ = false;
    std::string out_;
    std::size_t outPos_ = 0;
    std::exception_ptr error_;  // thrown once the lines before it are taken
};

}  // namespace korvel
