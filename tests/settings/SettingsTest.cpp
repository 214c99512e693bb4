// The settings rules from one table against every store: the in-memory one, and under Wine the
// real registry, with the values written and read back through the registry API. Failed writes
// and keys are checked against the in-memory store alone.
#include "settings/ScreenSaverSettings.h"
#include "tests/settings/MemorySettingsStore.h"

#ifdef _WIN32
#include "settings/RegistrySettingsStore_win32.h"
#include "tests/win32/WineHarness.h"
#endif

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>

namespace {

using Value = MemorySettingsStore::Value;
// Values by name, "Transition Effects\X" for X in the effects subkey.
using Values = std::map<std::string, Value>;
const std::string kKey = "Software\\Quillfern\\Lanternmoor";
const std::string kEffects = kKey + "\\Transition Effects";

Value D(std::uint32_t n) {
    return {ValueType::Dword,
            {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
             static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24)}};
}

std::string PathOf(const std::string& name, std::string& leaf) {
    const auto slash = name.rfind('\\');
    leaf = name.substr(slash + 1);
    return slash == std::string::npos ? kKey : kKey + "\\" + name.substr(0, slash);
}

// Every member, so that records compare whole and print readably.
std::string Described(const ScreenSaverSettings& s) {
    std::ostringstream text;
    text << "EnlargeToFit=" << s.EnlargeToFit << " RandomOrder=" << s.RandomOrder
         << " ShowText=" << s.ShowText << " EnableKeys=" << s.EnableKeys
         << " UseEffects=" << s.UseEffects << " PictureMillis=" << s.PictureMillis
         << " EffectMillis=" << s.EffectMillis;
    for (const auto& [name, on] : s.TransitionEffects)
        text << " [" << name << "]=" << on;
    return text.str();
}

// The designed defaults, written out here rather than taken from the record, with changes.
std::string Defaults(const std::function<void(ScreenSaverSettings&)>& change = nullptr) {
    ScreenSaverSettings s;
    s.EnlargeToFit = s.RandomOrder = s.EnableKeys = false;
    s.ShowText = s.UseEffects = true;
    s.PictureMillis = s.EffectMillis = 2000;
    s.TransitionEffects = {{"Horizontal lines", true},
                           {"Vertical lines", true},
                           {"Big checkers", true},
                           {"Small checkers", true}};
    if (change) change(s);
    return Described(s);
}

// Runs against the store named by the parameter.
class Settings : public ::testing::TestWithParam<const char*> {
protected:
    // Puts `values` into the store, hands the store to `use`, and returns what the store then
    // holds; `created` tells whether the key exists afterwards. The registry's key is emptied first
    // and put back afterwards.
    Values Through(const Values& values, const std::function<void(SettingsStore&)>& use,
                   bool* created = nullptr) {
        Values held;
        std::string leaf;
#ifdef _WIN32
        if (std::string(GetParam()) == "registry") {
            const harness::RegistryKeySnapshot snapshot(kKey);
            for (const auto& [name, value] : values)
                EXPECT_TRUE(harness::SetValue(PathOf(name, leaf), leaf,
                                              static_cast<DWORD>(value.Type), value.Bytes.data(),
                                              static_cast<DWORD>(value.Bytes.size())));
            RegistrySettingsStore store;
            use(store);
            if (created) *created = harness::KeyExists(kKey);
            for (const std::string& path : {kKey, kEffects})
                for (const auto& [name, value] : harness::Values(path))
                    held[(path == kKey ? "" : "Transition Effects\\") + name] = {
                        static_cast<ValueType>(value.Type), value.Data};
            return held;
        }
#endif
        MemorySettingsStore store;
        for (const auto& [name, value] : values) {
            store.Keys[kKey]; // as in the registry, a subkey's value makes the path to it
            store.Keys[PathOf(name, leaf)][leaf] = value;
        }
        use(store);
        EXPECT_TRUE(store.Open.empty()) << "a key left open";
        if (created) *created = store.Keys.count(kKey) != 0;
        for (const auto& [path, named] : store.Keys)
            for (const auto& [name, value] : named)
                held[(path == kKey ? "" : "Transition Effects\\") + name] = value;
        return held;
    }
};

