// The resources of a screen saver made of a picture pack by LanternmoorPack.exe: every resource of
// the screen saver it starts from (icons, version, manifest, dialogs, the caption pattern, the
// program's strings) but that one's pictures, their captions and its pack's credits, and the
// pack's instead, in the form the resource compiler gives them in a build, so that the tool and
// the build make the same resources of the same pack.
#pragma once

#include "tools/check-pack/Pack.h"

#include <array>
#include <string>
#include <vector>

// A resource type or name: a number, or a text.
struct ResourceName {
    int Id = 0;       // when Text is empty
    std::string Text; // as the system spells it
};
struct Resource {
    ResourceName Type, Name;
    int Language = 0;
    std::string Bytes;
};
// In the order of a resource directory: by type, name and language, texts before numbers.
bool operator<(const Resource& a, const Resource& b);
bool operator==(const Resource& a, const Resource& b);

constexpr int kStringTableType = 6; // RT_STRING
constexpr int kRawDataType = 10;    // RT_RCDATA
// The language the resource compiler gives every resource of the build (U.S. English, as no
// script of ours names one), and so the pack's.
constexpr int kPackLanguage = 0x0409;

// A block of the string table: block n holds the strings of ids 16(n - 1) to 16n - 1, each stored
// as its length in UTF-16 units and then the units (little-endian), without a terminator; an
// absent string has length 0.
using StringBlock = std::array<std::u16string, 16>;
// False when the bytes are no such block.
bool ReadStringBlock(const std::string& bytes, StringBlock& block);
std::string StringBlockBytes(const StringBlock& block);
// Windows-1252 text in UTF-16, as the resource compiler converts it under code page 1252.
std::u16string Utf16FromWindows1252(const std::string& text);

// The resources of a screen saver of `pack` (checked, without errors) made from `shipped`, the
// resources of the Lanternmoor screen saver `from` names; sorted. False, with the reason in
// `error`, when `shipped` is no Lanternmoor screen saver or a picture cannot be read.
bool MakePackResources(const std::vector<Resource>& shipped, const std::string& from,
                       const Pack& pack, std::vector<Resource>& made, std::string& error);
