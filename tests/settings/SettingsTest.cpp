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
#include <string>
#include <vector>

namespace {

using Value = MemorySettingsStore::Value;
// Values by name, "Transition Effects\X" for X in the effects subkey.
using Values = std::map<std::string, Value>;
const std::string kKey = "Software\\Quillfern\\Lanternmoor";
const std::string kEffects = "Transition Effects";
// The eleven values in the order of a row.
const std::string kNames[] = {"EnlargeToFit",
                              "RandomOrder",
                              "ShowText",
                              "EnableKeys",
                              "UseEffects",
                              "PictureMillis",
                              "EffectMillis",
                              kEffects + "\\Horizontal lines",
                              kEffects + "\\Vertical lines",
                              kEffects + "\\Big checkers",
                              kEffects + "\\Small checkers"};
// A record as the eleven values it stands for, then how many effects it names.
using Row = std::vector<long long>;
const Row kDefaults = {0, 0, 1, 0, 1, 2000, 2000, 1, 1, 1, 1, 4};

Value D(std::uint32_t n) {
    return {ValueType::Dword,
            {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
             static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24)}};
}

Values Dwords(const Row& row) {
    Values values;
    for (int i = 0; i < 11; ++i)
        values[kNames[i]] = D(static_cast<std::uint32_t>(row[i]));
    return values;
}

Row RowOf(const ScreenSaverSettings& s) {
    Row row{s.EnlargeToFit, s.RandomOrder,   s.ShowText,    s.EnableKeys,
            s.UseEffects,   s.PictureMillis, s.EffectMillis};
    for (const char* name :
         {"Horizontal lines", "Vertical lines", "Big checkers", "Small checkers"})
        row.push_back(s.TransitionEffects.count(name) ? s.TransitionEffects.at(name) : -1);
    row.push_back(static_cast<long long>(s.TransitionEffects.size()));
    return row;
}

std::string PathOf(const std::string& name, std::string& leaf) {
    const auto slash = name.rfind('\\');
    leaf = name.substr(slash + 1);
    return slash == std::string::npos ? kKey : kKey + "\\" + name.substr(0, slash);
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
            for (const std::string& path : {kKey, kKey + "\\" + kEffects})
                for (const auto& [name, value] : harness::Values(path))
                    held[(path == kKey ? "" : kEffects + "\\") + name] = {
                        static_cast<ValueType>(value.first), value.second};
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
                held[(path == kKey ? "" : kEffects + "\\") + name] = value;
        return held;
    }
};

TEST_P(Settings, LoadingTakesEachFourByteNumberAndLeavesTheDefaultForAnythingElse) {
    const Row offDefaults = {1, 1, 0, 1, 0, 7000, 3000, 0, 1, 0, 1, 4};
    const std::pair<Values, Row> cases[] = {
        {{}, kDefaults},
        {Dwords(offDefaults), offDefaults},
        // Flags are any non-zero number, all four bytes little-endian; numbers are not corrected.
        // No effects subkey: every effect stays on.
        {{{"EnableKeys", D(7)},
          {"RandomOrder", D(0x80000000)},
          {"PictureMillis", D(0x12345678)},
          {"EffectMillis", D(0xFFFFFFFF)}},
         {0, 1, 1, 1, 1, 0x12345678, -1, 1, 1, 1, 1, 4}},
        // Each of these would read as a non-default number if its bytes were taken; four bytes of
        // binary data are a number whatever their type says. A good value beside them counts.
        {{{"EnlargeToFit", {ValueType::String, {'a', 'b', 'c', 0}}},
          {"RandomOrder", {ValueType::Binary, {1, 0, 0, 0}}},
          {"ShowText", {ValueType::Dword, {0, 0}}},
          {"EnableKeys", {ValueType::Binary, {1, 0, 0, 0, 0, 0, 0, 0}}},
          {"UseEffects", {ValueType::Dword, {}}},
          {"PictureMillis", {ValueType::Qword, {0x10, 0x27, 0, 0, 0, 0, 0, 0}}},
          {"EffectMillis", {ValueType::DwordBigEndian, {0, 0, 0x0B, 0xB8}}},
          {kEffects + "\\Vertical lines", {ValueType::String, {'0', 0}}},
          {kEffects + "\\Small checkers", {ValueType::Dword, {0, 0, 0, 0, 0}}},
          {kEffects + "\\Big checkers", D(0)}},
         {0, 1, 1, 0, 1, 2000, 2000, 1, 1, 0, 1, 4}},
    };
    for (const auto& [stored, expected] : cases) {
        // Loading replaces whatever the record held, effects of other names included.
        ScreenSaverSettings settings;
        settings.ShowText = false;
        settings.TransitionEffects["Spiral"] = true;
        bool created = false;
        Through(
            stored, [&](SettingsStore& store) { settings.LoadSettings(store); }, &created);
        EXPECT_EQ(RowOf(settings), expected);
        EXPECT_EQ(created, !stored.empty()) << "loading created the key";
    }
    EXPECT_EQ(RowOf(ScreenSaverSettings()), kDefaults);
    EXPECT_FALSE(ScreenSaverSettings().IsEffectEnabled("horizontal lines")); // names are exact
}

TEST_P(Settings, SavingWritesAllElevenValuesAsDwordsFlagsAsZeroOrOne) {
    // Into an empty store: both keys are created.
    EXPECT_EQ(Through({}, [](SettingsStore& store) { ScreenSaverSettings().SaveSettings(store); }),
              Dwords(kDefaults));

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
    Values expected = Dwords({1, 0, 1, 0, 1, 9000, 4294967291, 0, 1, 0, 1});
    expected["X"] = unrelated;
    EXPECT_EQ(held, expected);
    EXPECT_EQ(RowOf(loaded), (Row{1, 0, 1, 0, 1, 9000, -5, 0, 1, 0, 1, 4}));
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
    store.FailingKeys = {kKey + "\\" + kEffects};
    ScreenSaverSettings().SaveSettings(store);
    Values expected = Dwords(kDefaults);
    for (const auto& name : kNames)
        if (name == "ShowText" || name.find('\\') != std::string::npos) expected.erase(name);
    EXPECT_EQ(store.Keys, (decltype(store.Keys){{kKey, expected}}));
    EXPECT_TRUE(store.Open.empty());
    // No key: nothing is written, and nothing is left open.
    MemorySettingsStore noKey;
    noKey.FailingKeys = {kKey};
    ScreenSaverSettings().SaveSettings(noKey);
    EXPECT_TRUE(noKey.Keys.empty() && noKey.Open.empty());
}

} // namespace
