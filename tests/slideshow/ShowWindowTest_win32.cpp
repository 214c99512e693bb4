// The show inside this process, whose resources hold the test pictures and captions: the
// preview's own pixels for every kind of picture, no memory for one, the timer's period and the
// effect duration from a hand-edited registry, the transition loop's message rules against a
// real message queue, long captions, and the caption pattern in Lanternmoor.scr.
#include "imaging/Ditherer_win32.h"
#include "imaging/PixelBuffer.h"
#include "imaging/ProcessorInfo.h"
#include "imaging/RasterImage.h"
#include "jpeg/ResourceInputStream.h"
#include "shell/ApplicationModule_win32.h"
#include "shell/SlideshowWindow_win32.h"
#include "slideshow/Caption_win32.h"
#include "slideshow/PicturePreparation.h"
#include "slideshow/TransitionHost_win32.h"
#include "tests/settings/MemorySettingsStore.h"
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* const kKey = "Software\\Quillfern\\Lanternmoor";

void PutDword(MemorySettingsStore& store, const char* name, std::uint32_t value) {
    store.Keys[kKey][name] = {
        ValueType::Dword,
        {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
         static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)}};
}
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
        PutDword(store_, "UseEffects", 0);
        PutDword(store_, "PictureMillis", 600000);
    }
    void TearDown() override { harness::Pump(0); }

    ApplicationModule module_{GetModuleHandleA(nullptr)};
    MemorySettingsStore store_;
    harness::TestWindow parent_{0, 0, kWidth, kHeight, WS_POPUP};
};

bool Shows(HWND window, int id, DWORD milliseconds = 5000) {
    const std::vector<COLORREF> expected = Expected(id);
    return harness::WaitUntil([&] { return WindowPixels(window) == expected; }, milliseconds);
}

TEST_F(ShowWindowTest, ThePreviewShowsNoCaptionAndAPictureWithoutMemoryAsBackground) {
    SlideshowWindow preview(true, store_);
    ASSERT_TRUE(preview.CreatePreview(parent_.Handle(), kWidth, kHeight));
    EXPECT_TRUE(Shows(preview.Handle(), 114)) << "the captioned photograph";
    // No memory for the next picture (200): background; and the show goes on (201). A timer
    // tick of any id steps.
    const ImagingAllocateFunction heap = SetImagingAllocateFunction(&RefuseAllocation);
    PostMessageA(preview.Handle(), WM_TIMER, 77, 0);
    EXPECT_TRUE(Shows(preview.Handle(), 0));
    SetImagingAllocateFunction(heap);
    PostMessageA(preview.Handle(), WM_TIMER, 77, 0);
    EXPECT_TRUE(Shows(preview.Handle(), 201));
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
        PutDword(store_, "PictureMillis", millis);
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

TEST_F(ShowWindowTest, AnEffectTimeOfZeroOrLessGivesOnlyTheFinalFrameAndNoStepStartsInAnother) {
    PutDword(store_, "UseEffects", 1);
    for (const DWORD millis : {0ul, 0xFFFFFFFFul, 0x80000000ul, 400ul}) {
        harness::Pump(0); // the quit message the last window posted would end the transition
        PutDword(store_, "EffectMillis", millis);
        SlideshowWindow preview(true, store_);
        ASSERT_TRUE(preview.CreatePreview(parent_.Handle(), kWidth, kHeight));
        // A second tick waiting during the first step's transition is taken by it, not stepped.
        PostMessageA(preview.Handle(), WM_TIMER, 1, 0);
        MSG tick;
        ASSERT_TRUE(PeekMessageA(&tick, preview.Handle(), WM_TIMER, WM_TIMER, PM_REMOVE));
        const DWORD start = GetTickCount();
        DispatchMessageA(&tick);
        const DWORD took = GetTickCount() - start;
        EXPECT_LT(took, 3000u) << "EffectMillis " << static_cast<LONG>(millis);
        EXPECT_GE(took, millis == 400 ? 390u : 0u);
        EXPECT_TRUE(Shows(preview.Handle(), millis == 400 ? 114 : 200));
    }
}

// A window that records the messages dispatched to it.
std::vector<UINT> dispatched;
LRESULT CALLBACK RecordMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_MOUSEMOVE || message == WM_PAINT ||
        message >= WM_USER)
        dispatched.push_back(message == WM_KEYDOWN ? 0x10000 | static_cast<UINT>(wParam) : message);
    return DefWindowProcA(window, message, wParam, lParam);
}

