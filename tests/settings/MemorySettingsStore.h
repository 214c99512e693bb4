// A settings store held in memory for the tests: keys by full path, values with their registry
// type and bytes, and the keys open now, so the settings rules can be checked without a registry.
#pragma once

#include "settings/SettingsStore.h"

#include <cstring>
#include <map>
#include <ostream>
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
        // As failures print it: the registry type's number and the bytes.
        friend void PrintTo(const Value& value, std::ostream* out) {
            *out << "type " << static_cast<int>(value.Type) << ":";
            for (const unsigned char byte : value.Bytes)
                *out << ' ' << static_cast<int>(byte);
        }
    };
    // A REG_DWORD value: four bytes, little-endian.
    static Value Dword(std::uint32_t n) {
        return {ValueType::Dword,
                {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
                 static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24)}};
    }

    // Keys by full path below the root ("Software\\Quillfern\\Lanternmoor"), values by name.
    std::map<std::string, std::map<std::string, Value>> Keys;
    // The keys open now.
    std::map<Key, std::string> Open;

    bool OpenKey(Key at, const char* path, Key& key) override { return Use(at, path, 0, key); }
    bool CreateKey(Key at, const char* path, Key& key) override { return Use(at, path, 1, key); }
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
        if (Open.count(key) == 0) return false;
        Keys[Open[key]][name] = Dword(value);
        return true;
    }
    void CloseKey(Key key) override { Open.erase(key); }

private:
    bool Use(Key parent, const char* path, bool create, Key& key) {
        if (parent != kRootKey && Open.count(parent) == 0) return false;
        const std::string full = parent == kRootKey ? path : Open[parent] + "\\" + path;
        if (!create && Keys.count(full) == 0) return false;
        Keys[full];
        Open[key = Next] = full;
        Next += 4;
        return true;
    }
    Key Next = 0x100;
};
