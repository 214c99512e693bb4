// Owning handles of Windows objects: one move-only template, UniqueHandle, and an alias per kind
// the program holds. Each gives its handle back exactly once, on every path out of its scope.
// Every GDI object, device context and cursor the program creates or borrows is held by one of
// them, so their live counts per kind are the process's.
#pragma once

#include <windows.h>

#include <atomic>
#include <utility>

// The kinds of handle counted. Wine's GetGuiResources answers 0, so a long run can only be
// checked for leaks by counting here.
enum class HandleKind { Bitmap, Dc, Brush, Palette, Font, Cursor };
constexpr int kHandleKinds = 6;

// Live handles of the process per kind: taken by a UniqueHandle and not yet given back. Any
// thread may read them (a diagnostic build reports them while the show runs).
inline std::atomic<long> gLiveHandles[kHandleKinds];

inline long LiveHandles(HandleKind kind) {
    return gLiveHandles[static_cast<int>(kind)].load();
}

// A handle and what giving it back needs besides (a window, a device context, a paint record):
// Traits says how. Traits has
//   using Handle = ...;                          what Get() gives, null when nothing is held
//   using Context = ...;                         default-constructible, kept beside the handle
//   static bool Close(Handle, const Context&);   gives the handle back; false when that failed
//   static constexpr bool kCounted;              whether live counts are kept, and if so
//   static constexpr HandleKind kKind;           under which kind
template <typename Traits> class UniqueHandle {
public:
    using Handle = typename Traits::Handle;
    using Context = typename Traits::Context;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle, Context context = Context{})
        : Held(handle), Beside(std::move(context)) {
        Count(Held, +1);
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept
        : Held(std::exchange(other.Held, Handle{})), Beside(std::move(other.Beside)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this == &other) return *this;
        // The handle moves with its count.
        Reset(other.Held, std::move(other.Beside));
        Count(std::exchange(other.Held, Handle{}), -1);
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    Handle Get() const { return Held; }
    explicit operator bool() const { return Held != Handle{}; }
    // Gives the handle up without giving it back: the caller owns it now.
    Handle Release() {
        Count(Held, -1);
        return std::exchange(Held, Handle{});
    }

    // Gives back the handle held (if any) and takes `handle`; false when giving back failed. A
    // new handle is always taken. Without one the old handle stays held when it could not be
    // given back, so an object still selected somewhere is not silently lost (the destructor
    // tries again); with one, the old handle is given up and stays counted, as a leak.
    bool Reset(Handle handle = Handle{}, Context context = Context{}) {
        const bool closed = Held == Handle{} || Traits::Close(Held, Beside);
        if (closed) Count(Held, -1);
        if (closed || handle != Handle{}) {
            Held = handle;
            Beside = std::move(context);
            Count(Held, +1);
        }
        return closed;
    }

private:
    static void Count(Handle handle, long change) {
        if constexpr (Traits::kCounted)
            if (handle != Handle{}) gLiveHandles[static_cast<int>(Traits::kKind)] += change;
    }

    Handle Held{};
    Context Beside{};
};

namespace handle_traits {

struct NoContext {};

// A GDI object: deleted with DeleteObject.
template <typename T, HandleKind CountedKind> struct GdiObject {
    using Handle = T;
    using Context = NoContext;
    static bool Close(Handle handle, const Context&) { return DeleteObject(handle) != FALSE; }
    static constexpr bool kCounted = true;
    static constexpr HandleKind kKind = CountedKind;
};

// A device context the program created (CreateCompatibleDC): deleted with DeleteDC.
struct Dc {
    using Handle = HDC;
    using Context = NoContext;
    static bool Close(Handle dc, const Context&) { return DeleteDC(dc) != FALSE; }
    static constexpr bool kCounted = true;
    static constexpr HandleKind kKind = HandleKind::Dc;
};

// A window's device context borrowed with GetDC: given back to the window with ReleaseDC.
struct BorrowedDc {
    using Handle = HDC;
    using Context = HWND;
    static bool Close(Handle dc, const Context& window) { return ReleaseDC(window, dc) != 0; }
    static constexpr bool kCounted = true;
    static constexpr HandleKind kKind = HandleKind::Dc;
};

// The device context of one paint: BeginPaint ... EndPaint.
struct PaintContext {
    HWND Window = nullptr;
    PAINTSTRUCT Paint{};
};
struct PaintDc {
    using Handle = HDC;
    using Context = PaintContext;
    static bool Close(Handle, const Context& paint) {
        return EndPaint(paint.Window, &paint.Paint) != FALSE;
    }
    static constexpr bool kCounted = false;
};

// A cursor made by the program (CreateCursor): destroyed with DestroyCursor.
struct Cursor {
    using Handle = HCURSOR;
    using Context = NoContext;
    static bool Close(Handle cursor, const Context&) {
        // The pointer in use cannot be destroyed (it would stay, leaked, when its owner goes
        // while the pointer rests on it): the arrow takes its place first.
        if (GetCursor() == cursor) SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        return DestroyCursor(cursor) != FALSE;
    }
    static constexpr bool kCounted = true;
    static constexpr HandleKind kKind = HandleKind::Cursor;
};

// An object selected into a device context: the handle is the one it replaced, selected back.
struct Selection {
    using Handle = HGDIOBJ;
    using Context = HDC;
    static bool Close(Handle previous, const Context& dc) {
        return previous == HGDI_ERROR || SelectObject(dc, previous) != nullptr;
    }
    static constexpr bool kCounted = false;
};

// A palette selected into a device context: the handle is the one it replaced, selected back
// as a background palette.
struct PaletteSelection {
    using Handle = HPALETTE;
    using Context = HDC;
    static bool Close(Handle previous, const Context& dc) {
        return SelectPalette(dc, previous, TRUE) != nullptr;
    }
    static constexpr bool kCounted = false;
};

// An open registry key: closed with RegCloseKey.
struct RegistryKey {
    using Handle = HKEY;
    using Context = NoContext;
    static bool Close(Handle key, const Context&) { return RegCloseKey(key) == ERROR_SUCCESS; }
    static constexpr bool kCounted = false;
};

// A kernel object (a process, a snapshot): closed with CloseHandle.
struct KernelObject {
    using Handle = HANDLE;
    using Context = NoContext;
    static bool Close(Handle object, const Context&) { return CloseHandle(object) != FALSE; }
    static constexpr bool kCounted = false;
};

// A resource update begun with BeginUpdateResourceA: given back by discarding it, so that only an
// update released and ended with EndUpdateResourceA(update, FALSE) writes anything.
struct ResourceUpdate {
    using Handle = HANDLE;
    using Context = NoContext;
    static bool Close(Handle update, const Context&) {
        return EndUpdateResourceA(update, TRUE) != FALSE;
    }
    static constexpr bool kCounted = false;
};

// A library loaded at run time: freed with FreeLibrary.
struct Library {
    using Handle = HMODULE;
    using Context = NoContext;
    static bool Close(Handle module, const Context&) { return FreeLibrary(module) != FALSE; }
    static constexpr bool kCounted = false;
};

} // namespace handle_traits

