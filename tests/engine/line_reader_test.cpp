#include "engine/line_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "settings/korvel_error.h"

namespace korvel {
namespace {

std::vector<std::string> Lines(const std::string& bytes, std::size_t block = 16) {
    MemorySource source(bytes);
    LineReader reader(source, block);
    std::vector<std::string> lines;
    while (!reader.AtEnd()) lines.emplace_back(reader.Next());
    return lines;
}

using V = std::vector<std::string>;

TEST(LineReader, LineEndsAndControlBytes) {
    EXPECT_EQ(Lines("a\r\nb\nc"), (V{"a", "b", "c"}));
    // A CR not followed by LF is dropped and does not end the line.
    EXPECT_EQ(Lines("ab\rcd\r\nef\r\r\n"), (V{"abcd", "ef"}));
    EXPECT_EQ(Lines("lone\r"), (V{"lone"}));
    // Ctrl-Z ends the file, wherever it stands.
    EXPECT_EQ(Lines("  0\r\nLI\x1aNE\r\nmore\r\n"), (V{"  0", "LI"}));
    EXPECT_EQ(Lines("\x1a  0\r\n"), V{});
    // Nothing is trimmed; empty lines are lines.
    EXPECT_EQ(Lines(" 10 \r\n\r\n\n x"), (V{" 10 ", "", "", " x"}));
}

TEST(LineReader, LinesAcrossAndBeyondTheBuffer) {
    std::string longLine(1000, 'x');
    for (std::size_t block : {std::size_t(16), std::size_t(17), std::size_t(1) << 20}) {
        EXPECT_EQ(Lines("ab\r\n" + longLine + "\r\ncd\r", block), (V{"ab", longLine, "cd"}))
            << block;
        // A CR LF split over two blocks.
        std::string s(block - 1, 'y');
        EXPECT_EQ(Lines(s + "\r\nz", block), (V{s, "z"})) << block;
        // A lone CR as the last byte of a block, and lone CRs in later blocks only.
        EXPECT_EQ(Lines(s + "\rx\ny", block), (V{s + "x", "y"})) << block;
        EXPECT_EQ(Lines(longLine + "\n1\r2\n3\r", block), (V{longLine, "12", "3"})) << block;
    }
}

// The line rules written the plainest way, to hold the reader against.
std::vector<std::string> ReferenceLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string line;
    bool pending = false;  // bytes after the last LF, CRs included
    for (char c : bytes.substr(0, bytes.find('\x1a'))) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
            pending = false;
        } else {
            if (c != '\r') line += c;
            pending = true;
        }
    }
    if (pending) lines.push_back(line);
    return lines;
}

TEST(LineReader, AgreesWithTheRulesOnRandomBytes) {
    std::mt19937 random(20261208);
    const char alphabet[] = {'\n', '\n', '\r', 'a', ' ', '0', '\x1a'};
    for (int round = 0; round < 400; ++round) {
        std::string bytes;
        const int length = static_cast<int>(random() % 400);
        const bool withCtrlZ = round % 4 == 0;
        // Long stretches without a line end as well as dense ones.
        const int spread = 1 + static_cast<int>(random() % 80);
        for (int i = 0; i < length; ++i) {
            char c = 'x';
            if (static_cast<int>(random() % spread) == 0)
                c = alphabet[random() % (withCtrlZ ? 7 : 6)];
            bytes += c;
        }
        for (std::size_t block : {std::size_t(16), std::size_t(63), std::size_t(64),
                                  std::size_t(65), std::size_t(1) << 20})
            EXPECT_EQ(Lines(bytes, block), ReferenceLines(bytes)) << round << " " << block;
    }
}

// The offset just after each line's end, the way the rules count bytes.
std::vector<std::uint64_t> ReferenceEnds(const std::string& bytes) {
    std::vector<std::uint64_t> ends;
    const std::string text = bytes.substr(0, bytes.find('\x1a'));
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') ends.push_back(i + 1);
    if (!text.empty() && text.back() != '\n') ends.push_back(text.size());
    return ends;
}

