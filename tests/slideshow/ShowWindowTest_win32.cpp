// Each transition effect alone on a full-screen window of this process, run by the show's
// transition loop with the window's real message queue, its frames counted and timed around the
// real effect.
#include "base/ProcessorInfo.h"
#include "imaging/Ditherer_win32.h"
#include "imaging/EffectSurface_win32.h"
#include "imaging/RasterImage_win32.h"
#include "jpeg/ResourceInputStream.h"
#include "settings/ScreenSaverSettings.h"
#include "slideshow/PicturePreparation.h"
#include "slideshow/TransitionHost_win32.h"
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// The messages dispatched to the window: keys (as 0x10000 | key), mouse moves, paints and its own.
std::vector<UINT> dispatched;
LRESULT CALLBACK RecordMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_MOUSEMOVE || message == WM_PAINT ||
        message >= WM_USER)
        dispatched.push_back(message == WM_KEYDOWN ? 0x10000 | static_cast<UINT>(wParam) : message);
    return DefWindowProcA(window, message, wParam, lParam);
}

void Post(HWND window, const std::vector<UINT>& messages) {
    for (const UINT m : messages)
        if (m != 0) PostMessageA(window, m & 0x10000 ? WM_KEYDOWN : m, m & 0xFFFF, 0);
}

// Passes every call on to a real effect, noting the time of each Step and how many messages the
// window had been given by then.
struct FrameRecorder : TransitionEffect {
    explicit FrameRecorder(std::unique_ptr<TransitionEffect> real)
        : TransitionEffect(0, 0), Real(std::move(real)) {}
    void Begin(const Rect& from, const Rect& to) override { Real->Begin(from, to); }
    void Step(EffectSurface& surface, float progress) override {
        Frames.push_back({GetTickCount(), dispatched.size()});
        Real->Step(surface, progress);
    }
    void End() override { Real->End(); }
    std::unique_ptr<TransitionEffect> Real;
    std::vector<std::pair<DWORD, std::size_t>> Frames;
};

// From a screen full of another picture to 114, with messages waiting for the window, each effect
// leaves the picture whole and the rest black. Over a whole transition of 2 s its frames are at
// least 33 ms apart (about 60, never more than 61 before the final one); one message is taken per
// frame, Page Down dropped with paging on and the paint left undispatched. A close or destroy
// waiting for the window cuts the transition short and stays queued; the quit message cuts it
// short and is posted again; with paging off Page Down is dispatched.
TEST(ShowWindow, EachEffectAloneEndsWithThePictureWholeOnBlackInFramesAtLeast33MsApart) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &RecordMessage;
    windowClass.lpszClassName = "LanternmoorRecordingWindow";
    RegisterClassA(&windowClass);
    const HWND window =
        CreateWindowExA(WS_EX_TOPMOST, windowClass.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0,
                        width, height, nullptr, nullptr, nullptr, nullptr);
    // The window goes last, after its context is given back.
    const std::unique_ptr<HWND__, BOOL(WINAPI*)(HWND)> windowOwned(window, &DestroyWindow);
    const UniqueBorrowedDc windowDc = BorrowDc(window);
    const HDC dc = windowDc.Get();
    const UniqueDc memoryDc(CreateCompatibleDC(dc));
    const HDC memory = memoryDc.Get();
    // The picture as the show prepares it for this display, and the screen as it must end.
    ResourceInputStream stream;
    stream.open(114);
    RasterImage image;
    Rect at;
    ASSERT_TRUE(PreparePictureImage(stream, width, height, false, DisplayBitsPerPixel(dc),
                                    processorInfo().HasMmx, image, at));
    std::vector<DWORD> expected(width * height, 0);
    for (int y = at.Top; y < at.Bottom; ++y)
        for (int x = at.Left; x < at.Right; ++x)
            expected[y * width + x] = image.Pixels()[(y - at.Top) * image.Width() + x - at.Left];
    const UniqueBitmap bitmap = CreateDeviceBitmap(image, dc);
    const UniqueSelection selected = Select(memory, bitmap.Get());
    const UINT endings[] = {WM_CLOSE, WM_DESTROY, WM_QUIT, WM_CLOSE};
    const std::vector<UINT> taken{WM_USER + 1, 0x10000 | VK_HOME, WM_MOUSEMOVE, WM_USER + 2};
    for (int e = 0; e < 4; ++e)
        for (const UINT ending : {0u, endings[e]}) {
            const std::string name =
                kEffectNames[e].Name + std::string(ending ? ", cut short" : "");
            MSG message;
            while (PeekMessageA(&message, window, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
            PatBlt(dc, 0, 0, width, height, WHITENESS);
            dispatched.clear();
            Post(window, {0x10000 | VK_NEXT, taken[0], taken[1], taken[2]});
            if (ending == WM_QUIT) PostQuitMessage(0);
            Post(window, {ending == WM_QUIT ? 0 : ending, taken[3]});
            InvalidateRect(window, nullptr, FALSE);
            FrameRecorder effect(CreateTransitionEffect(kEffectNames[e].Kind, width, height));
            DeviceContextSurface surface(dc, memory);
            WindowTransitionHost host(window, ending == 0);
            RunTransition(effect, surface, Rect{0, 0, width, height}, at, 2000, host);
            EXPECT_TRUE(harness::ReadPixels(dc, 0, 0, width, height) == expected) << name;
            const std::size_t frames = effect.Frames.size() - 1;
            if (ending != 0) {
                std::vector<UINT> all{0x10000 | VK_NEXT};
                all.insert(all.end(), taken.begin(), taken.end() - (ending != WM_QUIT));
                EXPECT_EQ(dispatched, all) << name;
                EXPECT_EQ(frames, all.size() + 1) << name;
                EXPECT_TRUE(PeekMessageA(&message, window, 0, 0, PM_REMOVE) &&
                            message.message == ending)
                    << name << ": not left queued";
                continue;
            }
            std::printf("%s: %u frames over %lu ms\n", name.c_str(), static_cast<unsigned>(frames),
                        effect.Frames.back().first - effect.Frames.front().first);
            EXPECT_TRUE(frames >= 20 && frames <= 61) << name << ": " << frames << " frames";
            for (std::size_t i = 1; i < frames; ++i)
                EXPECT_TRUE(effect.Frames[i].first - effect.Frames[i - 1].first >= 30 &&
                            effect.Frames[i].second - effect.Frames[i - 1].second <= 1)
                    << name << ", frame " << i;
            EXPECT_EQ(dispatched, taken) << name;
            EXPECT_TRUE(GetUpdateRect(window, nullptr, FALSE)) << "the window was painted";
        }
}

} // namespace
