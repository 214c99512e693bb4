#include "settings/MemorySettingsStore.h"
#include "settings/ScreenSaverSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kKey = "Software\\Quillfern\\Lanternmoor";
const std::string kEffects = kKey + "\\Transition Effects";

void ExpectDefaults(const ScreenSaverSettings& settings) {
    EXPECT_FALSE(settings.EnlargeToFit);
    EXPECT_FALSE(settings.RandomOrder);
    EXPECT_TRUE(settings.ShowText);
    EXPECT_FALSE(settings.EnableKeys);
    EXPECT_TRUE(settings.UseEffects);
    EXPECT_EQ(settings.PictureMillis, 2000);
    EXPECT_EQ(settings.EffectMillis, 2000);
    const std::map<std::string, bool> allOn{{"Horizontal lines", true},
                                            {"Vertical lines", true},
                                            {"Big checkers", true},
                                            {"Small checkers", true}};
    EXPECT_EQ(settings.TransitionEffects, allOn);
}

// A store holding every value, each different from its default.
MemorySettingsStore FullStore() {
    MemorySettingsStore store;
    store.PutDword(kKey, "EnlargeToFit", 1);
    store.PutDword(kKey, "RandomOrder", 1);
    store.PutDword(kKey, "ShowText", 0);
    store.PutDword(kKey, "EnableKeys", 1);
    store.PutDword(kKey, "UseEffects", 0);
    store.PutDword(kKey, "PictureMillis", 7000);
    store.PutDword(kKey, "EffectMillis", 3000);
    store.PutDword(kEffects, "Horizontal lines", 0);
    store.PutDword(kEffects, "Vertical lines", 1);
    store.PutDword(kEffects, "Big checkers", 0);
    store.PutDword(kEffects, "Small checkers", 1);
    return store;
}

std::uint32_t StoredDword(const MemorySettingsStore& store, const std::string& path,
                          const std::string& name) {
    const auto value = store.GetValue(path, name);
    if (!value || value->Type != ValueType::Dword || value->Bytes.size() != 4) {
        ADD_FAILURE() << path << "\\" << name << " is not a 4-byte REG_DWORD";
        return 0xDEADBEEF;
    }
    const auto& b = value->Bytes;
    return b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t{b[3]} << 24;
}

TEST(SettingsLoad, WithoutTheKeyEveryMemberTakesItsDefault) {
    MemorySettingsStore store;
    const ScreenSaverSettings settings(store);
    ExpectDefaults(settings);
    EXPECT_EQ(store.Calls(), std::vector<std::string>{"open " + kKey});
    // The default-constructed record holds the same defaults without asking any store.
    ExpectDefaults(ScreenSaverSettings());
}

TEST(SettingsLoad, ReadsEveryValueInOrderAndClosesBothKeys) {
    MemorySettingsStore store = FullStore();
    const ScreenSaverSettings settings(store);
    EXPECT_TRUE(settings.EnlargeToFit);
    EXPECT_TRUE(settings.RandomOrder);
    EXPECT_FALSE(settings.ShowText);
    EXPECT_TRUE(settings.EnableKeys);
    EXPECT_FALSE(settings.UseEffects);
    EXPECT_EQ(settings.PictureMillis, 7000);
    EXPECT_EQ(settings.EffectMillis, 3000);
    EXPECT_FALSE(settings.IsEffectEnabled("Horizontal lines"));
    EXPECT_TRUE(settings.IsEffectEnabled("Vertical lines"));
    EXPECT_FALSE(settings.IsEffectEnabled("Big checkers"));
    EXPECT_TRUE(settings.IsEffectEnabled("Small checkers"));

    const std::vector<std::string> expected{
        "open " + kKey,           "query EnlargeToFit",   "query RandomOrder",
        "query ShowText",         "query EnableKeys",     "query UseEffects",
        "query PictureMillis",    "query EffectMillis",   "open " + kEffects,
        "query Horizontal lines", "query Vertical lines", "query Big checkers",
        "query Small checkers",   "close " + kEffects,    "close " + kKey};
    EXPECT_EQ(store.Calls(), expected);
    EXPECT_EQ(store.OpenKeyCount(), 0u);
}

TEST(SettingsLoad, NumbersAreTakenAsStoredAndFlagsAsNonZero) {
    MemorySettingsStore store;
    store.PutDword(kKey, "ShowText", 0); // the default is true: a zero must switch it off
    store.PutDword(kKey, "EnableKeys", 7);
    store.PutDword(kKey, "PictureMillis", 500);
    store.PutDword(kKey, "EffectMillis", 0xFFFFFFFF);
    store.PutValue(kKey, "RandomOrder", ValueType::Dword, {0, 0, 0, 0x80});
    ScreenSaverSettings settings(store);
    EXPECT_FALSE(settings.ShowText);
    EXPECT_TRUE(settings.EnableKeys);
    EXPECT_TRUE(settings.RandomOrder);
    EXPECT_EQ(settings.PictureMillis, 500); // below the sheet's range, not corrected
    EXPECT_EQ(settings.EffectMillis, -1);

    // Little-endian, all four bytes.
    store.PutValue(kKey, "PictureMillis", ValueType::Dword, {0x78, 0x56, 0x34, 0x12});
    settings.LoadSettings(store);
    EXPECT_EQ(settings.PictureMillis, 0x12345678);
}

