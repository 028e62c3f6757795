// Every way a settings image is written at run time gives the same bytes: the
// record's own setters, korvel-cli's --set NAME=VALUE, and a configuration
// file saved and loaded again. Each field written alone changes its own bytes
// and nothing else.
#include <gtest/gtest.h>

#include <string>

#include "cli/setting_args.h"
#include "settings/export_settings.h"
#include "support/test_support.h"

namespace korvel {
namespace {

// A value unlike the default, valid for --set: digits past the capacity (the
// forced Z must read as a number), 7 (in every range), the other truth value.
std::string ValueUnlikeTheDefault(const NamedField& f, ExportSettings& settings) {
    switch (f.kind) {
        case NamedField::Kind::ShortString: {
            std::string digits;
            for (std::size_t i = 0; i < f.capacity + 3; ++i) digits += char('1' + i % 9);
            settings.Set(ShortStringField{f.offset, f.capacity}, digits);
            return digits;
        }
        case NamedField::Kind::Int32:
            settings.Set(Int32Field{f.offset}, 7);
            return "7";
        case NamedField::Kind::Bool:
            settings.Set(BoolField{f.offset}, !settings.Get(BoolField{f.offset}));
            return settings.Get(BoolField{f.offset}) ? "1" : "0";
    }
    return {};
}

TEST(SettingPaths, EveryFieldWrittenAloneGivesTheSameBytesByEveryPath) {
    test::TempDir dir;
    for (const NamedField& f : AllNamedFields()) {
        SCOPED_TRACE(std::string(f.name));
        ExportSettings direct{kDefaultSettingsImage};
        const std::string value = ValueUnlikeTheDefault(f, direct);

        ExportSettings viaSet{kDefaultSettingsImage};
        cli::ApplySetting(viaSet, std::string(f.name) + "=" + value);
        EXPECT_EQ(viaSet.image, direct.image);

        Configuration saved;
        saved.settings = direct;
        saved.WriteConfigurationFile(dir / "field.krv");
        Configuration loaded;
        loaded.SetDefaultSettings();
        loaded.LoadConfigurationFile(dir / "field.krv");
        EXPECT_EQ(loaded.settings.image, direct.image);

        const std::size_t size = f.kind == NamedField::Kind::ShortString ? f.capacity + 1
                                 : f.kind == NamedField::Kind::Int32     ? 4
                                                                         : 1;
        int changed = 0;
        for (std::size_t i = 0; i < kSettingsImageSize; ++i) {
            if (direct.image[i] == kDefaultSettingsImage[i]) continue;
            ++changed;
            EXPECT_TRUE(i >= f.offset && i < f.offset + size) << "byte " << i;
        }
        EXPECT_GT(changed, 0);
    }
}

}  // namespace
}  // namespace korvel
