#include "engine/number_format.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <utility>

#include "settings/korvel_error.h"

namespace korvel {
namespace {

std::string Coordinate(std::string_view text, int decimals) {
    std::string out;
    AppendCoordinate(out, text, decimals);
    return out;
}

std::string CoordinateExtended(std::string_view text, int decimals) {
    std::string out;
    AppendCoordinateExtended(out, text, decimals);
    return out;
}

// Built by appending: GCC 12 warns falsely (-Wrestrict) on "'" + std::string(...).
std::string Quoted(std::string_view text, std::string_view tail) {
    std::string message(1, '\'');
    message += text;
    message += tail;
    return message;
}
std::string FloatError(std::string_view text) {
    return Quoted(text, "' is not a valid floating point value");
}
std::string IntegerError(std::string_view text) {
    return Quoted(text, "' is not a valid integer value");
}

std::string ErrorOf(void (*append)(std::string&, std::string_view, int), std::string_view text) {
    std::string out = "kept";
    try {
        append(out, text, 3);
    } catch (const KorvelError& e) {
        EXPECT_EQ(out, "kept") << "partial output for '" << text << "'";
        return e.what();
    }
    return "no error, wrote " + out;
}

struct FormatCase {
    const char* text;
    int decimals;
    const char* written;
};

const FormatCase kFormatCases[] = {
    // The documented examples.
    {"2.5", 3, "2.500"},
    {"-3.14159", 3, "-3.142"},
    {"0.0005", 3, "0.001"},
    {"-0.0004", 3, "0.000"},
    {"  12", 3, "12.000"},
    {"1E3", 3, "1000.000"},
    {"2.5", 0, "3"},
    {"-2.5", 0, "-3"},
    {"0.125", 2, "0.13"},
    {"1.005", 2, "1.01"},
    {"1234567.123456789", 9, "1234567.123456800"},
    {"1E15", 3, "1E015"},
    {"1E15", 0, "1E15"},
    {"99999999999999.9", 0, "1E14"},
    // Zero in its spellings, never with a minus sign.
    {"0", 3, "0.000"},
    {"-0", 0, "0"},
    {"-0.000000", 2, "0.00"},
    {".", 3, "0.000"},
    {"-.", 1, "0.0"},
    {".E", 0, "0"},
    {"0E99999999", 3, "0.000"},
    {"-0.4", 0, "0"},
    {"0.00049", 3, "0.000"},
    {"0.0000001", 18, "0.000000100000000000"},
    // Rounding carries into a new leading digit.
    {"9.9996", 3, "10.000"},
    {"-0.9995", 3, "-1.000"},
    {"0.00095", 3, "0.001"},
    {"999.5", 0, "1000"},
    // At most 14 significant digits; the rest are written as zeros.
    {"123456789.123456789", 9, "123456789.123460000"},
    {"0.123456789012345678", 18, "0.123456789012350000"},
    {"12345678901234", 2, "12345678901234.00"},
    {"-12345678901234.5", 0, "-12345678901235"},
    {"1.5E-3", 3, "0.002"},
    // Scientific form from 15 integer digits.
    {"123456789012345", 3, "1.2345678901235E014"},
    {"-123456789012345", 2, "-1.2345678901235E14"},
    {"100000000000000", 4, "1E0014"},
    {"100000000000000", 5, "1E14"},
    {"2.5E20", 1, "2.5E20"},
    {"2.5E20", 3, "2.5E020"},
    {"1E4000", 3, "1E4000"},
    {"99999999999999.5", 0, "1E14"},
    {"99999999999999.4", 0, "99999999999999"},
    // Decimals outside 0..18.
    {"1.25", 25, "1.250000000000000000"},
    {"1.25", -2, "1"},
    // Blanks, signs and exponent spellings.
    {"+7", 1, "7.0"},
    {"  -0.5e-2  ", 4, "-0.0050"},
    {"1E", 2, "1.00"},
    {"1e+", 2, "1.00"},
    {"1e-", 2, "1.00"},
    {"5.", 1, "5.0"},
    {".5", 1, "0.5"},
    {"0000012.5000000", 1, "12.5"},
    {"1e1", 0, "10"},
};

TEST(CoordinateFormat, WritesTheTableByteForByteOnBothPaths) {
    for (const FormatCase& c : kFormatCases) {
        EXPECT_EQ(Coordinate(c.text, c.decimals), c.written)
            << "'" << c.text << "' d=" << c.decimals;
        EXPECT_EQ(CoordinateExtended(c.text, c.decimals), c.written)
            << "extended '" << c.text << "' d=" << c.decimals;
    }
}

TEST(CoordinateFormat, AppendsToWhatIsThere) {
    std::string out = "1,";
    AppendCoordinate(out, "2", 1);
    out += ',';
    AppendCoordinateExtended(out, "-3", 0);
    EXPECT_EQ(out, "1,2.0,-3");
}

TEST(CoordinateFormat, LongTextsGoThroughTheExtendedValue) {
    const FormatCase cases[] = {
        // 24 digits: the 18-digit value ends in ...5000, so the cut rounds up
        // where the text's own 15th digit (4) would not.
        {"1.3000000000000499999999", 13, "1.3000000000001"},
        {"1.300000000000049999", 13, "1.3000000000001"},  // 19 digits
        {"0.1234567890123456789012345", 5, "0.12346"},
        {"-98765.43210987654321098765", 4, "-98765.4321"},
        {"00000000000000000000000000000000000000001.5", 0, "2"},
        {"1.0000000000000000000000000000000000000000", 3, "1.000"},
        {"12345678901234567890123", 0, "1.2345678901235E22"},
        // Exponents of any length, without overflow or delay.
        {"1E999999999999999999999", 3, nullptr},
        {"1E-999999999999999999999", 3, "0.000"},
        {"-1E-4940", 2, "0.00"},
        {"1E4932", 0, "1E4932"},
        {"1.1897314953572317650E4932", 0, "1.1897314953572E4932"},
    };
    for (const FormatCase& c : cases) {
        if (c.written == nullptr) {
            EXPECT_EQ(ErrorOf(AppendCoordinate, c.text), FloatError(c.text));
            continue;
        }
        EXPECT_EQ(Coordinate(c.text, c.decimals), c.written)
            << "'" << c.text << "' d=" << c.decimals;
        EXPECT_EQ(CoordinateExtended(c.text, c.decimals), c.written)
            << "extended '" << c.text << "' d=" << c.decimals;
    }
}

TEST(CoordinateFormat, RejectsEverythingElseWithTheConversionError) {
    const char* const rejected[] = {
        "1,5", "",     " ",   "1.2.3", "abc",   "1e5000", "-1e5000", "1.2E4932", "\t1",
        "1\t", "+-1",  "--1", "+",     "-",     "E5",     "E",       "1 2",      "1E5.",
        "1EE", "0x10", "inf", "nan",   "1e+-2", "1f",     "1.5 x",   "\n1",      "1\r",
    };
    for (const char* text : rejected) {
        const std::string expected = FloatError(text);
        EXPECT_EQ(ErrorOf(AppendCoordinate, text), expected);
        EXPECT_EQ(ErrorOf(AppendCoordinateExtended, text), expected);
    }
    // A zero byte inside the text is no number either.
    EXPECT_THROW(Coordinate(std::string_view("1\0", 2), 3), KorvelError);
}

TEST(CoordinateFormat, IgnoresADecimalCommaLocale) {
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    const char* const commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE",
                                        "fr_FR.UTF-8", "fr_FR.utf8", "ru_RU.UTF-8"};
    bool found = false;
    for (const char* name : commaLocales) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            found = true;
            break;
        }
    }
    if (!found) GTEST_SKIP() << "no locale with a decimal comma installed";
    const bool comma = std::localeconv()->decimal_point[0] == ',';
    const std::string extended = CoordinateExtended("-1234.56789012345678901", 4);
    const std::string fast = Coordinate("0.0005", 3);
    const std::string scientific = CoordinateExtended("1.5E20", 2);
    std::string rejected;
    try {
        Coordinate("1,5", 3);
    } catch (const KorvelError& e) {
        rejected = e.what();
    }
    std::setlocale(LC_NUMERIC, before.c_str());
    ASSERT_TRUE(comma);
    EXPECT_EQ(extended, "-1234.5679");
    EXPECT_EQ(fast, "0.001");
    EXPECT_EQ(scientific, "1.5E20");
    EXPECT_EQ(rejected, FloatError("1,5"));
}

