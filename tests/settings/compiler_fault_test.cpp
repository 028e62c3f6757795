// A fault of GCC 12 at plain -O2, reduced from the code that once built the
// default settings image and gave zeros. The stores after the loop are
// deleted by RTL dead store elimination: RTL PRE gives the copy of `s.image`
// the register that also holds the loop's end pointer (one past the braced
// list, which GCC places right before `s`), and the copy is then not seen to
// read the stores. The build turns that pass off for GCC (-fno-dse, in the
// top CMakeLists.txt); this test fails in any build that leaves it on.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace {

struct Flag {
    std::size_t offset;
};
struct Holder {
    std::array<std::uint8_t, 404> image{};
};

[[gnu::noinline]] std::array<std::uint8_t, 404> StoresAfterALoopOverABracedList() {
    Holder s;
    for (Flag f : {Flag{22}, Flag{23}, Flag{24}, Flag{25}, Flag{26}, Flag{27}})
        s.image[f.offset] = 1;
    for (int i = 0; i < 4; ++i) s.image[36 + i] = static_cast<std::uint8_t>(31u >> (8 * i));
    for (int i = 0; i < 4; ++i) s.image[348 + i] = static_cast<std::uint8_t>(1u >> (8 * i));
    return s.image;
}

TEST(CompilerFault, StoresAfterALoopReachTheCopyThatReadsThem) {
    const std::array<std::uint8_t, 404> image = StoresAfterALoopOverABracedList();
    EXPECT_EQ(image[22], 1);
    EXPECT_EQ(image[36], 31);
    EXPECT_EQ(image[348], 1);
}

}  // namespace
