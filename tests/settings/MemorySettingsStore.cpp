#include "tests/settings/MemorySettingsStore.h"

#include <cstring>

bool MemorySettingsStore::Take(Key parent, const char* path, bool create, Key& key) {
    const auto open = Open.find(parent);
    if (parent != RootKey && open == Open.end()) return false;
    const std::string full = parent == RootKey ? path : open->second + "\\" + path;
    if (FailingKeys.count(full) != 0 || (!create && Keys.count(full) == 0)) return false;
    Keys[full];
    Open[key = next_] = full;
    next_ += 4;
    return true;
}

bool MemorySettingsStore::OpenKey(Key parent, const char* path, Key& key) {
    return Take(parent, path, false, key);
}

bool MemorySettingsStore::CreateKey(Key parent, const char* path, Key& key) {
    return Take(parent, path, true, key);
}

bool MemorySettingsStore::QueryValue(Key key, const char* name, ValueType& type, void* data,
                                     std::uint32_t& size) {
    const auto open = Open.find(key);
    if (open == Open.end()) return false;
    const auto& values = Keys[open->second];
    const auto value = values.find(name);
    if (value == values.end()) return false;
    // Like the registry: a value that does not fit fails and reports the size it needs.
    const std::size_t length = value->second.Bytes.size();
    const bool fits = length <= size;
    if (fits && length > 0) std::memcpy(data, value->second.Bytes.data(), length);
    size = static_cast<std::uint32_t>(length);
    type = value->second.Type;
    return fits;
}

bool MemorySettingsStore::SetDwordValue(Key key, const char* name, std::uint32_t value) {
    const auto open = Open.find(key);
    if (open == Open.end() || FailingValues.count(name) != 0) return false;
    Keys[open->second][name] = {
        ValueType::Dword,
        {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
         static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)}};
    return true;
}

void MemorySettingsStore::CloseKey(Key key) {
    Open.erase(key);
}