TEST(LineReader, KindsNumbersAndOffsetsOfManyBatches) {
    // Enough lines for many batches of a small block, the read-ahead thread
    // included; lone CRs in some stretches only.
    std::mt19937 random(7);
    const char* const dxf[] = {"  0", " 10", "LINE", "VERTEX", "ENTITIES", " 30", "ARC"};
    std::string bytes;
    for (int i = 0; i < 20000; ++i) {
        if (random() % 2 == 0)
            bytes += dxf[random() % std::size(dxf)];
        else
            bytes += std::string(random() % 12, static_cast<char>('a' + random() % 26));
        if (i % 997 == 0) bytes += '\r';
        bytes += (random() % 3 == 0) ? "\n" : "\r\n";
    }
    bytes += "tail";
    const std::vector<std::string> expected = ReferenceLines(bytes);
    const std::vector<std::uint64_t> ends = ReferenceEnds(bytes);
    for (std::size_t block : {std::size_t(16), std::size_t(100), std::size_t(4096)}) {
        MemorySource source(bytes);
        LineReader reader(source, block);
        std::size_t i = 0;
        for (; !reader.AtEnd(); ++i) {
            ASSERT_LT(i, expected.size());
            ASSERT_EQ(reader.PeekKind(), ClassifyLine(expected[i]));
            const std::string line(reader.Next());
            ASSERT_EQ(line, expected[i]) << block << " line " << i;
            ASSERT_EQ(reader.Kind(), ClassifyLine(line));
            ASSERT_EQ(reader.LineNumber(), i + 1);
            ASSERT_EQ(reader.ConsumedBytes(), ends[i]);
        }
        EXPECT_EQ(i, expected.size());
        EXPECT_EQ(reader.PeekKind(), LineKind::Other);
        EXPECT_EQ(reader.Next(), "");
        EXPECT_EQ(reader.Kind(), LineKind::Other);
    }
}

// Gives its bytes a few at a time, then fails.
class FailingSource final : public ByteSource {
  public:
    FailingSource(std::string bytes, std::size_t chunk) : bytes_(std::move(bytes)), chunk_(chunk) {}
    std::size_t Read(char* buffer, std::size_t capacity) override {
        if (offset_ == bytes_.size()) throw KorvelError("Read error");
        const std::size_t n = std::min({capacity, chunk_, bytes_.size() - offset_});
        std::memcpy(buffer, bytes_.data() + offset_, n);
        offset_ += n;
        return n;
    }
    std::uint64_t Size() const override { return bytes_.size() + 1000; }
    std::size_t Offset() const { return offset_; }

  private:
    std::string bytes_;
    std::size_t chunk_;
    std::size_t offset_ = 0;
};

TEST(LineReader, AnErrorComesAfterTheLinesBeforeIt) {
    std::string bytes;
    for (int i = 0; i < 500; ++i) bytes += "line " + std::to_string(i) + "\r\n";
    bytes += "cut";  // never delivered: the error comes first
    for (std::size_t block : {std::size_t(16), std::size_t(1) << 20}) {
        FailingSource source(bytes, 7);
        LineReader reader(source, block);
        for (int i = 0; i < 500; ++i) ASSERT_EQ(reader.Next(), "line " + std::to_string(i));
        EXPECT_THROW(reader.AtEnd(), KorvelError);
        EXPECT_THROW(reader.Next(), KorvelError);
    }
}

TEST(LineReader, ReadsOnlyAFewBlocksAheadAndStopsWhenDropped) {
    const std::string bytes(4 << 20, '\n');
    FailingSource source(bytes, 1 << 20);
    {
        LineReader reader(source, 4096);
        EXPECT_EQ(reader.Next(), "");
        // Time enough for the thread to read everything if it did not wait
        // for the caller after a few batches.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_LE(source.Offset(), std::size_t(64) << 10);
    }  // leaving the scope ends the thread: no hang
    const std::size_t atDrop = source.Offset();
    EXPECT_LT(atDrop, bytes.size());
}

TEST(LineReader, ReadingAtTheEndYieldsEmptyLines) {
    MemorySource source("one\n");
    LineReader reader(source, 16);
    EXPECT_EQ(reader.Next(), "one");
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(reader.Next(), "");
    EXPECT_EQ(reader.Next(), "");
    EXPECT_EQ(reader.ConsumedBytes(), 4u);
}

}  // namespace
}  // namespace korvel
