// Owning wrappers for the Windows handles of the shell and the slideshow: each releases its handle
// exactly once, on every path out of its scope, and clears it.
#pragma once

#include <windows.h>

#include <utility>

// A GDI object (bitmap, brush, palette, ...), deleted with DeleteObject.
template <typename Handle> class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : handle_(other.Release()) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    ~GdiObject() { Reset(); }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    Handle Release() { return std::exchange(handle_, nullptr); }
    // Deletes the object held (if any) and takes `handle`; false when the deletion failed. A new
    // handle is always taken. Without one the field is cleared only when the deletion succeeds,
    // so an object still selected somewhere is not silently lost.
    bool Reset(Handle handle = nullptr) {
        const bool deleted = handle_ == nullptr || DeleteObject(handle_);
        if (deleted || handle != nullptr) handle_ = handle;
        return deleted;
    }

private:
    Handle handle_ = nullptr;
};

// A memory device context, deleted with DeleteDC.
class MemoryDc {
public:
    MemoryDc() = default;
    explicit MemoryDc(HDC dc) : dc_(dc) {}
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    ~MemoryDc() { Reset(); }

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    void Reset(HDC dc = nullptr) {
        // Clear the field first: nothing may use a context that is being deleted.
        if (HDC old = std::exchange(dc_, dc)) DeleteDC(old);
    }

private:
    HDC dc_ = nullptr;
};

// Selects an object into a device context for one scope and selects the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A palette selected into a device context for one scope.
class SelectedPalette {
public:
    SelectedPalette(HDC dc, HPALETTE palette, bool background)
        : dc_(dc), previous_(SelectPalette(dc, palette, background ? TRUE : FALSE)) {}
    SelectedPalette(const SelectedPalette&) = delete;
    SelectedPalette& operator=(const SelectedPalette&) = delete;
    ~SelectedPalette() {
        if (previous_ != nullptr) SelectPalette(dc_, previous_, TRUE);
    }

private:
    HDC dc_;
    HPALETTE previous_;
};

// BeginPaint ... EndPaint.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { EndPaint(window_, &paint_); }

    HDC Dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};

// A library loaded at run time, freed when the scope ends.
class LoadedLibrary {
public:
    explicit LoadedLibrary(const char* name) : module_(LoadLibraryA(name)) {}
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    ~LoadedLibrary() {
        if (module_ != nullptr) FreeLibrary(module_);
    }

    explicit operator bool() const { return module_ != nullptr; }
    // The exported function `name` as a pointer of type Function, or null.
    template <typename Function> Function Find(const char* name) const {
        // Through a plain function pointer type, which may be cast to any other without warning.
        return reinterpret_cast<Function>(
            reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
    }

private:
    HMODULE module_;
};
