// The show inside this process, whose resources hold the test pictures and captions: the
// preview's own pixels for every kind of picture, no memory for one, the timer's period and the
// effect duration from a hand-edited registry, the transition loop's message rules against a
// real message queue, long captions, and the caption pattern in Lanternmoor.scr.
#include "imaging/Ditherer_win32.h"
#include "imaging/PixelBuffer.h"
#include "imaging/RasterImage.h"
#include "jpeg/ProcessorInfo.h"
#include "jpeg/ResourceInputStream.h"
#include "settings/MemorySettingsStore.h"
#include "shell/ApplicationModule_win32.h"
#include "shell/SlideshowWindow_win32.h"
#include "slideshow/Caption_win32.h"
#include "slideshow/PicturePreparation.h"
#include "slideshow/TransitionHost_win32.h"
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* const kKey = "Software\\Quillfern\\Lanternmoor";
constexpr int kWidth = 400, kHeight = 300;

// The client area's pixels, 0xRRGGBB, read back from the window's device context.
std::vector<COLORREF> WindowPixels(HWND window) {
    const HDC dc = GetDC(window);
    const HDC memory = CreateCompatibleDC(dc);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, kWidth, kHeight, dc, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<COLORREF> pixels(static_cast<const COLORREF*>(bits),
                                 static_cast<const COLORREF*>(bits) + kWidth * kHeight);
    for (COLORREF& p : pixels)
        p &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, dc);
    return pixels;
}

// The window as it must look with picture `id` of this program: prepared for the window and
// shown without a caption on black, or all black when there is nothing to show.
std::vector<COLORREF> Expected(int id) {
    const HDC screen = GetDC(nullptr);
    const int bits = DisplayBitsPerPixel(screen);
    ReleaseDC(nullptr, screen);
    ResourceInputStream stream;
    stream.open(id);
    RasterImage image;
    Rect at;
    std::vector<COLORREF> window(kWidth * kHeight, 0);
    if (!PreparePictureImage(stream, kWidth, kHeight, false, bits, processorInfo().hasMmx, image,
                             at))
        return window;
    for (int y = at.top; y < at.bottom; ++y)
        for (int x = at.left; x < at.right; ++x)
            window[y * kWidth + x] = image.Pixels()[(y - at.top) * image.Width() + (x - at.left)];
    return window;
}

void* RefuseAllocation(std::size_t) {
    return nullptr;
}

class ShowWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        harness::Pump(0);
        store_.PutDword(kKey, "UseEffects", 0);
        store_.PutDword(kKey, "PictureMillis", 600000);
    }
    void TearDown() override { harness::Pump(0); }

    ApplicationModule module_{GetModuleHandleA(nullptr)};
    MemorySettingsStore store_;
    harness::TestWindow parent_{0, 0, kWidth, kHeight, WS_POPUP};
};

TEST_F(ShowWindowTest, ThePreviewShowsEachPictureUncaptionedOrNothingAndTheShowGoesOn) {
    SlideshowWindow preview(true, store_);
    // No memory for the first picture: it shows as background.
    const ImagingAllocateFunction heap = SetImagingAllocateFunction(&RefuseAllocation);
    ASSERT_TRUE(preview.CreatePreview(parent_.Handle(), kWidth, kHeight));
    harness::Pump(300);
    SetImagingAllocateFunction(heap);
    EXPECT_EQ(WindowPixels(preview.Handle()), std::vector<COLORREF>(kWidth * kHeight, 0));
    // Then each picture in id order (a timer tick of any id steps): one cut in half, a grey one,
    // an 8192 x 8192 one, one that is no picture, and round again to the photograph, whose
    // caption the preview does not show.
    for (const int id : {200, 201, 202, 203, 114}) {
        const std::vector<COLORREF> expected = Expected(id);
        PostMessageA(preview.Handle(), WM_TIMER, 77, 0);
        EXPECT_TRUE(
            harness::WaitUntil([&] { return WindowPixels(preview.Handle()) == expected; }, 30000))
            << "picture " << id;
    }
}

// Timer ticks for the window within `milliseconds`. (The quit message the last window posted comes
// whatever the filter.)
int Ticks(HWND window, DWORD milliseconds) {
    int ticks = 0;
    MSG tick;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(5))
        ticks +=
            PeekMessageA(&tick, window, WM_TIMER, WM_TIMER, PM_REMOVE) && tick.message == WM_TIMER;
    return ticks;
}

