#include "tests/settings/MemorySettingsStore.h"

#include <cstring>

std::optional<std::string> MemorySettingsStore::PathOf(Key parent, const char* path) const {
    if (parent == RootKey) return std::string(path);
    const auto open = openKeys_.find(parent);
    if (open == openKeys_.end()) return std::nullopt;
    return open->second + "\\" + path;
}

SettingsStore::Key MemorySettingsStore::Open(const std::string& fullPath) {
    const Key key = nextKey_;
    nextKey_ += 4;
    openKeys_[key] = fullPath;
    return key;
}

bool MemorySettingsStore::OpenKey(Key parent, const char* path, Key& key) {
    const auto fullPath = PathOf(parent, path);
    calls_.push_back("open " + fullPath.value_or("?"));
    if (!fullPath || !HasKey(*fullPath) || failingKeys_.count(*fullPath) != 0) return false;
    key = Open(*fullPath);
    return true;
}

bool MemorySettingsStore::CreateKey(Key parent, const char* path, Key& key) {
    const auto fullPath = PathOf(parent, path);
    calls_.push_back("create " + fullPath.value_or("?"));
    if (!fullPath || failingKeys_.count(*fullPath) != 0) return false;
    PutKey(*fullPath);
    key = Open(*fullPath);
    return true;
}

bool MemorySettingsStore::QueryValue(Key key, const char* name, ValueType& type, void* data,
                                     std::uint32_t& size) {
    calls_.push_back(std::string("query ") + name);
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end()) return false;
    const auto value = GetValue(open->second, name);
    if (!value) return false;
    // Like the registry: a value that does not fit fails and reports the size it needs.
    if (value->Bytes.size() > size) {
        size = static_cast<std::uint32_t>(value->Bytes.size());
        return false;
    }
    if (!value->Bytes.empty()) std::memcpy(data, value->Bytes.data(), value->Bytes.size());
    size = static_cast<std::uint32_t>(value->Bytes.size());
    type = value->Type;
    return true;
}

bool MemorySettingsStore::SetDwordValue(Key key, const char* name, std::uint32_t value) {
    calls_.push_back(std::string("set ") + name + "=" + std::to_string(value));
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end() || failingValues_.count(name) != 0) return false;
    PutDword(open->second, name, value);
    return true;
}

void MemorySettingsStore::CloseKey(Key key) {
    const auto open = openKeys_.find(key);
    calls_.push_back("close " + (open == openKeys_.end() ? std::string("?") : open->second));
    if (open != openKeys_.end()) openKeys_.erase(open);
}

void MemorySettingsStore::PutKey(const std::string& path) {
    keys_[path];
}

void MemorySettingsStore::PutValue(const std::string& path, const std::string& name, ValueType type,
                                   std::vector<unsigned char> bytes) {
    keys_[path][name] = Value{type, std::move(bytes)};
}

void MemorySettingsStore::PutDword(const std::string& path, const std::string& name,
                                   std::uint32_t value) {
    PutValue(path, name, ValueType::Dword,
             {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
              static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)});
}

bool MemorySettingsStore::HasKey(const std::string& path) const {
    return keys_.count(path) != 0;
}

std::optional<MemorySettingsStore::Value>
MemorySettingsStore::GetValue(const std::string& path, const std::string& name) const {
    const auto key = keys_.find(path);
    if (key == keys_.end()) return std::nullopt;
    const auto value = key->second.find(name);
    if (value == key->second.end()) return std::nullopt;
    return value->second;
}

std::vector<std::string> MemorySettingsStore::ValueNames(const std::string& path) const {
    std::vector<std::string> names;
    const auto key = keys_.find(path);
    if (key != keys_.end()) {
        for (const auto& entry : key->second)
            names.push_back(entry.first);
    }
    return names;
}
