// The settings rules from one table against every store: the in-memory one, and under Wine the
// real registry, with the values written and read back through the registry API. The order of the
// store's calls and its failures are checked against the in-memory store alone.
#include "settings/MemorySettingsStore.h"
#include "settings/ScreenSaverSettings.h"

#ifdef _WIN32
#include "settings/RegistrySettingsStore_win32.h"
#include "tests/win32/WineHarness.h"
#endif

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
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

// A store under test, with raw access to the values it holds.
class Backend {
public:
    virtual ~Backend() = default;
    virtual SettingsStore& Store() = 0;
    virtual void Put(const std::string& path, const std::string& name, ValueType type,
                     const Bytes& bytes) = 0;
    // The values of a key by name: "N" for a 4-byte REG_DWORD of N, "type T, N bytes" else.
    virtual std::map<std::string, std::string> Values(const std::string& path) = 0;
    virtual bool HasKey(const std::string& path) = 0;
};

std::string Describe(ValueType type, const Bytes& bytes) {
    if (type == ValueType::Dword && bytes.size() == 4)
        return std::to_string(bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                              std::uint32_t{bytes[3]} << 24);
    return "type " + std::to_string(static_cast<int>(type)) + ", " + std::to_string(bytes.size()) +
           " bytes";
}

class MemoryBackend : public Backend {
public:
    SettingsStore& Store() override { return store_; }
    void Put(const std::string& path, const std::string& name, ValueType type,
             const Bytes& bytes) override {
        store_.PutKey(kKey); // as in the registry, a subkey's value makes the path to it
        store_.PutValue(path, name, type, bytes);
    }
    std::map<std::string, std::string> Values(const std::string& path) override {
        std::map<std::string, std::string> values;
        for (const std::string& name : store_.ValueNames(path)) {
            const auto value = store_.GetValue(path, name);
            values[name] = Describe(value->Type, value->Bytes);
        }
        return values;
    }
    bool HasKey(const std::string& path) override { return store_.HasKey(path); }

private:
    MemorySettingsStore store_;
};

#ifdef _WIN32
// The user's registry, emptied for the test and put back afterwards.
class RegistryBackend : public Backend {
public:
    SettingsStore& Store() override { return store_; }
    void Put(const std::string& path, const std::string& name, ValueType type,
             const Bytes& bytes) override {
        ASSERT_TRUE(harness::SetValue(path, name, static_cast<DWORD>(type), bytes.data(),
                                      static_cast<DWORD>(bytes.size())));
    }
    std::map<std::string, std::string> Values(const std::string& path) override {
        std::map<std::string, std::string> values;
        for (const auto& [name, value] : harness::Values(path))
            values[name] = Describe(static_cast<ValueType>(value.Type), value.Data);
        return values;
    }
    bool HasKey(const std::string& path) override { return harness::KeyExists(path); }

private:
    harness::RegistryKeySnapshot snapshot_{kKey};
    RegistrySettingsStore store_;
};
#endif

// Every member, so that records compare whole and print readably.
std::string Describe(const ScreenSaverSettings& s) {
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

// Every value read back as stored, keyed "Name" or "Transition Effects\Name".
std::map<std::string, std::string> StoredValues(Backend& backend) {
    std::map<std::string, std::string> values = backend.Values(kKey);
    for (const auto& [name, value] : backend.Values(kEffects))
        values["Transition Effects\\" + name] = value;
    return values;
}

class Settings : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { Fresh(); }
    // An empty store, the one before put back first.
    void Fresh() {
        backend_.reset();
#ifdef _WIN32
        if (std::string(GetParam()) == "registry") backend_ = std::make_unique<RegistryBackend>();
#endif
        if (backend_ == nullptr) backend_ = std::make_unique<MemoryBackend>();
    }
    // A name "Transition Effects\X" puts X into the effects subkey.
    void Put(const std::string& name, ValueType type, const Bytes& bytes) {
        const auto slash = name.rfind('\\');
        if (slash == std::string::npos) return backend_->Put(kKey, name, type, bytes);
        backend_->Put(kKey + "\\" + name.substr(0, slash), name.substr(slash + 1), type, bytes);
    }
    ScreenSaverSettings Load() {
        return ScreenSaverSettings(backend_->Store());
    }

    std::unique_ptr<Backend> backend_;
};

struct StoredValue {
    const char* Name;
    ValueType Type;
    Bytes Data;
};
StoredValue D(const char* name, std::uint32_t value) {
    return {name, ValueType::Dword, Dword(value)};
}

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
        // Each of these would read as a non-default number if its bytes were taken.
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
         [](ScreenSaverSettings& s) { s.TransitionEffects["Big checkers"] = false; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Fresh();
        for (const StoredValue& value : c.Values)
            Put(value.Name, value.Type, value.Data);
        // Loading replaces whatever the record held, effects of other names included.
        ScreenSaverSettings settings = Defaults([](ScreenSaverSettings& s) {
            s.ShowText = false;
            s.PictureMillis = 1;
            s.TransitionEffects["Spiral"] = true;
        });
        settings.LoadSettings(backend_->Store());
        EXPECT_EQ(Describe(settings), Describe(Defaults(c.Expected)));
        // Loading creates nothing.
        EXPECT_EQ(backend_->HasKey(kKey), !c.Values.empty());
    }
    EXPECT_EQ(Describe(ScreenSaverSettings()), Describe(Defaults()));
    EXPECT_FALSE(ScreenSaverSettings().IsEffectEnabled("horizontal lines")); // names are exact
}

TEST_P(Settings, SavingWritesAllElevenValuesAsDwordsFlagsAsZeroOrOne) {
    // Into an empty store: both keys are created.
    Defaults().SaveSettings(backend_->Store());
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
    EXPECT_EQ(StoredValues(*backend_), expected);

    // A stored 7 goes back as 1, wrong-typed values as proper ones, other values stay; an effect
    // missing from the map is written as off.
    Put("ShowText", ValueType::Dword, Dword(7));
    Put("UseEffects", ValueType::String, {'n', 'o', 0});
    Put("Unrelated", ValueType::String, {'k', 'e', 'p', 't', 0});
    ScreenSaverSettings settings = Load();
    settings.EnlargeToFit = true;
    settings.PictureMillis = 9000;
    settings.EffectMillis = -5;
    settings.TransitionEffects["Horizontal lines"] = false;
    settings.TransitionEffects.erase("Big checkers");
    settings.SaveSettings(backend_->Store());
    expected["EnlargeToFit"] = "1";
    expected["PictureMillis"] = "9000";
    expected["EffectMillis"] = "4294967291";
    expected["Unrelated"] = "type 1, 5 bytes";
    expected["Transition Effects\\Horizontal lines"] = "0";
    expected["Transition Effects\\Big checkers"] = "0";
    EXPECT_EQ(StoredValues(*backend_), expected);

    settings.TransitionEffects["Big checkers"] = false;
    EXPECT_EQ(Describe(Load()), Describe(settings)) << "what is saved loads back unchanged";
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