TEST_F(ShowWindowTest, APictureTimeOfZeroOrLessTicksAtTheDefaultPeriod) {
    for (const DWORD millis : {0ul, 0xFFFFFF9Cul}) { // 0 and -100
        SCOPED_TRACE(static_cast<LONG>(millis));
        store_.PutDword(kKey, "PictureMillis", millis);
        SlideshowWindow preview(true, store_);
        ASSERT_TRUE(preview.CreatePreview(parent_.Handle(), kWidth, kHeight));
        // The timer set up with the window, then the one restarted by the first step.
        MSG first;
        ASSERT_TRUE(PeekMessageA(&first, preview.Handle(), WM_TIMER, WM_TIMER, PM_REMOVE));
        EXPECT_EQ(Ticks(preview.Handle(), 300), 0);
        DispatchMessageA(&first);
        EXPECT_EQ(Ticks(preview.Handle(), 300), 0);
    }
}

TEST_F(ShowWindowTest, AnEffectTimeOfZeroOrLessGivesOnlyTheFinalFrame) {
    const std::vector<COLORREF> expected = Expected(114);
    for (const DWORD millis : {0ul, 0xFFFFFFFFul, 0x80000000ul}) {
        store_.PutDword(kKey, "UseEffects", 1);
        store_.PutDword(kKey, "EffectMillis", millis);
        SlideshowWindow preview(true, store_);
        ASSERT_TRUE(preview.CreatePreview(parent_.Handle(), kWidth, kHeight));
        MSG tick;
        ASSERT_TRUE(PeekMessageA(&tick, preview.Handle(), WM_TIMER, WM_TIMER, PM_REMOVE));
        const DWORD start = GetTickCount();
        DispatchMessageA(&tick);
        EXPECT_LT(GetTickCount() - start, 3000u) << "EffectMillis " << static_cast<LONG>(millis);
        EXPECT_TRUE(
            harness::WaitUntil([&] { return WindowPixels(preview.Handle()) == expected; }, 3000));
    }
}

TEST_F(ShowWindowTest, AStepNeverStartsInsideAnother) {
    store_.PutDword(kKey, "UseEffects", 1);
    store_.PutDword(kKey, "EffectMillis", 400);
    SlideshowWindow preview(true, store_);
    ASSERT_TRUE(preview.CreatePreview(parent_.Handle(), kWidth, kHeight));
    // A second tick waiting while the first step's transition runs is taken by it, not stepped.
    PostMessageA(preview.Handle(), WM_TIMER, 1, 0);
    const std::vector<COLORREF> first = Expected(114);
    EXPECT_TRUE(harness::WaitUntil([&] { return WindowPixels(preview.Handle()) == first; }, 5000));
}

// A window that records the messages dispatched to it.
std::vector<UINT> dispatched;
LRESULT CALLBACK RecordMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_MOUSEMOVE || message == WM_PAINT ||
        message >= WM_USER)
        dispatched.push_back(message == WM_KEYDOWN ? 0x10000 | static_cast<UINT>(wParam) : message);
    return DefWindowProcA(window, message, wParam, lParam);
}

class CountingEffect : public TransitionEffect {
public:
    CountingEffect() : TransitionEffect(kWidth, kHeight) {}
    void Begin(const Rect&, const Rect&) override {}
    void Step(EffectSurface&, float progress) override {
        Progress.push_back(progress);
        Ticks.push_back(GetTickCount());
        Handled.push_back(dispatched.size());
    }
    void End() override {}
    std::vector<float> Progress;
    std::vector<DWORD> Ticks;
    std::vector<std::size_t> Handled;
};

class NoSurface : public EffectSurface {
    void CopyPicture(int, int, int, int, int, int) override {}
    void PaintBlack(int, int, int, int) override {}
};

