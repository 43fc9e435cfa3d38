// Setting texts: defaults, exact comparisons, strict conversion, the change listener.
#include <gtest/gtest.h>

#include "engine/errors.h"
#include "status/setting_texts.h"
#include "tests/test_support.h"

namespace quorvane {
namespace {

// The window starts from the same settings as the command line and the library.
TEST(SettingTexts, DefaultsReadAsTheEngineDefaults) {
    const SettingTexts s;
    Settings read{7, 9, 9, false, true, false, 9, true};
    for (LiveSetting which :
         {LiveSetting::RodSize, LiveSetting::Depth, LiveSetting::Level, LiveSetting::Lz77,
          LiveSetting::Single, LiveSetting::AutoStop, LiveSetting::LoopCount})
        s.read(which, read);
    read.experimental = s.experimental_on();
    const Settings defaults;
    EXPECT_EQ(read.rod_size, defaults.rod_size);
    EXPECT_EQ(read.depth, defaults.depth);
    EXPECT_EQ(read.level, defaults.level);
    EXPECT_EQ(read.lz77, defaults.lz77);
    EXPECT_EQ(read.single, defaults.single);
    EXPECT_EQ(read.auto_stop, defaults.auto_stop);
    EXPECT_EQ(read.loop_count, defaults.loop_count);
    EXPECT_EQ(read.experimental, defaults.experimental);
}

TEST(SettingTexts, ExactTextComparisons) {
    SettingTexts s;
    const std::pair<const char*, bool> auto_stop[] = {
        {"S", true}, {" ", false}, {"", false}, {"s", false}, {"S ", false}};
    for (const auto& [text, on] : auto_stop) {
        s.set(Setting::AutoStop, text);
        EXPECT_EQ(s.auto_stop_on(), on) << '"' << text << '"';
    }
    const std::pair<const char*, bool> lz77[] = {{"Z", true}, {"", false}, {"z", false}};
    for (const auto& [text, on] : lz77) {
        s.set(Setting::Lz77, text);
        EXPECT_EQ(s.lz77_on(), on) << '"' << text << '"';
    }
    const std::pair<const char*, bool> experimental[] = {{"Experimental : No", false},
                                                         {"Experimental : Yes", true},
                                                         {"", true},
                                                         {"Experimental : no", true}};
    for (const auto& [text, on] : experimental) {
        s.set(Setting::Experimental, text);
        EXPECT_EQ(s.experimental_on(), on) << '"' << text << '"';
    }
    const std::pair<const char*, bool> modes[] = {{"Algorithm    : Single cycles", true},
                                                  {"Algorithm    : Multible cycles", false},
                                                  {"Algorithm    : Nonstop cycles", false},
                                                  {"Algorithm   : Single cycles", false}};
    for (const auto& [text, single] : modes) {
        s.set(Setting::LoopMode, text);
        EXPECT_EQ(s.single_cycle(), single) << '"' << text << '"';
    }
}

TEST(strict_decimal, StrictDecimal) {
    EXPECT_EQ(strict_decimal("0"), 0);
    EXPECT_EQ(strict_decimal("128"), 128);
    EXPECT_EQ(strict_decimal("-7"), -7);
    EXPECT_EQ(strict_decimal("+7"), 7);
    EXPECT_EQ(strict_decimal("2147483647"), 2147483647);
    for (const char* bad :
         {"", "abc", "1a", " 1", "1 ", "0x10", "2147483648", "-", "1.0", "99999999999999999999"}) {
        EXPECT_THROW_MSG(strict_decimal(bad), EConvertError,
                         std::string("'") + bad + "' is not a valid integer value");
    }
}

TEST(SettingTexts, ListenerSeesEveryChange) {
    SettingTexts s;
    std::vector<std::pair<Setting, std::string>> seen;
    s.set_listener([&](Setting id, const std::string& text) { seen.emplace_back(id, text); });
    s.set(Setting::AutoStop, " ");
    s.set(Setting::Code, "abcdef");
    ASSERT_EQ(seen.size(), 2U);
    EXPECT_EQ(seen[0], std::make_pair(Setting::AutoStop, std::string(" ")));
    EXPECT_EQ(seen[1], std::make_pair(Setting::Code, std::string("abcdef")));
    EXPECT_EQ(setting_label_name(Setting::Lz77), "ZIPLabel");
    EXPECT_EQ(setting_label_name(Setting::LoopCount), "Loop2Label");
}

}  // namespace
}  // namespace quorvane
