#include "engine/line_reader.h"

#include <gtest/gtest.h>

#include <random>
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