TEST_F(ShowWindowTest, TheTransitionTakesOneMessagePerFrameAndLeavesTheCloseQueued) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &RecordMessage;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "LanternmoorRecordingWindow";
    RegisterClassA(&windowClass);
    for (const bool enableKeys : {true, false}) {
        SCOPED_TRACE(enableKeys ? "paging keys on" : "paging keys off");
        const HWND window = CreateWindowA("LanternmoorRecordingWindow", "", WS_POPUP | WS_VISIBLE,
                                          0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
        harness::Pump(50);
        InvalidateRect(window, nullptr, FALSE);
        dispatched.clear();
        PostMessageA(window, WM_KEYDOWN, VK_NEXT, 0);
        PostMessageA(window, WM_USER + 1, 0, 0);
        PostMessageA(window, WM_KEYDOWN, 'A', 0);
        PostMessageA(window, WM_MOUSEMOVE, 0, 0);
        PostMessageA(window, WM_CLOSE, 0, 0);
        PostMessageA(window, WM_USER + 2, 0, 0);

        CountingEffect effect;
        NoSurface surface;
        WindowTransitionHost host(window, enableKeys);
        RunTransition(effect, surface, Rect{}, Rect{}, 20000, host);

        // Page Down dropped with paging on; the paint never dispatched; WM_CLOSE ends the loop.
        std::vector<UINT> expected{WM_USER + 1, 0x10000 | 'A', WM_MOUSEMOVE};
        if (!enableKeys) expected.insert(expected.begin(), 0x10000 | VK_NEXT);
        EXPECT_EQ(dispatched, expected);
        // Five frames (four messages taken, then the close seen) and the final one.
        ASSERT_EQ(effect.Progress.size(), 6u);
        EXPECT_EQ(effect.Progress.back(), 1.0f);
        for (std::size_t i = 1; i + 1 < effect.Ticks.size(); ++i) {
            EXPECT_GE(effect.Ticks[i] - effect.Ticks[i - 1], 30u);
            EXPECT_LE(effect.Handled[i] - effect.Handled[i - 1], 1u);
        }
        EXPECT_TRUE(GetUpdateRect(window, nullptr, FALSE)) << "the window was painted";
        MSG left;
        ASSERT_TRUE(PeekMessageA(&left, window, 0, 0, PM_REMOVE));
        EXPECT_EQ(left.message, static_cast<UINT>(WM_CLOSE));
        ASSERT_TRUE(PeekMessageA(&left, window, 0, 0, PM_REMOVE));
        EXPECT_EQ(left.message, static_cast<UINT>(WM_USER + 2));
        DestroyWindow(window);
    }
}

std::string Digits(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += static_cast<char>('0' + i % 10);
    return text;
}

TEST(Captions, AreLoadedWholeHoweverLong) {
    const HINSTANCE self = GetModuleHandleA(nullptr);
    EXPECT_EQ(LoadCaption(self, 300), Digits(600));
    EXPECT_EQ(LoadCaption(self, 301), Digits(253));
    EXPECT_EQ(LoadCaption(self, 302), Digits(254));
    EXPECT_EQ(LoadCaption(self, 114), "Autumn meadow\nbelow a grey mountain ridge");
    EXPECT_EQ(LoadCaption(self, 999), "");
}

TEST(Captions, ThePatternIsAnEightByEightCheckerboardWhiteThenBlack) {
    const HMODULE scr =
        LoadLibraryExA(harness::ScreenSaverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(scr, nullptr);
    const HRSRC found = FindResourceA(scr, MAKEINTRESOURCEA(104), MAKEINTRESOURCEA(2)); // RT_BITMAP
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(scr, found)));
    const std::vector<unsigned char> data(bytes, bytes + SizeofResource(scr, found));
    FreeLibrary(scr);
    ASSERT_EQ(data.size(), 40u + 8u + 32u);
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(data.data());
    EXPECT_EQ((std::vector<LONG>{header->biWidth, header->biHeight, header->biPlanes,
                                 header->biBitCount, static_cast<LONG>(header->biCompression)}),
              (std::vector<LONG>{8, 8, 1, 1, BI_RGB}));
    // Colour 0 white, colour 1 black; rows of 4 bytes alternating 0x55 and 0xAA.
    EXPECT_EQ(std::vector<unsigned char>(data.begin() + 40, data.begin() + 48),
              (std::vector<unsigned char>{255, 255, 255, 0, 0, 0, 0, 0}));
    for (int row = 0; row < 8; ++row)
        EXPECT_EQ(
            std::vector<unsigned char>(data.begin() + 48 + 4 * row, data.begin() + 52 + 4 * row),
            (std::vector<unsigned char>{static_cast<unsigned char>(row % 2 ? 0xAA : 0x55), 0, 0,
                                        0}))
            << "row " << row;
}

} // namespace
