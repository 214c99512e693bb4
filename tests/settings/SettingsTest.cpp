// The settings rules against the in-memory store of the tests: loading every kind of stored value,
// and saving (the registry store is driven end to end by the configuration's tests). The About
// box's portable rules: the browser's link colours as text, where the box goes over its owner, and
// where the link's text sits in its control.
#include "base/EffectNames.h"
#include "settings/AnchorColor.h"
#include "settings/Placement.h"
#include "settings/ScreenSaverSettings.h"
#include "tests/settings/MemorySettingsStore.h"
#include "tests/settings/NamedValues.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Keys = decltype(MemorySettingsStore::Keys);
const std::string kKey = kSettingsKeyPath, kEffects = kKey + "\\" + kEffectsSubkey;
const auto D = &MemorySettingsStore::Dword;

bool IsEffect(const std::string& name) {
    for (const EffectName& effect : kEffectNames)
        if (name == effect.Name) return true;
    return false;
}

// Every value of a record by name (and how many effects it names).
NamedValues ValuesOf(const ScreenSaverSettings& s) {
    NamedValues values{{"effects", static_cast<long long>(s.TransitionEffects.size())}};
    for (const SettingValue& value : kSettingValues)
        values[value.Name] = value.Flag != nullptr ? s.*value.Flag : s.*value.Millis;
    for (const EffectName& effect : kEffectNames)
        values[effect.Name] = s.IsEffectEnabled(effect.Name);
    return values;
}

NamedValues DefaultsWith(const std::string& changes) {
    return With(ValuesOf(ScreenSaverSettings()), changes);
}

// The two keys holding the values of a line of text (or of `values`) as REG_DWORD values.
Keys Dwords(const NamedValues& values) {
    Keys keys;
    for (const auto& [name, number] : values)
        if (name != "effects")
            keys[IsEffect(name) ? kEffects : kKey][name] = D(static_cast<std::uint32_t>(number));
    return keys;
}
Keys Dwords(const std::string& values) {
    return Dwords(ParseValues(values));
}

TEST(Settings, LoadingTakesEachFourByteNumberAndLeavesTheDefaultForAnythingElse) {
    const struct {
        const char* Name;
        Keys Stored;
        const char* Expected; // what differs from the defaults
    } cases[] = {
        {"nothing stored", {}, ""},
        // Flags are any non-zero number, all four bytes little-endian; numbers are not corrected.
        {"every value off its default",
         Dwords("EnlargeToFit 1, RandomOrder 0x80000000, ShowText 0, EnableKeys 7, UseEffects 0, "
                "PictureMillis 0x12345678, EffectMillis 0xFFFFFFFF, Horizontal lines 0, "
                "Vertical lines 1, Big checkers 0, Small checkers 1"),
         "EnlargeToFit 1, RandomOrder 1, ShowText 0, EnableKeys 1, UseEffects 0, "
         "PictureMillis 0x12345678, EffectMillis -1, Horizontal lines 0, Big checkers 0"},
        // Each of these would read as a non-default number if its bytes were taken; four bytes of
        // binary data are a number whatever their type says. A good value beside them counts.
        {"values of other types and sizes",
         {{kKey,
           {{"EnlargeToFit", {ValueType::String, {'a', 'b', 'c', 0}}},
            {"RandomOrder", {ValueType::Binary, {1, 0, 0, 0}}},
            {"ShowText", {ValueType::Dword, {0, 0}}},
            {"EnableKeys", {ValueType::Binary, {1, 0, 0, 0, 0, 0, 0, 0}}},
            {"UseEffects", {ValueType::Dword, {}}},
            {"PictureMillis", {ValueType::Qword, {0x10, 0x27, 0, 0, 0, 0, 0, 0}}},
            {"EffectMillis", {ValueType::DwordBigEndian, {0, 0, 0x0B, 0xB8}}}}},
          {kEffects,
           {{"Vertical lines", {ValueType::String, {'0', 0}}},
            {"Small checkers", {ValueType::Dword, {0, 0, 0, 0, 0}}},
            {"Big checkers", D(0)}}}},
         "RandomOrder 1, Big checkers 0"},
    };
    for (const auto& c : cases) {
        // Loading replaces whatever the record held, effects of other names included; it changes
        // nothing in the store and leaves no key open.
        MemorySettingsStore store;
        store.Keys = c.Stored;
        ScreenSaverSettings settings;
        settings.ShowText = false;
        settings.TransitionEffects["Spiral"] = true;
        settings.LoadSettings(store);
        EXPECT_EQ(ValuesOf(settings), DefaultsWith(c.Expected)) << c.Name;
        EXPECT_EQ(store.Keys, c.Stored) << c.Name;
        EXPECT_TRUE(store.Open.empty()) << c.Name;
    }
    EXPECT_FALSE(ScreenSaverSettings().IsEffectEnabled("horizontal lines")); // names are exact
}

