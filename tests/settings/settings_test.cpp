// The 404-byte settings image, configuration files and name tables.
#include <gtest/gtest.h>

#include "settings/export_settings.h"
#include "support/test_support.h"

namespace korvel {
namespace {

TEST(Settings, DefaultImageByteForByte) {
    SettingsImage expected{};
    auto put = [&](std::size_t offset, std::initializer_list<int> bytes) {
        for (int b : bytes) expected[offset++] = static_cast<std::uint8_t>(b);
    };
    put(0, {0x01, 0x2C});
    put(11, {0x03, 0x74, 0x78, 0x74});
    put(22, {1, 1, 1, 1, 1, 1});
    put(36, {0x1F});
    put(92, {1});
    put(148, {3});
    put(204, {3});
    put(260, {3});
    put(327, {0x01, 0x2C});
    put(340, {2});
    put(344, {1});
    put(348, {1});
    EXPECT_EQ(DefaultSettingsImage(), expected);

    Configuration config;
    config.settings.image.fill(0xAA);
    config.SetDefaultSettings();
    EXPECT_EQ(config.settings.image, expected);
    EXPECT_FALSE(config.Changed());
}

TEST(Settings, ShortenedStringKeepsItsOldBytesAndCountsAsChanged) {
    Configuration config;
    config.SetDefaultSettings();
    config.settings.Set(field::XPrefix, "abc");
    config.TakeSnapshot();
    config.settings.Set(field::XPrefix, "abcd");
    config.settings.Set(field::XPrefix, "abc");
    EXPECT_EQ(config.settings.Get(field::XPrefix), "abc");
    EXPECT_EQ(config.settings.image[96 + 4], 'd');
    EXPECT_TRUE(config.Changed());  // the "d" is still behind the length byte

    // Cut to the capacity by bytes, without a message.
    config.settings.Set(field::FileExtension, "abcdefghijklmn");
    EXPECT_EQ(config.settings.Get(field::FileExtension), "abcdefghij");
    EXPECT_EQ(config.settings.image[11], 10);
    EXPECT_EQ(config.settings.image[22], 1);  // the next field is untouched
}

TEST(Settings, LengthByteAboveCapacityStaysInsideItsField) {
    ExportSettings s;
    s.image[352] = 255;  // LabelText, the last string of the image
    EXPECT_EQ(s.Get(field::LabelText).size(), 50u);
    s.image[265] = 11;  // ForcedZValue, capacity 10
    EXPECT_EQ(s.Get(field::ForcedZValue).size(), 10u);
}

TEST(Settings, IntegersAreLittleEndian) {
    ExportSettings s;
    s.Set(field::StartNumber, -2);
    EXPECT_EQ(s.image[92], 0xFE);
    EXPECT_EQ(s.image[95], 0xFF);
    EXPECT_EQ(s.Get(field::StartNumber), -2);
}

TEST(ConfigurationFile, WriteAndLoadRoundTripBitForBit) {
    test::TempDir dir;
    Configuration a;
    a.SetDefaultSettings();
    for (std::size_t i = 0; i < kSettingsImageSize; ++i)
        a.settings.image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    a.WriteConfigurationFile(dir / "all.krv");
    EXPECT_EQ(std::filesystem::file_size(dir / "all.krv"), 404u);

    Configuration b;
    b.SetDefaultSettings();
    int shown = 0;
    b.LoadConfigurationFile(dir / "all.krv", [&] {
        ++shown;
        EXPECT_EQ(b.settings.image, a.settings.image);  // shown before the snapshot
        EXPECT_NE(b.snapshot, a.settings.image);
    });
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(b.snapshot, a.settings.image);
    EXPECT_FALSE(b.Changed());
    b.WriteConfigurationFile(dir / "again.krv");
    EXPECT_EQ(test::ReadFile(dir / "again.krv"), test::ReadFile(dir / "all.krv"));
}

TEST(ConfigurationFile, ShortAndLongFiles) {
    test::TempDir dir;
    Configuration config;
    config.SetDefaultSettings();
    const SettingsImage before = config.settings.image;
    test::WriteFile(dir / "short.krv", std::string(100, '\x07'));
    config.LoadConfigurationFile(dir / "short.krv");
    for (std::size_t i = 0; i < 404; ++i)
        EXPECT_EQ(config.settings.image[i], i < 100 ? 7 : before[i]) << i;

    test::WriteFile(dir / "long.krv", std::string(404, '\x01') + std::string(50, '\x09'));
    config.LoadConfigurationFile(dir / "long.krv");
    EXPECT_EQ(config.settings.image[403], 1);

    test::WriteFile(dir / "empty.krv", "");
    config.LoadConfigurationFile(dir / "empty.krv");
    EXPECT_EQ(config.settings.image[403], 1);
}

TEST(ConfigurationFile, ErrorsNameThePathAndChangeNothing) {
    test::TempDir dir;
    Configuration config;
    config.SetDefaultSettings();
    config.settings.Set(field::XPrefix, "edited");
    const SettingsImage image = config.settings.image, snapshot = config.snapshot;
    const auto missing = dir / "missing.krv";
    test::ExpectKorvelError(
        [&] { config.LoadConfigurationFile(missing); },
        "Cannot open file \"" + missing.string() + "\". No such file or directory");
    test::ExpectKorvelError([&] { config.LoadConfigurationFile(dir.path()); },
                            "Cannot open file \"" + dir.path().string() + "\". Is a directory");
    const auto nowhere = dir / "no" / "x.krv";
    test::ExpectKorvelError(
        [&] { config.WriteConfigurationFile(nowhere); },
        "Cannot create file \"" + nowhere.string() + "\". No such file or directory");
    EXPECT_EQ(config.settings.image, image);
    EXPECT_EQ(config.snapshot, snapshot);
}

TEST(NameTables, SideFilesAndFallback) {
    test::TempDir dir;
    EXPECT_EQ(SplitNameTableLines("a\r\nb\rc\n d \r\n"),
              (std::vector<std::string>{"a", "b", "c", " d "}));
    // Missing files: the shipped names.
    NameTables t = LoadNameTables(dir.path());
    EXPECT_EQ(t.codeElementNames[5], "Label");
    EXPECT_EQ(t.dataFieldNames, (std::vector<std::string>{"Number", "X", "Y", "Z", "Code"}));

    test::WriteFile(dir / "korvel2.dat", "Nr\r\nXe\r\nYn\r\nZh\r\nCd\r\nextra\r\n");
    test::WriteFile(dir / "korvel.dat", "only\r\nthree\r\nlines\r\n");  // too short
    t = LoadNameTables(dir.path());
    EXPECT_EQ(t.dataFieldNames, (std::vector<std::string>{"Nr", "Xe", "Yn", "Zh", "Cd"}));
    EXPECT_EQ(t.codeElementNames, ShippedNameTables().codeElementNames);
}

TEST(NameTables, ShippedSideFilesMatchTheBuiltInNames) {
    NameTables t = ShippedNameTables();
    std::vector<std::string> names;
    ASSERT_TRUE(ReadNameTable(std::filesystem::path(KORVEL_PROGRAM_DIR) / "korvel.dat", 8, names));
    EXPECT_EQ(names, t.codeElementNames);
    ASSERT_TRUE(ReadNameTable(std::filesystem::path(KORVEL_PROGRAM_DIR) / "korvel2.dat", 5, names));
    EXPECT_EQ(names, t.dataFieldNames);
    std::string raw = test::ReadFile(std::filesystem::path(KORVEL_PROGRAM_DIR) / "korvel.dat");
    EXPECT_NE(raw.find("Label\r\n"), std::string::npos);
}

TEST(Errors, FinalPeriodRule) {
    EXPECT_EQ(WithFinalPeriod("File access denied"), "File access denied.");
    EXPECT_EQ(WithFinalPeriod("Ends with a period."), "Ends with a period.");
    EXPECT_EQ(WithFinalPeriod("'1,5' is not a valid floating point value"),
              "'1,5' is not a valid floating point value.");
    EXPECT_EQ(WithFinalPeriod("ends in a dash -"), "ends in a dash -");  // '-' < '.'
    EXPECT_EQ(IoErrorText(IoCode::DiskFull), "Disk full");
    EXPECT_EQ(IoErrorText(static_cast<IoCode>(32)), "I/O error 32");
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

TEST(ExtendedOptionsFile, TravelsWithItsConfigurationAndCountsAsAChange) {
    test::TempDir dir;
    Configuration config;
    config.SetDefaultSettings();
    config.options.layers = {"SURVEY*,PTS", "TMP?", true, true};
    config.options.attributes = {"PNT", "ELEV", "DESC \"quoted\""};
    config.options.blockContents = true;
    config.options.labels = {0.75, 2.5, -100, "SPOT*", {"POINT", "Circles"}, {"Z =", "+"}, {}};
    EXPECT_TRUE(config.Changed());
    config.WriteConfigurationFile(dir / "site.krv");
    EXPECT_EQ(std::filesystem::file_size(dir / "site.krv"), 404u);  // the record stays as it was

    Configuration loaded;
    loaded.SetDefaultSettings();
    loaded.LoadConfigurationFile(dir / "site.krv");
    EXPECT_TRUE(loaded.options == config.options);
    EXPECT_FALSE(loaded.Changed());
    loaded.options.layers.modelSpaceOnly = false;
    EXPECT_TRUE(loaded.Changed());

    // Every option off: no file beside it, so that none is left behind stale;
    // a configuration without one loads with every option off.
    loaded.options = {};
    loaded.WriteConfigurationFile(dir / "site.krv");
    EXPECT_FALSE(std::filesystem::exists(dir / "site.krv.toml"));
    config.LoadConfigurationFile(dir / "site.krv");
    EXPECT_FALSE(config.options.AnyOn());
}

TEST(ExtendedOptionsFile, AFileThatCannotBeReadChangesNothingAndSaysWhy) {
    test::TempDir dir;
    Configuration config;
    config.SetDefaultSettings();
    config.WriteConfigurationFile(dir / "a.krv");
    const std::string toml = (dir / "a.krv.toml").string();
    test::WriteFile(dir / "a.krv.toml", "[layers]\ninclude = [1, 2]\n");
    config.settings.Set(field::XDecimals, 7);
    test::ExpectKorvelError(
        [&] { config.LoadConfigurationFile(dir / "a.krv"); },
        "Cannot read options file \"" + toml + "\". layers.include must be a text");
    EXPECT_EQ(config.settings.Get(field::XDecimals), 7);
    test::WriteFile(dir / "a.krv.toml", "[layers\n");
    test::ExpectKorvelError([&] { config.LoadConfigurationFile(dir / "a.krv"); },
                            "Cannot read options file \"" + toml +
                                "\". Line 1, column 8: Error while parsing table header: "
                                "expected ']', saw '\\n'");
    // Keys of a later version are passed over.
    test::WriteFile(dir / "a.krv.toml", "future = 1\n[blocks]\ncontents = true\nwhat = 'x'\n");
    config.LoadConfigurationFile(dir / "a.krv");
    EXPECT_TRUE(config.options.blockContents);
}

}  // namespace
}  // namespace korvel