TEST(SettingsLoad, MissingSubkeyOrSingleEffectValueLeavesTheOtherEffectsOn) {
    MemorySettingsStore store;
    store.PutDword(kKey, "EnlargeToFit", 1);
    store.PutDword(kKey, "PictureMillis", 9000);
    ScreenSaverSettings settings(store);
    EXPECT_TRUE(settings.EnlargeToFit);
    EXPECT_EQ(settings.PictureMillis, 9000);
    EXPECT_TRUE(settings.ShowText);
    for (const char* name : kEffectNames)
        EXPECT_TRUE(settings.IsEffectEnabled(name)) << name;

    store.PutDword(kEffects, "Big checkers", 0);
    settings.LoadSettings(store);
    EXPECT_TRUE(settings.IsEffectEnabled("Horizontal lines"));
    EXPECT_TRUE(settings.IsEffectEnabled("Vertical lines"));
    EXPECT_FALSE(settings.IsEffectEnabled("Big checkers"));
    EXPECT_TRUE(settings.IsEffectEnabled("Small checkers"));
    EXPECT_EQ(store.OpenKeyCount(), 0u);
}

TEST(SettingsLoad, ValuesOfTheWrongTypeOrSizeLoadAsTheDefault) {
    MemorySettingsStore store;
    // Each of these would read as a non-default number if its bytes were taken.
    store.PutValue(kKey, "EnlargeToFit", ValueType::String, {'a', 'b', 'c', 0});
    store.PutValue(kKey, "RandomOrder", ValueType::Binary, {1, 0, 0, 0});
    store.PutValue(kKey, "ShowText", ValueType::Dword, {0, 0}); // two bytes only
    store.PutValue(kKey, "EnableKeys", ValueType::Binary, {1, 0, 0, 0, 0, 0, 0, 0});
    store.PutValue(kKey, "UseEffects", ValueType::Dword, {});
    store.PutValue(kKey, "PictureMillis", ValueType::Qword, {0x10, 0x27, 0, 0, 0, 0, 0, 0});
    store.PutValue(kKey, "EffectMillis", ValueType::DwordBigEndian, {0, 0, 0x0B, 0xB8});
    store.PutValue(kEffects, "Vertical lines", ValueType::String, {'0', 0});
    store.PutValue(kEffects, "Small checkers", ValueType::Dword, {0, 0, 0, 0, 0});
    store.PutDword(kEffects, "Big checkers", 0); // a good value beside them still counts
    const ScreenSaverSettings settings(store);
    EXPECT_FALSE(settings.EnlargeToFit);
    EXPECT_FALSE(settings.RandomOrder);
    EXPECT_TRUE(settings.ShowText);
    EXPECT_FALSE(settings.EnableKeys);
    EXPECT_TRUE(settings.UseEffects);
    EXPECT_EQ(settings.PictureMillis, 2000);
    EXPECT_EQ(settings.EffectMillis, 2000);
    EXPECT_TRUE(settings.IsEffectEnabled("Vertical lines"));
    EXPECT_TRUE(settings.IsEffectEnabled("Small checkers"));
    EXPECT_FALSE(settings.IsEffectEnabled("Big checkers"));
}

TEST(SettingsLoad, LoadingReplacesWhateverTheRecordHeld) {
    MemorySettingsStore store;
    ScreenSaverSettings settings;
    settings.EnableKeys = true;
    settings.PictureMillis = 1;
    settings.TransitionEffects["Spiral"] = true;
    settings.TransitionEffects["Big checkers"] = false;
    settings.LoadSettings(store);
    ExpectDefaults(settings); // exactly the four names again
    EXPECT_FALSE(settings.IsEffectEnabled("Spiral"));
    EXPECT_FALSE(settings.IsEffectEnabled("horizontal lines")); // names are exact
}