// Notes at each Step the time and how many messages the window had been given.
struct CountingEffect : TransitionEffect {
    CountingEffect() : TransitionEffect(kWidth, kHeight) {}
    void Begin(const Rect&, const Rect&) override {}
    void Step(EffectSurface&, float progress) override {
        Frames.push_back({GetTickCount(), dispatched.size()});
        Final += progress == 1.0f;
    }
    void End() override {}
    std::vector<std::pair<DWORD, std::size_t>> Frames;
    int Final = 0;
};

struct NoSurface : EffectSurface {
    void CopyPicture(int, int, int, int, int, int) override {}
    void PaintBlack(int, int, int, int) override {}
};

TEST_F(ShowWindowTest, TheTransitionTakesOneMessagePerFrameAndLeavesTheCloseQueued) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &RecordMessage;
    windowClass.lpszClassName = "LanternmoorRecordingWindow";
    RegisterClassA(&windowClass);
    constexpr UINT kNext = 0x10000 | VK_NEXT, kHome = 0x10000 | VK_HOME;
    // Page Down is dropped with paging on, the paint never dispatched; a close or destroy ends the
    // loop and stays queued, the quit message ends it and is posted again. One message per frame:
    // the frames are the messages taken, the one that ends the loop, and the final one.
    const struct {
        bool EnableKeys;
        UINT Ending; // none: the transition runs its 300 ms
        std::vector<UINT> Dispatched, Left;
    } cases[] = {
        {true, WM_CLOSE, {WM_USER + 1, kHome, WM_MOUSEMOVE}, {WM_CLOSE, WM_USER + 2}},
        {false, WM_CLOSE, {kNext, WM_USER + 1, kHome, WM_MOUSEMOVE}, {WM_CLOSE, WM_USER + 2}},
        {true, WM_DESTROY, {WM_USER + 1, kHome, WM_MOUSEMOVE}, {WM_DESTROY, WM_USER + 2}},
        {true, WM_QUIT, {WM_USER + 1, kHome, WM_MOUSEMOVE, WM_USER + 2}, {WM_QUIT}},
        {true, 0, {WM_USER + 1, kHome, WM_MOUSEMOVE, WM_USER + 2}, {}},
    };
    for (const auto& c : cases) {
        const HWND window = CreateWindowA(windowClass.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0,
                                          0, 50, 50, nullptr, nullptr, nullptr, nullptr);
        harness::Pump(50);
        InvalidateRect(window, nullptr, FALSE);
        dispatched.clear();
        for (const auto& [message, key] : {std::pair<UINT, WPARAM>{WM_KEYDOWN, VK_NEXT},
                                           {WM_USER + 1, 0},
                                           {WM_KEYDOWN, VK_HOME},
                                           {WM_MOUSEMOVE, 0},
                                           {c.Ending, 0},
                                           {WM_USER + 2, 0}})
            if (message == WM_QUIT)
                PostQuitMessage(0);
            else if (message != 0)
                PostMessageA(window, message, key, 0);
        CountingEffect effect;
        NoSurface surface;
        WindowTransitionHost host(window, c.EnableKeys);
        RunTransition(effect, surface, Rect{}, Rect{}, c.Ending ? 20000 : 300, host);

        EXPECT_EQ(dispatched, c.Dispatched) << c.EnableKeys << " " << c.Ending;
        EXPECT_TRUE(c.Ending == 0 ||
                    effect.Frames.size() == c.Dispatched.size() + (c.EnableKeys ? 3 : 2));
        EXPECT_EQ(effect.Final, 1);
        for (std::size_t i = 1; i + 1 < effect.Frames.size(); ++i) {
            EXPECT_GE(effect.Frames[i].first - effect.Frames[i - 1].first, 30u);
            EXPECT_LE(effect.Frames[i].second - effect.Frames[i - 1].second, 1u);
        }
        EXPECT_TRUE(GetUpdateRect(window, nullptr, FALSE)) << "the window was painted";
        for (const UINT left : c.Left) {
            MSG message{};
            EXPECT_TRUE(PeekMessageA(&message, window, 0, 0, PM_REMOVE) && message.message == left)
                << left;
        }
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
    std::vector<unsigned char> table{255, 255, 255, 0, 0, 0, 0, 0};
    for (int row = 0; row < 8; ++row)
        table.insert(table.end(), {static_cast<unsigned char>(row % 2 ? 0xAA : 0x55), 0, 0, 0});
    EXPECT_EQ(std::vector<unsigned char>(data.begin() + 40, data.end()), table);
}

} // namespace
