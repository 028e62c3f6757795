// The layout of one data line: fields and Code elements by the two lists.
#include "engine/record_composer.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace korvel {
namespace {

struct Composer {
    ExportSettings settings = test::DefaultSettings();
    NameTables names = ShippedNameTables();
    FixedListsHost host;
    RunningNumbers numbers{1, 1, 1};

    std::string Line(const EntityValues& v) {
        RecordComposer composer(settings, names, host);
        std::string out;
        composer.Compose(v, numbers, out);
        return out;
    }
};

EntityValues LineStart() {
    EntityValues v;
    v.X = "1.5";
    v.Y = "2";
    v.Z = "0";
    v.Handle = "1F";
    v.Layer = "0";
    v.EntityType = "LINE";
    return v;
}

TEST(ValueText, HoldsEveryLengthExactly) {
    std::string text;
    for (int n = 0; n <= 80; ++n) {
        ValueText value("something else entirely");
        value = text;
        ASSERT_EQ(std::string_view(value), text);
        text += static_cast<char>('A' + n % 26);
    }
}

TEST(RecordComposer, FieldsFollowTheListOrder) {
    Composer c;
    c.host.SetLists({"Code", "X"}, {"Layer"});
    EXPECT_EQ(c.Line(LineStart()), "0,1.500\r\n");
    EXPECT_EQ(c.numbers.PointNumber, 1);  // no Number field written

    // Unknown items add nothing; names compare exactly.
    c.host.SetLists({"x", "Y", "Nonsense", "Number"}, {});
    EXPECT_EQ(c.Line(LineStart()), "2.000,1\r\n");
    EXPECT_EQ(c.numbers.PointNumber, 2);
}

TEST(RecordComposer, CodeTextWithPrefixSeparatorAndEmptyElements) {
    Composer c;
    c.host.SetLists({"Code"}, {"Layer", "Block name", "Handle"});
    EXPECT_EQ(c.Line(LineStart()), "0,,1F\r\n");

    c.settings.Set(field::CodePrefix, "C=");
    c.settings.Set(field::CodeSeparator, " | ");
    c.settings.Set(field::LabelText, "SURVEY");
    c.host.SetLists({"Code"}, {"Label"});
    EXPECT_EQ(c.Line(LineStart()), "C=SURVEY\r\n");  // one element, no separator

    c.host.SetLists({"Code"}, {"Counter", "Entity number", "Counter"});
    c.numbers.CodeCounter = 7;
    c.numbers.EntityNumber = 42;
    EXPECT_EQ(c.Line(LineStart()), "C=7 | 42 | 8\r\n");
    EXPECT_EQ(c.Line(LineStart()), "C=9 | 42 | 10\r\n");

    c.host.SetLists({"Code", "Number"}, {});
    EXPECT_EQ(c.Line(LineStart()), "C=,1\r\n");  // an empty sequence leaves the prefix alone
}

TEST(RecordComposer, PrefixesDecimalsAndForcedZ) {
    Composer c;
    c.host.SetLists({"Number", "X", "Y", "Z"}, {});
    c.settings.Set(field::NumberPrefix, "P");
    c.settings.Set(field::XPrefix, "E");
    c.settings.Set(field::YPrefix, "N");
    c.settings.Set(field::ZPrefix, "H");
    c.settings.Set(field::XDecimals, 0);
    c.settings.Set(field::YDecimals, 14);
    c.settings.Set(field::ForceZ, true);
    c.settings.Set(field::ForcedZValue, "12.5");
    c.numbers.PointNumber = -2;
    EntityValues v = LineStart();
    v.Z.Clear();  // forced Z needs no Z of its own
    EXPECT_EQ(c.Line(v), "P-2,E2,N2.00000000000000,H12.500\r\n");
    EXPECT_EQ(std::string_view(v.Z), "");

    c.settings.Set(field::ForcedZValue, "");
    test::ExpectKorvelError([&] { c.Line(v); }, "'' is not a valid floating point value");
}

TEST(RecordComposer, RunningNumbersWrapAtTheLimit) {
    Composer c;
    c.host.SetLists({"Number", "Code"}, {"Counter"});
    c.numbers.PointNumber = 2147483647;
    c.numbers.CodeCounter = 2147483647;
    EXPECT_EQ(c.Line(LineStart()), "2147483647,2147483647\r\n");
    EXPECT_EQ(c.Line(LineStart()), "-2147483648,-2147483648\r\n");
}

TEST(RecordComposer, RejectedCoordinateWritesNothing) {
    Composer c;
    c.host.SetLists({"Number", "X"}, {});
    EntityValues v = LineStart();
    v.X = "1,5";
    RecordComposer composer(c.settings, c.names, c.host);
    std::string out = "kept\r\n";
    test::ExpectKorvelError([&] { composer.Compose(v, c.numbers, out); },
                            "'1,5' is not a valid floating point value");
    EXPECT_EQ(out, "kept\r\n");
}

TEST(RecordComposer, ListsChangedDuringARunApplyFromTheNextLine) {
    Composer c;
    RecordComposer composer(c.settings, c.names, c.host);
    std::string out;
    c.host.SetLists({"X"}, {});
    composer.Compose(LineStart(), c.numbers, out);
    c.host.SetLists({"Y", "X"}, {});
    c.settings.Set(field::XDecimals, 1);
    composer.Compose(LineStart(), c.numbers, out);
    EXPECT_EQ(out, "1.500\r\n2.000,1.5\r\n");
}

}  // namespace
}  // namespace korvel
