// The settings rules from one table against every store: the in-memory one, and under Wine the
// real registry, with the values written and read back through the registry API. The order of the
// store's calls and its failures are checked against the in-memory store alone.
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
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
const std::string kKey = "Software\\Quillfern\\Lanternmoor";
const std::string kEffects = kKey + "\\Transition Effects";

Bytes Dword(std::uint32_t value) {
    return {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
}

struct StoredValue {
    const char* Name; // "Transition Effects\X" for X in the effects subkey
    ValueType Type;
    Bytes Data;
};
StoredValue D(const char* name, std::uint32_t value) {
    return {name, ValueType::Dword, Dword(value)};
}

MemorySettingsStore Holding(const std::vector<StoredValue>& values) {
    MemorySettingsStore store;
    for (const StoredValue& value : values) {
        const std::string name = value.Name;
        const auto slash = name.rfind('\\');
        store.PutKey(kKey); // as in the registry, a subkey's value makes the path to it
        store.PutValue(slash == std::string::npos ? kKey : kKey + "\\" + name.substr(0, slash),
                       name.substr(slash + 1), value.Type, value.Data);
    }
    return store;
}

// Every value held, keyed "Name" or "Transition Effects\Name": "N" for a 4-byte REG_DWORD of N,
// "type T, N bytes" for anything else.
std::map<std::string, std::string> Described(const MemorySettingsStore& store) {
    std::map<std::string, std::string> values;
    for (const std::string& path : {kKey, kEffects}) {
        for (const std::string& name : store.ValueNames(path)) {
            const auto [type, bytes] = *store.GetValue(path, name);
            values[(path == kKey ? "" : "Transition Effects\\") + name] =
                type == ValueType::Dword && bytes.size() == 4
                    ? std::to_string(bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                     std::uint32_t{bytes[3]} << 24)
                    : "type " + std::to_string(static_cast<int>(type)) + ", " +
                          std::to_string(bytes.size()) + " bytes";
        }
    }
    return values;
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

// The designed defaults, written out here rather than taken from the record.
ScreenSaverSettings Defaults(const std::function<void(ScreenSaverSettings&)>& change = nullptr) {
    ScreenSaverSettings s;
    s.EnlargeToFit = s.RandomOrder = s.EnableKeys = false;
    s.ShowText = s.UseEffects = true;
    s.PictureMillis = s.EffectMillis = 2000;
    s.TransitionEffects = {{"Horizontal lines", true},
                           {"Vertical lines", true},
                           {"Big checkers", true},
                           {"Small checkers", true}};
    if (change) change(s);
    return s;
}

// Runs against the store named by the parameter.
class Settings : public ::testing::TestWithParam<const char*> {
protected:
    // Puts what `values` holds into the store, hands the store to `use`, and returns what the
    // store then holds. The registry's key is emptied first and put back afterwards; its values
    // are written and read back with the registry API.
    MemorySettingsStore Through(MemorySettingsStore values,
                                const std::function<void(SettingsStore&)>& use) {
#ifdef _WIN32
        if (std::string(GetParam()) == "registry") {
            const harness::RegistryKeySnapshot snapshot(kKey);
            for (const std::string& path : {kKey, kEffects}) {
                for (const std::string& name : values.ValueNames(path)) {
                    const auto value = values.GetValue(path, name);
                    EXPECT_TRUE(harness::SetValue(path, name, static_cast<DWORD>(value->Type),
                                                  value->Bytes.data(), value->Bytes.size()));
                }
            }
            RegistrySettingsStore store;
            use(store);
            MemorySettingsStore held;
            for (const std::string& path : {kKey, kEffects}) {
                if (harness::KeyExists(path)) held.PutKey(path);
                for (const auto& [name, value] : harness::Values(path))
                    held.PutValue(path, name, static_cast<ValueType>(value.Type), value.Data);
            }
            return held;
        }
#endif
        use(values);
        return values;
    }
};

TEST_P(Settings, LoadingTakesEachFourByteDwordAndLeavesTheDefaultForAnythingElse) {
    const struct {
        const char* Name;
        std::vector<StoredValue> Values;
        std::function<void(ScreenSaverSettings&)> Expected; // the changes from the defaults
    } cases[] = {
        {"no key", {}, nullptr},
        {"every value off its default",
         {D("EnlargeToFit", 1), D("RandomOrder", 1), D("ShowText", 0), D("EnableKeys", 1),
          D("UseEffects", 0), D("PictureMillis", 7000), D("EffectMillis", 3000),
          D("Transition Effects\\Horizontal lines", 0), D("Transition Effects\\Vertical lines", 1),
          D("Transition Effects\\Big checkers", 0), D("Transition Effects\\Small checkers", 1)},
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
         {D("EnableKeys", 7), D("RandomOrder", 0x80000000), D("PictureMillis", 0x12345678),
          D("EffectMillis", 0xFFFFFFFF)},
         [](ScreenSaverSettings& s) {
             s.EnableKeys = s.RandomOrder = true;
             s.PictureMillis = 0x12345678;
             s.EffectMillis = -1;
         }},
        {"a single effect value",
         {D("Transition Effects\\Big checkers", 0)},
         [](ScreenSaverSettings& s) { s.TransitionEffects["Big checkers"] = false; }},
        // Each of these would read as a non-default number if its bytes were taken; four bytes of
        // binary data are a number whatever their type says.
        {"values of the wrong type or size",
         {{"EnlargeToFit", ValueType::String, {'a', 'b', 'c', 0}},
          {"RandomOrder", ValueType::Binary, {1, 0, 0, 0}},
          {"ShowText", ValueType::Dword, {0, 0}},
          {"EnableKeys", ValueType::Binary, {1, 0, 0, 0, 0, 0, 0, 0}},
          {"UseEffects", ValueType::Dword, {}},
          {"PictureMillis", ValueType::Qword, {0x10, 0x27, 0, 0, 0, 0, 0, 0}},
          {"EffectMillis", ValueType::DwordBigEndian, {0, 0, 0x0B, 0xB8}},
          {"Transition Effects\\Vertical lines", ValueType::String, {'0', 0}},
          {"Transition Effects\\Small checkers", ValueType::Dword, {0, 0, 0, 0, 0}},
          D("Transition Effects\\Big checkers", 0)}, // a good value beside them still counts
         [](ScreenSaverSettings& s) {
             s.RandomOrder = true;
             s.TransitionEffects["Big checkers"] = false;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        // Loading replaces whatever the record held, effects of other names included.
        ScreenSaverSettings settings = Defaults([](ScreenSaverSettings& s) {
            s.ShowText = false;
            s.PictureMillis = 1;
            s.TransitionEffects["Spiral"] = true;
        });
        const MemorySettingsStore held =
            Through(Holding(c.Values), [&](SettingsStore& store) { settings.LoadSettings(store); });
        EXPECT_EQ(Described(settings), Described(Defaults(c.Expected)));
        EXPECT_EQ(held.HasKey(kKey), !c.Values.empty()) << "loading created the key";
    }
    EXPECT_EQ(Described(ScreenSaverSettings()), Described(Defaults()));
    EXPECT_FALSE(ScreenSaverSettings().IsEffectEnabled("horizontal lines")); // names are exact
}

TEST_P(Settings, SavingWritesAllElevenValuesAsDwordsFlagsAsZeroOrOne) {
    // Into an empty store: both keys are created.
    std::map<std::string, std::string> expected{{"EnlargeToFit", "0"},
                                                {"RandomOrder", "0"},
                                                {"ShowText", "1"},
                                                {"EnableKeys", "0"},
                                                {"UseEffects", "1"},
                                                {"PictureMillis", "2000"},
                                                {"EffectMillis", "2000"},
                                                {"Transition Effects\\Horizontal lines", "1"},
                                                {"Transition Effects\\Vertical lines", "1"},
                                                {"Transition Effects\\Big checkers", "1"},
                                                {"Transition Effects\\Small checkers", "1"}};
    EXPECT_EQ(Described(Through({}, [](SettingsStore& store) { Defaults().SaveSettings(store); })),
              expected);

    // A stored 7 goes back as 1, wrong-typed values as proper ones, other values stay; an effect
    // missing from the map is written as off. What is saved loads back unchanged.
    ScreenSaverSettings saved;
    ScreenSaverSettings loaded;
    const MemorySettingsStore held =
        Through(Holding({D("ShowText", 7),
                         {"UseEffects", ValueType::String, {'n', 'o', 0}},
                         {"Unrelated", ValueType::String, {'k', 'e', 'p', 't', 0}}}),
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
    expected["EnlargeToFit"] = "1";
    expected["PictureMillis"] = "9000";
    expected["EffectMillis"] = "4294967291";
    expected["Unrelated"] = "type 1, 5 bytes";
    expected["Transition Effects\\Horizontal lines"] = "0";
    expected["Transition Effects\\Big checkers"] = "0";
    EXPECT_EQ(Described(held), expected);
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

TEST(SettingsStoreCalls, LoadAndSaveReadAndWriteInTheDesignedOrderAndCloseEveryKey) {
    MemorySettingsStore store;
    ScreenSaverSettings settings(store);
    EXPECT_EQ(store.Calls(), std::vector<std::string>{"open " + kKey});

    store.PutKey(kKey);
    store.PutDword(kEffects, "Big checkers", 0);
    settings.LoadSettings(store);
    settings.SaveSettings(store);
    const std::vector<std::string> expected{
        "open " + kKey,           "query EnlargeToFit",    "query RandomOrder",
        "query ShowText",         "query EnableKeys",      "query UseEffects",
        "query PictureMillis",    "query EffectMillis",    "open " + kEffects,
        "query Horizontal lines", "query Vertical lines",  "query Big checkers",
        "query Small checkers",   "close " + kEffects,     "close " + kKey,
        "create " + kKey,         "set EnlargeToFit=0",    "set RandomOrder=0",
        "set ShowText=1",         "set EnableKeys=0",      "set UseEffects=1",
        "set PictureMillis=2000", "set EffectMillis=2000", "create " + kEffects,
        "set Horizontal lines=1", "set Vertical lines=1",  "set Big checkers=0",
        "set Small checkers=1",   "close " + kEffects,     "close " + kKey};
    EXPECT_EQ(std::vector<std::string>(store.Calls().begin() + 1, store.Calls().end()), expected);
    EXPECT_EQ(store.OpenKeyCount(), 0u);
}

TEST(SettingsStoreCalls, AFailedWriteOrKeySkipsOnlyWhatItConcerns) {
    MemorySettingsStore store;
    store.FailSetValue("ShowText");
    store.FailCreateKey(kEffects);
    ScreenSaverSettings().SaveSettings(store);
    EXPECT_EQ(store.ValueNames(kKey),
              (std::vector<std::string>{"EffectMillis", "EnableKeys", "EnlargeToFit",
                                        "PictureMillis", "RandomOrder", "UseEffects"}));
    EXPECT_FALSE(store.HasKey(kEffects));
    EXPECT_EQ(store.Calls().back(), "close " + kKey);
    EXPECT_EQ(store.OpenKeyCount(), 0u);

    MemorySettingsStore noKey;
    noKey.FailCreateKey(kKey);
    ScreenSaverSettings().SaveSettings(noKey);
    EXPECT_EQ(noKey.Calls(), std::vector<std::string>{"create " + kKey});
}

} // namespace
