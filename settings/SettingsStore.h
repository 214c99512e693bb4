// The five registry operations the settings need, behind a small interface: the registry on
// Windows, an in-memory store in the tests.
#pragma once

#include <cstdint>

// Registry value types, as the registry numbers them.
enum class ValueType : std::uint32_t {
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    Dword = 4,
    DwordBigEndian = 5,
    MultiString = 7,
    Qword = 11,
};

class SettingsStore {
public:
    // An open key. Null is never a valid open key; RootKey names the user's root key
    // (HKEY_CURRENT_USER).
    using Key = std::uintptr_t;
    static constexpr Key kRootKey = 1;

    virtual ~SettingsStore() = default;

    // Opens an existing key below `parent` for reading; false when it does not exist or cannot be
    // read.
    virtual bool OpenKey(Key parent, const char* path, Key& key) = 0;
    // Opens the key below `parent`, creating it (and the path to it) when missing.
    virtual bool CreateKey(Key parent, const char* path, Key& key) = 0;
    // Reads a value into `data`, which holds `size` bytes. On success `size` is the value's length
    // and `type` its type. A missing value, or one longer than the buffer, is a failure.
    virtual bool QueryValue(Key key, const char* name, ValueType& type, void* data,
                            std::uint32_t& size) = 0;
    // Writes a 4-byte REG_DWORD value.
    virtual bool SetDwordValue(Key key, const char* name, std::uint32_t value) = 0;
    virtual void CloseKey(Key key) = 0;
};
