// Every option of the screen saver, and how it persists per user in the registry.
#pragma once

#include "base/EffectNames.h"
#include "settings/SettingsStore.h"

#include <cstdint>
#include <map>
#include <string>

// Where the settings live below HKEY_CURRENT_USER, and the subkey of the effect flags.
constexpr const char* kSettingsKeyPath = "Software\\Quillfern\\Lanternmoor";
constexpr const char* kEffectsSubkey = "Transition Effects";

class ScreenSaverSettings {
public:
    // The defaults, without touching any store.
    ScreenSaverSettings();
    // Constructing a record from a store loads it.
    explicit ScreenSaverSettings(SettingsStore& store);

    // Fills every member from the store. Never fails: a missing key or a value that is missing, of
    // another size than 4 bytes or not binary data (a string, a big-endian number) leaves that
    // member's default.
    void LoadSettings(SettingsStore& store);
    // Writes all eleven values as REG_DWORD (flags as 0 or 1), creating the keys when missing.
    // Failures are ignored; every write that can happen does.
    void SaveSettings(SettingsStore& store) const;

    // Whether the named effect is enabled; a name not in the map reads as false.
    bool IsEffectEnabled(const std::string& name) const;

    bool EnlargeToFit;
    bool RandomOrder;
    bool ShowText;
    bool EnableKeys;
    bool UseEffects;
    // Not clamped: the 32 bits stored are handed on unchanged.
    std::int32_t PictureMillis;
    std::int32_t EffectMillis;
    // Keyed by the effects' names (base/EffectNames.h).
    std::map<std::string, bool> TransitionEffects;

private:
    void SetDefaults();
};

// The values of the settings key, each with the member it fills (a flag or a time), in the order
// in which they are read and written. The four of the effects follow them, under kEffectsSubkey
// (base/EffectNames.h).
struct SettingValue {
    const char* Name;
    bool ScreenSaverSettings::*Flag;           // null for a time
    std::int32_t ScreenSaverSettings::*Millis; // null for a flag
};
constexpr SettingValue kSettingValues[] = {
    {"EnlargeToFit", &ScreenSaverSettings::EnlargeToFit, nullptr},
    {"RandomOrder", &ScreenSaverSettings::RandomOrder, nullptr},
    {"ShowText", &ScreenSaverSettings::ShowText, nullptr},
    {"EnableKeys", &ScreenSaverSettings::EnableKeys, nullptr},
    {"UseEffects", &ScreenSaverSettings::UseEffects, nullptr},
    {"PictureMillis", nullptr, &ScreenSaverSettings::PictureMillis},
    {"EffectMillis", nullptr, &ScreenSaverSettings::EffectMillis},
};
