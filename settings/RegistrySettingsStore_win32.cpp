#include "settings/RegistrySettingsStore_win32.h"

#include <windows.h>

namespace {

HKEY ToHkey(SettingsStore::Key key) {
    return key == SettingsStore::kRootKey ? HKEY_CURRENT_USER : reinterpret_cast<HKEY>(key);
}

SettingsStore::Key FromHkey(HKEY key) {
    return reinterpret_cast<SettingsStore::Key>(key);
}

} // namespace

bool RegistrySettingsStore::OpenKey(Key parent, const char* path, Key& key) {
    HKEY opened = nullptr;
    // Opened keys are only read (saving creates its own): a key the user may read but not change,
    // as an administrator may lock it, still gives its settings rather than the defaults.
    if (RegOpenKeyExA(ToHkey(parent), path, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    key = FromHkey(opened);
    return true;
}

bool RegistrySettingsStore::CreateKey(Key parent, const char* path, Key& key) {
    HKEY created = nullptr;
    if (RegCreateKeyExA(ToHkey(parent), path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &created, nullptr) != ERROR_SUCCESS)
        return false;
    key = FromHkey(created);
    return true;
}

bool RegistrySettingsStore::QueryValue(Key key, const char* name, ValueType& type, void* data,
                                       std::uint32_t& size) {
    DWORD valueType = REG_NONE;
    DWORD valueSize = size;
    const LONG result = RegQueryValueExA(ToHkey(key), name, nullptr, &valueType,
                                         static_cast<BYTE*>(data), &valueSize);
    size = valueSize;
    if (result != ERROR_SUCCESS) return false;
    type = static_cast<ValueType>(valueType);
    return true;
}

bool RegistrySettingsStore::SetDwordValue(Key key, const char* name, std::uint32_t value) {
    const DWORD data = value;
    return RegSetValueExA(ToHkey(key), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                          sizeof data) == ERROR_SUCCESS;
}

void RegistrySettingsStore::CloseKey(Key key) {
    RegCloseKey(ToHkey(key));
}
