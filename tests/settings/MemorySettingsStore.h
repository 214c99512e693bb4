// A settings store held in memory for the tests: keys by full path, values with their registry
// type and bytes. It can be told to fail creating or opening a key and writing a value, and keeps
// the keys open, so the settings rules can be checked without a registry.
#pragma once

#include "settings/SettingsStore.h"

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

    bool OpenKey(Key parent, const char* path, Key& key) override;
    bool CreateKey(Key parent, const char* path, Key& key) override;
    bool QueryValue(Key key, const char* name, ValueType& type, void* data,
                    std::uint32_t& size) override;
    bool SetDwordValue(Key key, const char* name, std::uint32_t value) override;
    void CloseKey(Key key) override;

    // Keys by full path below the root ("Software\\Quillfern\\Lanternmoor"), values by name.
    std::map<std::string, std::map<std::string, Value>> Keys;
    // Creating or opening these keys fails; so does writing a value of these names.
    std::set<std::string> FailingKeys, FailingValues;
    // The keys open now.
    std::map<Key, std::string> Open;

private:
    bool Take(Key parent, const char* path, bool create, Key& key);
    Key next_ = 0x100;
};