TEST_P(Settings, LoadingTakesEachFourByteNumberAndLeavesTheDefaultForAnythingElse) {
    const struct {
        const char* Name;
        Values Stored;
        std::function<void(ScreenSaverSettings&)> Expected; // the changes from the defaults
    } cases[] = {
        {"no key", {}, nullptr},
        {"every value off its default",
         {{"EnlargeToFit", D(1)},
          {"RandomOrder", D(1)},
          {"ShowText", D(0)},
          {"EnableKeys", D(1)},
          {"UseEffects", D(0)},
          {"PictureMillis", D(7000)},
          {"EffectMillis", D(3000)},
          {"Transition Effects\\Horizontal lines", D(0)},
          {"Transition Effects\\Vertical lines", D(1)},
          {"Transition Effects\\Big checkers", D(0)},
          {"Transition Effects\\Small checkers", D(1)}},
         [](ScreenSaverSettings& s) {
             s.EnlargeToFit = s.RandomOrder = s.EnableKeys = true;
             s.ShowText = s.UseEffects = false;
             s.PictureMillis = 7000;
             s.EffectMillis = 3000;
             s.TransitionEffects["Horizontal lines"] = s.TransitionEffects["Big checkers"] = false;
         }},
        // Flags are any non-zero number, all four bytes little-endian; numbers are not corrected.
        // No effects subkey: every effect stays on.
        {"numbers as stored",
         {{"EnableKeys", D(7)},
          {"RandomOrder", D(0x80000000)},
          {"PictureMillis", D(0x12345678)},
          {"EffectMillis", D(0xFFFFFFFF)}},
         [](ScreenSaverSettings& s) {
             s.EnableKeys = s.RandomOrder = true;
             s.PictureMillis = 0x12345678;
             s.EffectMillis = -1;
         }},
        // Each of these would read as a non-default number if its bytes were taken; four bytes of
        // binary data are a number whatever their type says. A good value beside them counts.
        {"values of the wrong type or size",
         {{"EnlargeToFit", {ValueType::String, {'a', 'b', 'c', 0}}},
          {"RandomOrder", {ValueType::Binary, {1, 0, 0, 0}}},
          {"ShowText", {ValueType::Dword, {0, 0}}},
          {"EnableKeys", {ValueType::Binary, {1, 0, 0, 0, 0, 0, 0, 0}}},
          {"UseEffects", {ValueType::Dword, {}}},
          {"PictureMillis", {ValueType::Qword, {0x10, 0x27, 0, 0, 0, 0, 0, 0}}},
          {"EffectMillis", {ValueType::DwordBigEndian, {0, 0, 0x0B, 0xB8}}},
          {"Transition Effects\\Vertical lines", {ValueType::String, {'0', 0}}},
          {"Transition Effects\\Small checkers", {ValueType::Dword, {0, 0, 0, 0, 0}}},
          {"Transition Effects\\Big checkers", D(0)}},
         [](ScreenSaverSettings& s) {
             s.RandomOrder = true;
             s.TransitionEffects["Big checkers"] = false;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        // Loading replaces whatever the record held, effects of other names included.
        ScreenSaverSettings settings;
        settings.ShowText = false;
        settings.TransitionEffects["Spiral"] = true;
        bool created = false;
        Through(
            c.Stored, [&](SettingsStore& store) { settings.LoadSettings(store); }, &created);
        EXPECT_EQ(Described(settings), Defaults(c.Expected));
        EXPECT_EQ(created, !c.Stored.empty()) << "loading created the key";
    }
    EXPECT_EQ(Described(ScreenSaverSettings()), Defaults());
    EXPECT_FALSE(ScreenSaverSettings().IsEffectEnabled("horizontal lines")); // names are exact
}

TEST_P(Settings, SavingWritesAllElevenValuesAsDwordsFlagsAsZeroOrOne) {
    // Into an empty store: both keys are created.
    Values expected{{"EnlargeToFit", D(0)},
                    {"RandomOrder", D(0)},
                    {"ShowText", D(1)},
                    {"EnableKeys", D(0)},
                    {"UseEffects", D(1)},
                    {"PictureMillis", D(2000)},
                    {"EffectMillis", D(2000)},
                    {"Transition Effects\\Horizontal lines", D(1)},
                    {"Transition Effects\\Vertical lines", D(1)},
                    {"Transition Effects\\Big checkers", D(1)},
                    {"Transition Effects\\Small checkers", D(1)}};
    EXPECT_EQ(Through({}, [](SettingsStore& store) { ScreenSaverSettings().SaveSettings(store); }),
              expected);

    // A stored 7 goes back as 1, wrong-typed values as proper ones, other values stay; an effect
    // missing from the map is written as off. What is saved loads back unchanged.
    ScreenSaverSettings saved, loaded;
    const Value unrelated{ValueType::String, {'k', 'e', 'p', 't', 0}};
    const Values held = Through(
        {{"ShowText", D(7)}, {"UseEffects", {ValueType::String, {'n', 'o', 0}}}, {"X", unrelated}},
        [&](SettingsStore& store) {
            saved.LoadSettings(store);
            saved.EnlargeToFit = true;
            saved.PictureMillis = 9000;
            saved.EffectMillis = -5;
            saved.TransitionEffects["Horizontal lines"] = false;
            saved.TransitionEffects.erase("Big checkers");
            saved.SaveSettings(store);
            loaded.LoadSettings(store);
        });
    expected["EnlargeToFit"] = D(1);
    expected["PictureMillis"] = D(9000);
    expected["EffectMillis"] = D(4294967291);
    expected["X"] = unrelated;
    expected["Transition Effects\\Horizontal lines"] =
        expected["Transition Effects\\Big checkers"] = D(0);
    EXPECT_EQ(held, expected);
    saved.TransitionEffects["Big checkers"] = false;
    EXPECT_EQ(Described(loaded), Described(saved));
}

#ifdef _WIN32
#define LM_STORES "memory", "registry"
#else
#define LM_STORES "memory"
#endif
INSTANTIATE_TEST_SUITE_P(Stores, Settings, ::testing::Values(LM_STORES),
                         [](const auto& store) { return std::string(store.param); });

TEST(SettingsFailures, AFailedWriteOrKeySkipsOnlyWhatItConcerns) {
    MemorySettingsStore store;
    store.FailingValues = {"ShowText"};
    store.FailingKeys = {kEffects};
    ScreenSaverSettings().SaveSettings(store);
    EXPECT_EQ(store.Keys, (decltype(store.Keys){{kKey,
                                                 {{"EnlargeToFit", D(0)},
                                                  {"RandomOrder", D(0)},
                                                  {"EnableKeys", D(0)},
                                                  {"UseEffects", D(1)},
                                                  {"PictureMillis", D(2000)},
                                                  {"EffectMillis", D(2000)}}}}));
    EXPECT_TRUE(store.Open.empty());
    // No key: nothing is written, and nothing is left open.
    MemorySettingsStore noKey;
    noKey.FailingKeys = {kKey};
    ScreenSaverSettings().SaveSettings(noKey);
    EXPECT_TRUE(noKey.Keys.empty() && noKey.Open.empty());
}

} // namespace
