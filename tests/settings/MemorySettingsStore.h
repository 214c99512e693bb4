// A settings store held in memory for the tests: keys by full path, values with their registry
// type and bytes. It can be told to fail creating or opening a key and writing a value, and keeps
// the keys open, so the settings rules can be checked without a registry.
#pragma once

#include "settings/SettingsStore.h"

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

class MemorySettingsStore : public SettingsStore {
public:
    struct Value {
        ValueType Type = ValueType::None;
        std::vector<unsigned char> Bytes;
        bool operator==(const Value& other) const {
            return Type == other.Type && Bytes == other.Bytes;
        }
    };

    // Keys by full path below the root ("Software\\Quillfern\\Lanternmoor"), values by name.
    std::map<std::string, std::map<std::string, Value>> Keys;
    // Creating or opening these keys fails; so does writing a value of these names.
    std::set<std::string> FailingKeys, FailingValues;
    // The keys open now.
    std::map<Key, std::string> Open;

    bool OpenKey(Key parent, const char* path, Key& key) override {
        return Take(parent, path, false, key);
    }
    bool CreateKey(Key parent, const char* path, Key& key) override {
        return Take(parent, path, true, key);
    }
    bool QueryValue(Key key, const char* name, ValueType& type, void* data,
                    std::uint32_t& size) override {
        if (Open.count(key) == 0 || Keys[Open[key]].count(name) == 0) return false;
        // Like the registry: a value that does not fit fails and reports the size it needs.
        const Value& value = Keys[Open[key]][name];
        const bool fits = value.Bytes.size() <= size;
        if (fits && !value.Bytes.empty()) std::memcpy(data, value.Bytes.data(), value.Bytes.size());
        size = static_cast<std::uint32_t>(value.Bytes.size());
        type = value.Type;
        return fits;
    }
    bool SetDwordValue(Key key, const char* name, std::uint32_t value) override {
        if (Open.count(key) == 0 || FailingValues.count(name) != 0) return false;
        Keys[Open[key]][name] = {
            ValueType::Dword,
            {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
             static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)}};
        return true;
    }
    void CloseKey(Key key) override { Open.erase(key); }

private:
    bool Take(Key parent, const char* path, bool create, Key& key) {
        if (parent != RootKey && Open.count(parent) == 0) return false;
        const std::string full = parent == RootKey ? path : Open[parent] + "\\" + path;
        if (FailingKeys.count(full) != 0 || (!create && Keys.count(full) == 0)) return false;
        Keys[full];
        Open[key = next_] = full;
        next_ += 4;
        return true;
    }
    Key next_ = 0x100;
};
