#include "tools/lanternmoor-pack/ScreenSaverFile_win32.h"

#include "tools/lanternmoor-pack/SystemText_win32.h"

#include <windows.h>

#include <algorithm>

namespace {

std::string SystemMessage(DWORD code) {
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = text != nullptr ? Utf8FromAnsi(text) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && std::string("\r\n .").find(message.back()) != std::string::npos)
        message.pop_back();
    return message;
}

ResourceName NameOf(LPCSTR name) {
    if (IS_INTRESOURCE(name)) return {LOWORD(reinterpret_cast<ULONG_PTR>(name)), ""};
    return {0, name};
}

LPCSTR Pointer(const ResourceName& name) {
    return name.Text.empty() ? MAKEINTRESOURCEA(name.Id) : name.Text.c_str();
}

BOOL CALLBACK AddLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language,
                          LONG_PTR resources) {
    const HRSRC found = FindResourceExA(module, type, name, language);
    const HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const char* bytes =
        loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (bytes == nullptr) return FALSE;
    reinterpret_cast<std::vector<Resource>*>(resources)->push_back(
        {NameOf(type), NameOf(name), language, std::string(bytes, SizeofResource(module, found))});
    return TRUE;
}

BOOL CALLBACK AddName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR resources) {
    return EnumResourceLanguagesA(module, type, name, &AddLanguage, resources);
}

BOOL CALLBACK AddType(HMODULE module, LPSTR type, LONG_PTR resources) {
    return EnumResourceNamesA(module, type, &AddName, resources);
}

} // namespace

bool ReadResources(const std::string& path, std::vector<Resource>& resources, std::string& error) {
    resources.clear();
    const HMODULE module =
        LoadLibraryExA(AnsiFromUtf8(path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        error = "cannot read " + path + ": " + SystemMessage(GetLastError());
        return false;
    }
    const bool read = EnumResourceTypesA(module, &AddType, reinterpret_cast<LONG_PTR>(&resources));
    FreeLibrary(module);
    if (!read) error = "cannot read the resources of " + path;
    std::sort(resources.begin(), resources.end());
    return read;
}

bool WriteScreenSaver(const std::string& from, const std::vector<Resource>& resources,
                      const std::string& path, std::string& error) {
    error.clear();
    const std::string part = AnsiFromUtf8(path + ".part");
    const auto fail = [&](const std::string& what) {
        error = what + ": " + SystemMessage(GetLastError());
        DeleteFileA(part.c_str());
        return false;
    };
    // Windows refuses to replace a read-only file, Wine does not: it is asked here for both.
    const DWORD attributes = GetFileAttributesA(AnsiFromUtf8(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        error = "cannot be written: it is read-only";
        return false;
    }
    // A copy of a read-only file is read-only too.
    if (!CopyFileA(AnsiFromUtf8(from).c_str(), part.c_str(), FALSE) ||
        !SetFileAttributesA(part.c_str(), FILE_ATTRIBUTE_NORMAL))
        return fail("cannot be written");
    // Every resource is written anew, the kept ones too: Wine keeps a resource that is deleted
    // one by one (UpdateResourceA without data), so only a start without any is sure to leave
    // none of the shipped pictures behind, on Windows as under Wine.
    const HANDLE update = BeginUpdateResourceA(part.c_str(), TRUE);
    if (update == nullptr) return fail("cannot be written");
    for (const Resource& r : resources)
        if (!UpdateResourceA(update, Pointer(r.Type), Pointer(r.Name),
                             static_cast<WORD>(r.Language), const_cast<char*>(r.Bytes.data()),
                             static_cast<DWORD>(r.Bytes.size()))) {
            const DWORD code = GetLastError();
            EndUpdateResourceA(update, TRUE);
            SetLastError(code);
            return fail("cannot be written");
        }
    if (!EndUpdateResourceA(update, FALSE)) return fail("cannot be written");
    std::vector<Resource> written;
    if (!ReadResources(path + ".part", written, error) || written != resources) {
        if (error.empty())
            error = "cannot be written: the file made reads back with resources other than the "
                    "pack's";
        DeleteFileA(part.c_str());
        return false;
    }
    if (!MoveFileExA(part.c_str(), AnsiFromUtf8(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail("cannot be written");
    return true;
}
