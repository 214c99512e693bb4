#include "tools/lanternmoor-pack/PackResources.h"

#include "resources/ResourceIds.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <tuple>

namespace {

constexpr int kBitmapType = 2; // RT_BITMAP
constexpr int kDialogType = 5; // RT_DIALOG

auto Key(const Resource& r) {
    return std::tie(r.Type.Id, r.Type.Text, r.Name.Id, r.Name.Text, r.Language);
}

bool Is(const ResourceName& name, int id) {
    return name.Text.empty() && name.Id == id;
}

} // namespace

bool operator<(const Resource& a, const Resource& b) {
    // Texts come first: a named entry has Id 0 and so sorts before every numbered one.
    return Key(a) < Key(b);
}

bool operator==(const Resource& a, const Resource& b) {
    return Key(a) == Key(b) && a.Bytes == b.Bytes;
}

bool ReadStringBlock(const std::string& bytes, StringBlock& block) {
    std::size_t at = 0;
    const auto unit = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     static_cast<unsigned char>(bytes[i + 1]) << 8);
    };
    for (std::u16string& text : block) {
        if (bytes.size() - at < 2) return false;
        const std::size_t length = unit(at);
        at += 2;
        if ((bytes.size() - at) / 2 < length) return false;
        text.clear();
        for (std::size_t i = 0; i < length; ++i, at += 2)
            text += unit(at);
    }
    return at == bytes.size();
}

std::string StringBlockBytes(const StringBlock& block) {
    std::string bytes;
    const auto add = [&](unsigned unit) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    };
    for (const std::u16string& text : block) {
        add(static_cast<unsigned>(text.size()));
        for (const char16_t c : text)
            add(c);
    }
    return bytes;
}

std::u16string Utf16FromWindows1252(const std::string& text) {
    std::u16string utf16;
    for (const char c : text)
        utf16 += static_cast<char16_t>(Windows1252Character(static_cast<unsigned char>(c)));
    return utf16;
}

bool MakePackResources(const std::vector<Resource>& shipped, const std::string& from,
                       const Pack& pack, std::vector<Resource>& made, std::string& error) {
    made.clear();
    const auto has = [&](int type, int id) {
        return std::any_of(shipped.begin(), shipped.end(),
                           [&](const Resource& r) { return Is(r.Type, type) && Is(r.Name, id); });
    };
    if (!has(kDialogType, IDD_ABOUT) || !has(kDialogType, IDD_SETUP_PAGE) ||
        !has(kBitmapType, IDB_CAPTION_PATTERN)) {
        error = from +
                " is no Lanternmoor screen saver: its configuration page, About box or caption "
                "pattern is missing";
        return false;
    }
    // Captions go with pictures: no string of a picture id of either set is kept.
    std::set<int> pictures;
    for (const Resource& r : shipped)
        if (Is(r.Type, kRawDataType) && r.Name.Text.empty()) pictures.insert(r.Name.Id);
    for (const PackPicture& picture : pack.Pictures)
        pictures.insert(picture.Id);

    std::map<std::pair<int, int>, StringBlock> blocks; // (block, language): the ones rewritten
    for (const Resource& r : shipped) {
        const bool strings = Is(r.Type, kStringTableType) && r.Name.Text.empty();
        const int first = (r.Name.Id - 1) * 16;
        if (Is(r.Type, kRawDataType) ||
            (Is(r.Type, RT_PACK_CREDITS) && Is(r.Name, IDR_PACK_CREDITS)))
            continue;
        if (!strings || pictures.lower_bound(first) == pictures.lower_bound(first + 16)) {
            made.push_back(r);
            continue;
        }
        StringBlock& block = blocks[{r.Name.Id, r.Language}];
        if (!ReadStringBlock(r.Bytes, block)) {
            error = from + " has a damaged string table (block " + std::to_string(r.Name.Id) + ")";
            return false;
        }
        for (int i = 0; i < 16; ++i)
            if (pictures.count(first + i) != 0) block[static_cast<std::size_t>(i)].clear();
    }
    for (const PackPicture& picture : pack.Pictures) {
        const std::string path = PackFile(pack.Folder, picture.Name);
        std::ifstream file(std::filesystem::u8path(path), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (!file || bytes.empty()) {
            error = "cannot read " + path;
            return false;
        }
        made.push_back({{kRawDataType, ""}, {picture.Id, ""}, kPackLanguage, std::move(bytes)});
        if (!picture.Caption.empty())
            blocks[{picture.Id / 16 + 1, kPackLanguage}]
                  [static_cast<std::size_t>(picture.Id % 16)] =
                      Utf16FromWindows1252(picture.Caption);
    }
    for (const auto& [key, block] : blocks)
        if (std::any_of(block.begin(), block.end(), [](const auto& s) { return !s.empty(); }))
            made.push_back(
                {{kStringTableType, ""}, {key.first, ""}, key.second, StringBlockBytes(block)});
    if (!pack.Credits.empty())
        made.push_back(
            {{RT_PACK_CREDITS, ""}, {IDR_PACK_CREDITS, ""}, kPackLanguage, pack.Credits});
    std::sort(made.begin(), made.end());
    return true;
}
