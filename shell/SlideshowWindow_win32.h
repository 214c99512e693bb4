// The window the slideshow runs in: full screen over every monitor, or inside the Display
// Properties preview. It hosts the show (slideshow/): it creates it, hands it the picture timer,
// the paging keys, the paint and its destruction, and follows the monitors when they change. It
// turns every other input into a close request, and on close asks the password hook whether it
// may end.
#pragma once

#include "settings/ScreenSaverSettings.h"
#include "shell/Window_win32.h"
#include "slideshow/ShowLayout.h"
#include "slideshow/Slideshow_win32.h"

#include <windows.h>

#include <optional>

// The class both windows share, and their titles.
constexpr const char* kSlideshowClassName = "SlideshowScreenSaverClass";
constexpr const char* kFullScreenTitle = "ScreenSaverWindow";
constexpr const char* kPreviewTitle = "ScreenSaverPreviewWindow";

// The full-screen window looks at the monitors this often: not every system tells its windows
// when a monitor comes or goes (Wine does not).
constexpr UINT kLayoutCheckMillis = 500;
// For this long after a change of the monitors a mouse move is taken as the change's doing and
// does not close.
constexpr DWORD kLayoutSettleMillis = 1500;

class SlideshowWindow : public Window {
public:
    // Loads the settings from `store`.
    SlideshowWindow(bool isPreview, SettingsStore& store);
    // Destroys the window if it still exists, releasing the show as WM_DESTROY does.
    ~SlideshowWindow() override;

    // The topmost pop-up over the whole virtual screen: every monitor.
    bool CreateFullScreen();
    // A child filling `parent` from its top left corner, `width` x `height` pixels.
    bool CreatePreview(HWND parent, int width, int height);

    const ScreenSaverSettings& Settings() const { return Settings_; }

protected:
    bool ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnCreate();
    void OnClose();
    void OnDestroy();
    void OnPaint();
    void OnKeyDown(WPARAM virtualKey);
    void OnMouseMove(LPARAM position);
    void OnSetCursor();
    void RequestClose();
    // Covers the monitors as they are now, when they changed (or `always`): the window moved over
    // the new virtual screen, the start position of the cursor taken again, and a show per
    // monitor. True when it did.
    bool FollowLayout(bool always);
    static void CALLBACK CheckLayout(HWND window, UINT, UINT_PTR, DWORD);

    ScreenSaverSettings Settings_;
    bool IsPreview;
    POINT StartCursorPos{};
    // The monitors the full-screen window covers (none for the preview), and when they last
    // changed.
    DisplayLayout Layout;
    DWORD LayoutChangedAt = GetTickCount() - kLayoutSettleMillis;
    std::optional<Slideshow> Show;
};
