// The window the slideshow runs in, full screen or inside the Display Properties preview. It turns
// input into close requests or picture steps, paints the current picture, and on close asks the
// password hook whether it may end.
#pragma once

#include "settings/ScreenSaverSettings.h"
#include "shell/Handles_win32.h"
#include "shell/Window_win32.h"
#include "slideshow/Transition.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

// The class both windows share, and their titles.
constexpr const char* kSlideshowClassName = "SlideshowScreenSaverClass";
constexpr const char* kFullScreenTitle = "ScreenSaverWindow";
constexpr const char* kPreviewTitle = "ScreenSaverPreviewWindow";

// The picture timer's id.
constexpr UINT_PTR kPictureTimerId = 1;

// The steps the show of this process has completed and the live handle counts as each step left
// them: a record any thread may read (a diagnostic build reports it), so that the counts can be
// compared between steps however soon the next step follows.
struct ShowProgress {
    // Odd while the record is being written.
    std::atomic<unsigned long> Version{0};
    std::atomic<long> StepsDone{0};
    std::atomic<long> HandlesAfterStep[kHandleKinds]{};

    void StepDone() {
        ++Version;
        ++StepsDone;
        for (int kind = 0; kind < kHandleKinds; ++kind)
            HandlesAfterStep[kind] = LiveHandles(static_cast<HandleKind>(kind));
        ++Version;
    }
};
inline ShowProgress gShowProgress;

class SlideshowWindow : public Window {
public:
    // Loads the settings from `store`.
    SlideshowWindow(bool isPreview, SettingsStore& store);
    // Destroys the window if it still exists, releasing the show as WM_DESTROY does.
    ~SlideshowWindow() override;

    // The topmost pop-up over the whole primary screen.
    bool CreateFullScreen();
    // A child filling `parent` from its top left corner, `width` x `height` pixels.
    bool CreatePreview(HWND parent, int width, int height);

    const ScreenSaverSettings& Settings() const { return Settings_; }

protected:
    bool ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnCreate(const CREATESTRUCTA& create);
    void OnClose();
    void OnDestroy();
    void OnPaint();
    void OnQueryNewPalette();
    void OnKeyDown(WPARAM virtualKey);
    void OnMouseMove(LPARAM position);
    void OnSetCursor();
    void RequestClose();

    // The slideshow's part (slideshow/*_win32.cpp): set-up on creation, one step per timer tick
    // or paging key, release on destruction of the window.
    void SetUpShow(const CREATESTRUCTA& create);
    void CollectPictures();
    void StepPicture(int delta);
    void PreparePicture();
    void DrawCaption();
    void ReleaseShow();

    ScreenSaverSettings Settings_;
    bool IsPreview;
    POINT StartCursorPos{};
    // The show order: picture (and caption) resource ids.
    std::vector<std::int32_t> PictureIds;
    std::int32_t CurrentIndex = -1;
    // The enabled transition effects; the first one runs the next transition.
    EffectList Effects;
    // Set while a step runs: a step never starts inside another.
    bool Stepping = false;

    // Declared before MemoryDC, so that the bitmap is deleted only after the context it may be
    // selected into is gone.
    GdiObject<HBITMAP> PictureBitmap;
    RECT PictureRect{};
    // The class gives the window its own device context; it is never released.
    HDC WindowDC = nullptr;
    MemoryDc MemoryDC;
    GdiObject<HPALETTE> HalftonePalette;
    GdiObject<HBRUSH> CaptionBrush;
    UINT_PTR TimerId = 0;
};
