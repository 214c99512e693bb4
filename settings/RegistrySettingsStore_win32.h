// The settings store on Windows: the user's registry (HKEY_CURRENT_USER).
#pragma once

#include "settings/SettingsStore.h"

class RegistrySettingsStore : public SettingsStore {
public:
    bool OpenKey(Key parent, const char* path, Key& key) override;
    bool CreateKey(Key parent, const char* path, Key& key) override;
    bool QueryValue(Key key, const char* name, ValueType& type, void* data,
                    std::uint32_t& size) override;
    bool SetDwordValue(Key key, const char* name, std::uint32_t value) override;
    void CloseKey(Key key) override;
};