using UniqueBitmap = UniqueHandle<handle_traits::GdiObject<HBITMAP, HandleKind::Bitmap>>;
using UniqueBrush = UniqueHandle<handle_traits::GdiObject<HBRUSH, HandleKind::Brush>>;
using UniquePalette = UniqueHandle<handle_traits::GdiObject<HPALETTE, HandleKind::Palette>>;
using UniqueFont = UniqueHandle<handle_traits::GdiObject<HFONT, HandleKind::Font>>;
using UniqueDc = UniqueHandle<handle_traits::Dc>;
using UniqueBorrowedDc = UniqueHandle<handle_traits::BorrowedDc>;
using UniquePaintDc = UniqueHandle<handle_traits::PaintDc>;
using UniqueCursor = UniqueHandle<handle_traits::Cursor>;
using UniqueSelection = UniqueHandle<handle_traits::Selection>;
using UniquePaletteSelection = UniqueHandle<handle_traits::PaletteSelection>;
using UniqueRegistryKey = UniqueHandle<handle_traits::RegistryKey>;
using UniqueLibrary = UniqueHandle<handle_traits::Library>;
using UniqueKernelObject = UniqueHandle<handle_traits::KernelObject>;
using UniqueResourceUpdate = UniqueHandle<handle_traits::ResourceUpdate>;

// The acquisitions that need more than a handle to start with.

// `window`'s device context, borrowed with GetDC.
inline UniqueBorrowedDc BorrowDc(HWND window) {
    return UniqueBorrowedDc(GetDC(window), window);
}
// BeginPaint on `window`.
inline UniquePaintDc BeginPaintDc(HWND window) {
    handle_traits::PaintContext paint{window, {}};
    const HDC dc = BeginPaint(window, &paint.Paint);
    return UniquePaintDc(dc, paint);
}
// `object` selected into `dc` until the selection goes. Selecting a null object selects nothing.
inline UniqueSelection Select(HDC dc, HGDIOBJ object) {
    return object != nullptr ? UniqueSelection(SelectObject(dc, object), dc) : UniqueSelection();
}
// `palette` selected into `dc` (as a background palette or not) until the selection goes.
inline UniquePaletteSelection SelectPaletteInto(HDC dc, HPALETTE palette, bool background) {
    return UniquePaletteSelection(SelectPalette(dc, palette, background ? TRUE : FALSE), dc);
}
// The key `path` below `parent` opened for `access`; empty when it cannot be opened.
inline UniqueRegistryKey OpenRegistryKey(HKEY parent, const char* path, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path, 0, access, &key) != ERROR_SUCCESS) key = nullptr;
    return UniqueRegistryKey(key);
}
// A kernel object from a call that answers INVALID_HANDLE_VALUE when it fails.
inline UniqueKernelObject TakeKernelObject(HANDLE object) {
    return UniqueKernelObject(object == INVALID_HANDLE_VALUE ? nullptr : object);
}
// The library `name`, loaded; empty when it cannot be.
inline UniqueLibrary LoadLibraryNamed(const char* name) {
    return UniqueLibrary(LoadLibraryA(name));
}
// The exported function `name` of `library` as a pointer of type Function, or null.
template <typename Function> Function FindFunction(HMODULE library, const char* name) {
    // Through a plain function pointer type, which may be cast to any other without warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}