TEST(DecimalText, SplitsIntoSignificantDigitsAndExponent) {
    DecimalText number;
    ASSERT_TRUE(ParseDecimalText("  -00120.0340E+2 ", number));
    EXPECT_TRUE(number.negative);
    EXPECT_EQ(number.count, 6);
    EXPECT_EQ(std::string(number.digits, 6), "120034");
    EXPECT_EQ(number.exponent, 5);

    ASSERT_TRUE(ParseDecimalText("0.000500", number));
    EXPECT_FALSE(number.negative);
    EXPECT_EQ(number.count, 1);
    EXPECT_EQ(number.digits[0], '5');
    EXPECT_EQ(number.exponent, -3);

    ASSERT_TRUE(ParseDecimalText("-.e7", number));
    EXPECT_EQ(number.count, 0);

    ASSERT_TRUE(ParseDecimalText("1234567890123456789012345", number));
    EXPECT_EQ(number.count, 25);
    EXPECT_EQ(number.exponent, 25);
    EXPECT_EQ(std::string(number.digits, DecimalText::kKeptDigits), "12345678901234567890");

    EXPECT_FALSE(ParseDecimalText("", number));
    EXPECT_FALSE(ParseDecimalText("1,5", number));
}

TEST(FlagInteger, AcceptsSpacesSignAndDigitsWithinThirtyTwoBits) {
    const std::pair<const char*, std::int32_t> accepted[] = {
        {"0", 0},
        {"  70", 70},
        {"+1", 1},
        {"-1", -1},
        {"   -0", 0},
        {"000000000000000000000128", 128},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
    };
    for (const auto& [text, value] : accepted) EXPECT_EQ(ParseFlagInteger(text), value) << text;

    const char* const rejected[] = {
        "",    " ",   "+",          "-",           "1 ",
        "1.0", "1e2", "2147483648", "-2147483649", "99999999999999999999",
        "+-1", "\t1", "0x10",       "1,"};
    for (const char* text : rejected) {
        try {
            ParseFlagInteger(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const KorvelError& e) {
            EXPECT_EQ(std::string(e.what()), IntegerError(text));
        }
    }
}

TEST(FlagInteger, AppendsDecimalText) {
    std::string out = "#";
    AppendInteger(out, INT32_MIN);
    out += ' ';
    AppendInteger(out, 0);
    out += ' ';
    AppendInteger(out, 2147483647);
    EXPECT_EQ(out, "#-2147483648 0 2147483647");
}

// A random number text of at most 18 significant digits, with the blanks,
// signs, zero padding, point positions and exponents files contain.
std::string RandomNumberText(std::mt19937_64& rng) {
    auto pick = [&rng](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(rng);
    };
    std::string text(static_cast<std::size_t>(pick(0, 2) == 0 ? pick(1, 3) : 0), ' ');
    switch (pick(0, 3)) {
        case 0:
            text += '-';
            break;
        case 1:
            text += '+';
            break;
        default:
            break;
    }
    std::string digits(static_cast<std::size_t>(pick(0, 4) == 0 ? pick(1, 5) : 0), '0');
    const int significant = pick(1, 18);
    // Runs of nines and halves make carries and ties frequent.
    const int flavour = pick(0, 3);
    for (int i = 0; i < significant; ++i) {
        char c = static_cast<char>('0' + pick(0, 9));
        if (flavour == 1 && pick(0, 3) != 0) c = '9';
        if (flavour == 2 && i + 1 == significant) c = '5';
        if (flavour == 3 && i > 0 && pick(0, 2) != 0) c = '0';
        digits += c;
    }
    digits.append(static_cast<std::size_t>(pick(0, 4) == 0 ? pick(1, 4) : 0), '0');
    if (pick(0, 4) != 0) {
        digits.insert(static_cast<std::size_t>(pick(0, static_cast<int>(digits.size()))), ".");
    }
    text += digits;
    // Exponents near the ends of the extended range are rare in files and
    // slow to convert exactly, so they get a small share.
    switch (pick(0, 39)) {
        case 0:
            text += (pick(0, 1) ? "E" : "e-") + std::to_string(pick(0, 4950));
            break;
        case 1:
            text += pick(0, 1) ? "E" : "e+";
            break;
        default:
            switch (pick(0, 3)) {
                case 0:
                    text += "E" + std::to_string(pick(-20, 20));
                    break;
                case 1:
                    text += "e+" + std::to_string(pick(0, 30));
                    break;
                case 2:
                    text += "E-" + std::to_string(pick(0, 30));
                    break;
                default:
                    break;
            }
    }
    text.append(static_cast<std::size_t>(pick(0, 3) == 0 ? pick(1, 2) : 0), ' ');
    return text;
}

TEST(CoordinateFormat, DecimalRoundingMatchesTheExtendedPathUpToEighteenDigits) {
    std::mt19937_64 rng(20240611);
    std::uniform_int_distribution<int> anyDecimals(0, 18);
    int compared = 0;
    for (int i = 0; i < 200000; ++i) {
        const std::string text = RandomNumberText(rng);
        // Every decimals value for some texts, a few random ones for the rest.
        const bool all = i % 20 == 0;
        for (int j = 0; j < (all ? 19 : 3); ++j) {
            const int d = all ? j : anyDecimals(rng);
            std::string fast;
            std::string extended;
            try {
                AppendCoordinate(fast, text, d);
            } catch (const KorvelError& e) {
                fast = std::string("error ") + e.what();
            }
            try {
                AppendCoordinateExtended(extended, text, d);
            } catch (const KorvelError& e) {
                extended = std::string("error ") + e.what();
            }
            ASSERT_EQ(fast, extended) << "'" << text << "' d=" << d;
            ++compared;
        }
    }
    EXPECT_GT(compared, 750000);
}

// The value of a number text is the nearest double, however it is found.
TEST(NumberValue, IsTheCorrectlyRoundedValueOfEveryNumberText) {
    std::mt19937_64 rng(20261209);
    int compared = 0;
    for (int i = 0; i < 200000; ++i) {
        const std::string text = RandomNumberText(rng);
        const std::optional<double> value = NumberValue(text);
        if (!value) continue;
        std::string_view plain = text;
        while (plain.front() == ' ') plain.remove_prefix(1);
        while (plain.back() == ' ') plain.remove_suffix(1);
        const bool negative = plain.front() == '-';
        if (plain.front() == '-' || plain.front() == '+') plain.remove_prefix(1);
        double expected = 0;
        std::from_chars(plain.data(), plain.data() + plain.size(), expected);
        ASSERT_EQ(*value, negative ? -expected : expected) << "'" << text << "'";
        ++compared;
    }
    EXPECT_GT(compared, 100000);
    // A number text beyond the range of a double has no value to compute
    // with (it must not become 0); one below it is 0.
    for (const char* text : {"1E309", "-2.5e400", "1e99999"})
        EXPECT_FALSE(NumberValue(text)) << text;
    EXPECT_EQ(NumberValue("1E-400"), 0.0);
}

}  // namespace
}  // namespace korvel