TEST(Settings, SavingWritesAllElevenValuesAsDwordsFlagsAsZeroOrOne) {
    // Into an empty store: both keys are created.
    MemorySettingsStore store;
    ScreenSaverSettings().SaveSettings(store);
    EXPECT_EQ(store.Keys, Dwords(DefaultsWith("")));

    // A stored 7 goes back as 1, wrong-typed values as proper ones, other values stay; an effect
    // missing from the map is written as off. What is saved loads back unchanged.
    const MemorySettingsStore::Value unrelated{ValueType::String, {'k', 'e', 'p', 't', 0}};
    store.Keys = {{kKey,
                   {{"ShowText", D(7)},
                    {"UseEffects", {ValueType::String, {'n', 'o', 0}}},
                    {"X", unrelated}}}};
    ScreenSaverSettings saved, loaded;
    saved.LoadSettings(store);
    saved.EnlargeToFit = true;
    saved.PictureMillis = 9000;
    saved.EffectMillis = -5;
    saved.TransitionEffects["Horizontal lines"] = false;
    saved.TransitionEffects.erase("Big checkers");
    saved.SaveSettings(store);
    loaded.LoadSettings(store);
    const std::string changes =
        "EnlargeToFit 1, PictureMillis 9000, EffectMillis -5, Horizontal lines 0, Big checkers 0";
    Keys expected = Dwords(DefaultsWith(changes));
    expected[kKey]["X"] = unrelated;
    EXPECT_EQ(store.Keys, expected);
    EXPECT_EQ(ValuesOf(loaded), DefaultsWith(changes));
    EXPECT_TRUE(store.Open.empty());
}

TEST(AnchorColor, ReadsRedGreenBlueOrRejectsTheText) {
    const std::pair<const char*, RgbColor> read[] = {
        {"0,128,255", {0, 128, 255}},
        {"300,0,0", {44, 0, 0}},             // each component cut to 8 bits
        {"x,y,z", {0, 0, 0}},                // no digits read as 0
        {" 12 , +34,\t56 px", {12, 34, 56}}, // white space, sign, trailing text
        {"-2,-3,-1", {254, 253, 255}},       // only red and green may not be -1
        {"1,2,3,4", {1, 2, 3}},              // blue stops at the next comma
        {"4294967297,0,0", {1, 0, 0}}};      // wraps rather than overflowing
    for (const auto& [text, expected] : read) {
        RgbColor color{7, 7, 7};
        EXPECT_TRUE(ParseAnchorColor(text, color)) << text;
        EXPECT_EQ(color, expected) << text;
    }
    // No third component, nothing after the second comma, -1 (also modulo 2^32) marking a
    // missing component: the colour stays.
    for (const char* text :
         {"255,0", "255,0,", "-1,0,0", "0,-1,0", "4294967295,0,0", "", "0 1 2"}) {
        RgbColor color{7, 7, 7};
        EXPECT_FALSE(ParseAnchorColor(text, color)) << text;
        EXPECT_EQ(color, (RgbColor{7, 7, 7})) << text;
    }
}

TEST(Placement, TheDialogIsCentredInsideTheWorkAreaTheLinkTextAlignedAtTheTop) {
    const Rect screen{0, 0, 1024, 768};
    const Rect dialog{500, 500, 800, 700}; // 300 x 200, wherever it starts
    const struct {
        std::optional<Rect> Reference;
        Rect WorkArea;
        Rect Dialog;
        Rect Expected;
    } cases[] = {
        {Rect{100, 100, 701, 501}, screen, dialog, {250, 200, 550, 400}},
        {std::nullopt, {0, 0, 1024, 738}, dialog, {362, 269, 662, 469}},    // no owner: work area
        {Rect{-400, -300, 100, 100}, screen, dialog, {0, 0, 300, 200}},     // clamped left and top
        {Rect{900, 700, 1300, 900}, screen, dialog, {724, 568, 1024, 768}}, // right and bottom
        {Rect{-400, 0, 100, 768}, {60, 0, 1024, 768}, dialog, {60, 284, 360, 484}}, // taskbar left
        // Every halving rounds toward zero: -301 / 2 is -150, not -151.
        {Rect{-301, -201, 0, 0},
         {-1000, -1000, 1000, 1000},
         {0, 0, 101, 51},
         {-200, -125, -99, -74}},
        // Larger than the work area: the top-left corner, with the caption, stays on it.
        {Rect{400, 300, 1024, 768}, screen, {0, 0, 1200, 900}, {0, 0, 1200, 900}},
        {Rect{-500, -500, 300, 300}, screen, {0, 0, 1200, 900}, {0, 0, 1200, 900}},
    };
    for (const auto& c : cases) {
        const Rect placed =
            CentreDialog(c.Dialog, c.Reference ? &*c.Reference : nullptr, c.WorkArea);
        EXPECT_EQ(placed, c.Expected) << "at " << placed.Left << ", " << placed.Top;
    }
    // The link's text at the top of its control, aligned as the control aligns it.
    const Rect client{0, 0, 101, 30};
    EXPECT_EQ(PlaceLinkText(client, 40, 13, TextAlignment::Left), (Rect{0, 0, 40, 13}));
    EXPECT_EQ(PlaceLinkText(client, 40, 13, TextAlignment::Centre), (Rect{30, 0, 70, 13}));
    EXPECT_EQ(PlaceLinkText(client, 40, 13, TextAlignment::Right), (Rect{61, 0, 101, 13}));
    EXPECT_EQ(PlaceLinkText(client, 121, 26, TextAlignment::Centre), (Rect{-10, 0, 111, 26}));
    EXPECT_EQ(PlaceLinkText({5, 7, 105, 37}, 40, 13, TextAlignment::Right), (Rect{65, 7, 105, 20}));
}

} // namespace
