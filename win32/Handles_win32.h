// Owning wrappers for the Windows handles of the product: each releases its handle exactly once, on
// every path out of its scope, and clears it. Every GDI object, device context and cursor the
// product creates is held by one of them, so their live counts per kind are the process's.
#pragma once

#include <windows.h>

#include <atomic>
#include <utility>

// The kinds of handle counted. Wine's GetGuiResources answers 0, so a long run can only be
// checked for leaks by counting here.
enum class HandleKind { Bitmap, Dc, Brush, Palette, Font, Cursor };
constexpr int kHandleKinds = 6;

// Live handles of the process per kind: created through the wrappers and not yet released. Any
// thread may read them (a diagnostic build reports them while the show runs).
inline std::atomic<long> gLiveHandles[kHandleKinds];

inline long LiveHandles(HandleKind kind) {
    return gLiveHandles[static_cast<int>(kind)].load();
}
inline void CountHandle(HandleKind kind, long change) {
    gLiveHandles[static_cast<int>(kind)] += change;
}

template <typename Handle> constexpr HandleKind GdiKindOf();
template <> constexpr HandleKind GdiKindOf<HBITMAP>() {
    return HandleKind::Bitmap;
}
template <> constexpr HandleKind GdiKindOf<HBRUSH>() {
    return HandleKind::Brush;
}
template <> constexpr HandleKind GdiKindOf<HPALETTE>() {
    return HandleKind::Palette;
}
template <> constexpr HandleKind GdiKindOf<HFONT>() {
    return HandleKind::Font;
}

// A GDI object (bitmap, brush, palette, font), deleted with DeleteObject. It counts the handles
// it takes, whoever created them; a handle leaves only by its deletion (or moves to another).
template <typename Handle> class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) { Count(handle_, +1); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this == &other) return *this;
        // The handle moves with its count.
        Reset(other.handle_);
        Count(std::exchange(other.handle_, nullptr), -1);
        return *this;
    }
    ~GdiObject() { Reset(); }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // Deletes the object held (if any) and takes `handle`; false when the deletion failed. A new
    // handle is always taken. Without one the field is cleared only when the deletion succeeds,
    // so an object still selected somewhere is not silently lost.
    bool Reset(Handle handle = nullptr) {
        const bool deleted = handle_ == nullptr || DeleteObject(handle_);
        if (deleted) Count(handle_, -1);
        if (deleted || handle != nullptr) {
            // An old handle that could not be deleted is given up here: it stays counted.
            handle_ = handle;
            Count(handle_, +1);
        }
        return deleted;
    }

private:
    static void Count(Handle handle, long change) {
        if (handle != nullptr) CountHandle(GdiKindOf<Handle>(), change);
    }

    Handle handle_ = nullptr;
};

// A memory device context, deleted with DeleteDC.
class MemoryDc {
public:
    MemoryDc() = default;
    explicit MemoryDc(HDC dc) : dc_(dc) {
        if (dc_ != nullptr) CountHandle(HandleKind::Dc, +1);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    ~MemoryDc() { Reset(); }

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    void Reset(HDC dc = nullptr) {
        if (dc != nullptr) CountHandle(HandleKind::Dc, +1);
        // Clear the field first: nothing may use a context that is being deleted.
        if (HDC old = std::exchange(dc_, dc); old != nullptr && DeleteDC(old))
            CountHandle(HandleKind::Dc, -1);
    }

private:
    HDC dc_ = nullptr;
};

// A window's device context borrowed with GetDC for one scope and given back with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {
        if (dc_ != nullptr) CountHandle(HandleKind::Dc, +1);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_ != nullptr && ReleaseDC(window_, dc_)) CountHandle(HandleKind::Dc, -1);
    }

    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A cursor made by the program (CreateCursor), destroyed with DestroyCursor.
class OwnedCursor {
public:
    OwnedCursor() = default;
    OwnedCursor(const OwnedCursor&) = delete;
    OwnedCursor& operator=(const OwnedCursor&) = delete;
    ~OwnedCursor() { Reset(); }

    HCURSOR Get() const { return cursor_; }
    void Reset(HCURSOR cursor = nullptr) {
        if (cursor != nullptr) CountHandle(HandleKind::Cursor, +1);
        const HCURSOR old = std::exchange(cursor_, cursor);
        if (old == nullptr) return;
        // The pointer in use cannot be destroyed (it would stay, leaked, when its owner goes
        // while the pointer rests on it): the arrow takes its place first.
        if (GetCursor() == old) SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        if (DestroyCursor(old)) CountHandle(HandleKind::Cursor, -1);
    }

private:
    HCURSOR cursor_ = nullptr;
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