TEST(SettingsSave, WritesElevenDwordsInOrderCreatingBothKeys) {
    MemorySettingsStore store;
    ScreenSaverSettings settings(store);
    settings.SaveSettings(store);

    const std::vector<std::string> expected{
        "open " + kKey,       "create " + kKey,         "set EnlargeToFit=0",
        "set RandomOrder=0",  "set ShowText=1",         "set EnableKeys=0",
        "set UseEffects=1",   "set PictureMillis=2000", "set EffectMillis=2000",
        "create " + kEffects, "set Horizontal lines=1", "set Vertical lines=1",
        "set Big checkers=1", "set Small checkers=1",   "close " + kEffects,
        "close " + kKey};
    EXPECT_EQ(store.Calls(), expected);
    EXPECT_EQ(store.ValueNames(kKey),
              (std::vector<std::string>{"EffectMillis", "EnableKeys", "EnlargeToFit",
                                        "PictureMillis", "RandomOrder", "ShowText", "UseEffects"}));
    EXPECT_EQ(store.ValueNames(kEffects),
              (std::vector<std::string>{"Big checkers", "Horizontal lines", "Small checkers",
                                        "Vertical lines"}));
    EXPECT_EQ(StoredDword(store, kKey, "PictureMillis"), 2000u);
    EXPECT_EQ(StoredDword(store, kEffects, "Small checkers"), 1u);
    EXPECT_EQ(store.OpenKeyCount(), 0u);
}

TEST(SettingsSave, FlagsAreWrittenAsExactlyZeroOrOneAndNumbersAsHeld) {
    MemorySettingsStore store;
    store.PutDword(kKey, "ShowText", 7);
    store.PutDword(kKey, "EffectMillis", 0xFFFFFFFF);
    ScreenSaverSettings settings(store);
    settings.SaveSettings(store);
    EXPECT_EQ(StoredDword(store, kKey, "ShowText"), 1u);
    EXPECT_EQ(StoredDword(store, kKey, "EffectMillis"), 0xFFFFFFFFu);
    // A wrong-typed value is replaced by a proper REG_DWORD of the default.
    store.PutValue(kKey, "UseEffects", ValueType::String, {'n', 'o', 0});
    ScreenSaverSettings(store).SaveSettings(store);
    EXPECT_EQ(StoredDword(store, kKey, "UseEffects"), 1u);
}

TEST(SettingsSave, WhatIsSavedLoadsBackUnchanged) {
    MemorySettingsStore store;
    ScreenSaverSettings saved;
    saved.EnlargeToFit = true;
    saved.RandomOrder = true;
    saved.ShowText = false;
    saved.EnableKeys = true;
    saved.UseEffects = false;
    saved.PictureMillis = 10000;
    saved.EffectMillis = -5;
    saved.TransitionEffects["Vertical lines"] = false;
    saved.TransitionEffects["Small checkers"] = false;
    saved.SaveSettings(store);
    const ScreenSaverSettings loaded(store);
    EXPECT_EQ(loaded.EnlargeToFit, saved.EnlargeToFit);
    EXPECT_EQ(loaded.RandomOrder, saved.RandomOrder);
    EXPECT_EQ(loaded.ShowText, saved.ShowText);
    EXPECT_EQ(loaded.EnableKeys, saved.EnableKeys);
    EXPECT_EQ(loaded.UseEffects, saved.UseEffects);
    EXPECT_EQ(loaded.PictureMillis, saved.PictureMillis);
    EXPECT_EQ(loaded.EffectMillis, saved.EffectMillis);
    EXPECT_EQ(loaded.TransitionEffects, saved.TransitionEffects);
}

TEST(SettingsSave, AnEffectMissingFromTheMapIsWrittenAsOff) {
    MemorySettingsStore store;
    ScreenSaverSettings settings;
    settings.TransitionEffects.erase("Big checkers");
    settings.SaveSettings(store);
    EXPECT_EQ(StoredDword(store, kEffects, "Big checkers"), 0u);
    EXPECT_EQ(StoredDword(store, kEffects, "Vertical lines"), 1u);
}

TEST(SettingsSave, FailuresSkipOnlyWhatTheyConcern) {
    {
        SCOPED_TRACE("a failed write");
        MemorySettingsStore store;
        store.FailSetValue("ShowText");
        ScreenSaverSettings().SaveSettings(store);
        EXPECT_FALSE(store.GetValue(kKey, "ShowText"));
        EXPECT_EQ(StoredDword(store, kKey, "EnableKeys"), 0u);
        EXPECT_EQ(StoredDword(store, kKey, "EffectMillis"), 2000u);
        EXPECT_EQ(StoredDword(store, kEffects, "Small checkers"), 1u);
        EXPECT_EQ(store.OpenKeyCount(), 0u);
    }
    {
        SCOPED_TRACE("the effects subkey cannot be created");
        MemorySettingsStore store;
        store.FailCreateKey(kEffects);
        ScreenSaverSettings().SaveSettings(store);
        EXPECT_EQ(store.ValueNames(kKey).size(), 7u);
        EXPECT_FALSE(store.HasKey(kEffects));
        EXPECT_EQ(store.Calls().back(), "close " + kKey);
        EXPECT_EQ(store.OpenKeyCount(), 0u);
    }
    {
        SCOPED_TRACE("the settings key cannot be created");
        MemorySettingsStore store;
        store.FailCreateKey(kKey);
        ScreenSaverSettings().SaveSettings(store);
        EXPECT_EQ(store.Calls(), std::vector<std::string>{"create " + kKey});
        EXPECT_FALSE(store.HasKey(kKey));
    }
}

} // namespace
