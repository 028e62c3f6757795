#include "engine/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
