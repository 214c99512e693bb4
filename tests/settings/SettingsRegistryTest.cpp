// The settings rules against the real registry under Wine: values written with the registry API,
// loaded through the registry store; saved records read back value by value.
#include "settings/RegistrySettingsStore_win32.h"
#include "settings/ScreenSaverSettings.h"
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace harness;

namespace {

const std::string kKey = "Software\\Quillfern\\Lanternmoor";
const std::string kEffects = kKey + "\\Transition Effects";

class SettingsRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        snapshot_ = std::make_unique<RegistryKeySnapshot>(kKey);
        DeleteKeyTree(kKey);
    }
    void TearDown() override { snapshot_.reset(); }

    ScreenSaverSettings Load() {
        RegistrySettingsStore store;
        return ScreenSaverSettings(store);
    }
    void Save(const ScreenSaverSettings& settings) {
        RegistrySettingsStore store;
        settings.SaveSettings(store);
    }

    // A value read back with the registry API: it must be a 4-byte REG_DWORD.
    static DWORD StoredDword(const std::string& path, const std::string& name) {
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        if (!GetValue(path, name, type, data) || type != REG_DWORD || data.size() != 4) {
            ADD_FAILURE() << path << "\\" << name << " is not a 4-byte REG_DWORD";
            return 0xDEADBEEF;
        }
        return data[0] | data[1] << 8 | data[2] << 16 | static_cast<DWORD>(data[3]) << 24;
    }

private:
    std::unique_ptr<RegistryKeySnapshot> snapshot_;
};

TEST_F(SettingsRegistry, WithoutTheKeyTheDefaultsLoad) {
    const ScreenSaverSettings settings = Load();
    EXPECT_FALSE(settings.EnlargeToFit);
    EXPECT_FALSE(settings.RandomOrder);
    EXPECT_TRUE(settings.ShowText);
    EXPECT_FALSE(settings.EnableKeys);
    EXPECT_TRUE(settings.UseEffects);
    EXPECT_EQ(settings.PictureMillis, 2000);
    EXPECT_EQ(settings.EffectMillis, 2000);
    for (const char* name : kEffectNames)
        EXPECT_TRUE(settings.IsEffectEnabled(name)) << name;
    // Loading creates nothing.
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, kKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
}

TEST_F(SettingsRegistry, StoredValuesLoadAsWritten) {
    ASSERT_TRUE(SetDword(kKey, "EnlargeToFit", 1));
    ASSERT_TRUE(SetDword(kKey, "ShowText", 7));
    ASSERT_TRUE(SetDword(kKey, "UseEffects", 0));
    ASSERT_TRUE(SetDword(kKey, "PictureMillis", 500));
    ASSERT_TRUE(SetDword(kKey, "EffectMillis", 0xFFFFFFFF));
    ScreenSaverSettings settings = Load();
    EXPECT_TRUE(settings.EnlargeToFit);
    EXPECT_FALSE(settings.RandomOrder);
    EXPECT_TRUE(settings.ShowText);
    EXPECT_FALSE(settings.UseEffects);
    EXPECT_EQ(settings.PictureMillis, 500);
    EXPECT_EQ(settings.EffectMillis, -1);
    // No "Transition Effects" subkey: every effect on.
    for (const char* name : kEffectNames)
        EXPECT_TRUE(settings.IsEffectEnabled(name)) << name;

    ASSERT_TRUE(SetDword(kEffects, "Big checkers", 0));
    settings = Load();
    EXPECT_TRUE(settings.IsEffectEnabled("Horizontal lines"));
    EXPECT_TRUE(settings.IsEffectEnabled("Vertical lines"));
    EXPECT_FALSE(settings.IsEffectEnabled("Big checkers"));
    EXPECT_TRUE(settings.IsEffectEnabled("Small checkers"));
}

TEST_F(SettingsRegistry, ValuesOfTheWrongTypeOrSizeLoadAsTheDefault) {
    const BYTE one[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    const BYTE tenThousand[8] = {0x10, 0x27, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(SetString(kKey, "EnlargeToFit", "abc")); // 4 bytes with its terminator
    ASSERT_TRUE(SetString(kKey, "RandomOrder", "1"));
    ASSERT_TRUE(SetValue(kKey, "EnableKeys", REG_BINARY, one, 8));
    ASSERT_TRUE(SetValue(kKey, "ShowText", REG_DWORD, one + 4, 2)); // "ShowText" defaults to on
    ASSERT_TRUE(SetValue(kKey, "PictureMillis", REG_QWORD, tenThousand, 8));
    ASSERT_TRUE(SetValue(kKey, "EffectMillis", REG_BINARY, tenThousand, 4));
    ASSERT_TRUE(SetString(kEffects, "Vertical lines", "0"));
    const ScreenSaverSettings settings = Load();
    EXPECT_FALSE(settings.EnlargeToFit);
    EXPECT_FALSE(settings.RandomOrder);
    EXPECT_FALSE(settings.EnableKeys);
    EXPECT_TRUE(settings.ShowText);
    EXPECT_EQ(settings.PictureMillis, 2000);
    EXPECT_EQ(settings.EffectMillis, 2000);
    EXPECT_TRUE(settings.IsEffectEnabled("Vertical lines"));
}

TEST_F(SettingsRegistry, SavingWritesTheElevenValuesAsZeroOrOneDwords) {
    // From an empty registry: both keys are created and the defaults written.
    Save(Load());
    EXPECT_EQ(ValueNames(kKey),
              (std::vector<std::string>{"EffectMillis", "EnableKeys", "EnlargeToFit",
                                        "PictureMillis", "RandomOrder", "ShowText", "UseEffects"}));
    EXPECT_EQ(ValueNames(kEffects), (std::vector<std::string>{"Big checkers", "Horizontal lines",
                                                              "Small checkers", "Vertical lines"}));
    EXPECT_EQ(StoredDword(kKey, "EnlargeToFit"), 0u);
    EXPECT_EQ(StoredDword(kKey, "RandomOrder"), 0u);
    EXPECT_EQ(StoredDword(kKey, "ShowText"), 1u);
    EXPECT_EQ(StoredDword(kKey, "EnableKeys"), 0u);
    EXPECT_EQ(StoredDword(kKey, "UseEffects"), 1u);
    EXPECT_EQ(StoredDword(kKey, "PictureMillis"), 2000u);
    EXPECT_EQ(StoredDword(kKey, "EffectMillis"), 2000u);
    for (const char* name : kEffectNames)
        EXPECT_EQ(StoredDword(kEffects, name), 1u) << name;

    // A stored 7 goes back as 1; a changed record writes every member; other values stay.
    ASSERT_TRUE(SetDword(kKey, "ShowText", 7));
    ASSERT_TRUE(SetString(kKey, "Unrelated", "kept"));
    ScreenSaverSettings settings = Load();
    settings.EnlargeToFit = true;
    settings.UseEffects = false;
    settings.PictureMillis = 9000;
    settings.TransitionEffects["Horizontal lines"] = false;
    Save(settings);
    EXPECT_EQ(StoredDword(kKey, "ShowText"), 1u);
    EXPECT_EQ(StoredDword(kKey, "EnlargeToFit"), 1u);
    EXPECT_EQ(StoredDword(kKey, "UseEffects"), 0u);
    EXPECT_EQ(StoredDword(kKey, "PictureMillis"), 9000u);
    EXPECT_EQ(StoredDword(kEffects, "Horizontal lines"), 0u);
    EXPECT_EQ(StoredDword(kEffects, "Vertical lines"), 1u);
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    EXPECT_TRUE(GetValue(kKey, "Unrelated", type, data));
}

} // namespace
