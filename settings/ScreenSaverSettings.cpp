#include "settings/ScreenSaverSettings.h"

namespace {

// Reads one value as a 32-bit little-endian number: any 4 bytes of binary data (REG_DWORD,
// REG_BINARY, REG_NONE) count, as the registry's type is no concern of a 4-byte read. A string, a
// big-endian number, a short value or a wide one is not a number of ours, and leaves the default.
bool ReadNumber(SettingsStore& store, SettingsStore::Key key, const char* name,
                std::uint32_t& number) {
    unsigned char bytes[4] = {};
    std::uint32_t size = sizeof bytes;
    ValueType type = ValueType::None;
    if (!store.QueryValue(key, name, type, bytes, size)) return false;
    if (size != sizeof bytes ||
        (type != ValueType::Dword && type != ValueType::Binary && type != ValueType::None))
        return false;
    number = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
             std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
    return true;
}

void ReadFlag(SettingsStore& store, SettingsStore::Key key, const char* name, bool& flag) {
    std::uint32_t number = 0;
    if (ReadNumber(store, key, name, number)) flag = number != 0;
}

void ReadMillis(SettingsStore& store, SettingsStore::Key key, const char* name,
                std::int32_t& millis) {
    std::uint32_t number = 0;
    if (ReadNumber(store, key, name, number)) millis = static_cast<std::int32_t>(number);
}

} // namespace

ScreenSaverSettings::ScreenSaverSettings() {
    SetDefaults();
}

ScreenSaverSettings::ScreenSaverSettings(SettingsStore& store) {
    LoadSettings(store);
}

void ScreenSaverSettings::SetDefaults() {
    EnlargeToFit = false;
    RandomOrder = false;
    ShowText = true;
    EnableKeys = false;
    UseEffects = true;
    PictureMillis = 2000;
    EffectMillis = 2000;
    TransitionEffects.clear();
    for (const EffectName& effect : kEffectNames)
        TransitionEffects[effect.Name] = true;
}

void ScreenSaverSettings::LoadSettings(SettingsStore& store) {
    SetDefaults();
    SettingsStore::Key key = 0;
    if (!store.OpenKey(SettingsStore::kRootKey, kSettingsKeyPath, key)) return;

    for (const SettingValue& value : kSettingValues) {
        if (value.Flag != nullptr)
            ReadFlag(store, key, value.Name, this->*value.Flag);
        else
            ReadMillis(store, key, value.Name, this->*value.Millis);
    }

    SettingsStore::Key effects = 0;
    if (store.OpenKey(key, kEffectsSubkey, effects)) {
        for (const EffectName& effect : kEffectNames)
            ReadFlag(store, effects, effect.Name, TransitionEffects[effect.Name]);
        store.CloseKey(effects);
    }
    store.CloseKey(key);
}

void ScreenSaverSettings::SaveSettings(SettingsStore& store) const {
    SettingsStore::Key key = 0;
    if (!store.CreateKey(SettingsStore::kRootKey, kSettingsKeyPath, key)) return;

    // A failed write is ignored; the ones after it still happen.
    for (const SettingValue& value : kSettingValues)
        store.SetDwordValue(key, value.Name,
                            value.Flag != nullptr
                                ? (this->*value.Flag ? 1 : 0)
                                : static_cast<std::uint32_t>(this->*value.Millis));

    SettingsStore::Key effects = 0;
    if (store.CreateKey(key, kEffectsSubkey, effects)) {
        for (const EffectName& effect : kEffectNames)
            store.SetDwordValue(effects, effect.Name, IsEffectEnabled(effect.Name) ? 1 : 0);
        store.CloseKey(effects);
    }
    store.CloseKey(key);
}

bool ScreenSaverSettings::IsEffectEnabled(const std::string& name) const {
    const auto entry = TransitionEffects.find(name);
    return entry != TransitionEffects.end() && entry->second;
}
