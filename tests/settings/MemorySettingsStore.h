// A settings store held in memory: keys by full path, values with their registry type and bytes.
// It records what it was asked, opens no handle twice and can be told to fail, so the settings
// rules can be checked without a registry.
#pragma once

#include "settings/SettingsStore.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

class MemorySettingsStore : public SettingsStore {
public:
    struct Value {
        ValueType Type = ValueType::None;
        std::vector<unsigned char> Bytes;
    };

    bool OpenKey(Key parent, const char* path, Key& key) override;
    bool CreateKey(Key parent, const char* path, Key& key) override;
    bool QueryValue(Key key, const char* name, ValueType& type, void* data,
                    std::uint32_t& size) override;
    bool SetDwordValue(Key key, const char* name, std::uint32_t value) override;
    void CloseKey(Key key) override;

    // Direct access by full path below the root ("Software\\Quillfern\\Lanternmoor").
    void PutKey(const std::string& path);
    void PutValue(const std::string& path, const std::string& name, ValueType type,
                  std::vector<unsigned char> bytes);
    void PutDword(const std::string& path, const std::string& name, std::uint32_t value);
    bool HasKey(const std::string& path) const;
    std::optional<Value> GetValue(const std::string& path, const std::string& name) const;
    // The value names of a key, in byte-wise order.
    std::vector<std::string> ValueNames(const std::string& path) const;

    // Failure injection: creating (or opening) this key fails; writing this value name fails.
    void FailCreateKey(const std::string& path) { failingKeys_.insert(path); }
    void FailSetValue(const std::string& name) { failingValues_.insert(name); }

    std::size_t OpenKeyCount() const { return openKeys_.size(); }
    // Every call, in order: "open PATH", "create PATH", "query NAME", "set NAME=N", "close PATH".
    const std::vector<std::string>& Calls() const { return calls_; }

private:
    std::optional<std::string> PathOf(Key parent, const char* path) const;
    Key Open(const std::string& fullPath);

    std::map<std::string, std::map<std::string, Value>> keys_;
    std::map<Key, std::string> openKeys_;
    Key nextKey_ = 0x100;
    std::set<std::string> failingKeys_;
    std::set<std::string> failingValues_;
    std::vector<std::string> calls_;
};
