// The show inside this process, whose resources hold the test pictures and captions: the preview's
// own pixels, no memory for a picture, the timer's period and the effect duration from a
// hand-edited registry; each effect alone on the full screen with its frames counted and the
// transition loop's message rules on a real message queue; long captions.
#include "imaging/Ditherer_win32.h"
#include "imaging/EffectSurface_win32.h"
#include "imaging/ProcessorInfo.h"
#include "imaging/RasterImage_win32.h"
#include "jpeg/ResourceInputStream.h"
#include "shell/ApplicationModule_win32.h"
#include "shell/SlideshowWindow_win32.h"
#include "slideshow/Caption_win32.h"
#include "slideshow/PicturePreparation.h"
#include "slideshow/TransitionHost_win32.h"
#include "tests/settings/MemorySettingsStore.h"
#include "tests/slideshow/ScreenPixels_win32.h"
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 400, kHeight = 300;
constexpr UINT kNext = 0x10000 | VK_NEXT, kHome = 0x10000 | VK_HOME;

void PutDword(MemorySettingsStore& store, const char* name, std::uint32_t value) {
    store.Keys[kSettingsKeyPath][name] = {
        ValueType::Dword,
        {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
         static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)}};
}

// Picture `id` of this program prepared for a width x height window of this display, its place in
// `at`, and the window as it must look with it: without a caption on black (all black when there
// is nothing to show).
std::vector<DWORD> Expected(int id, int width, int height, RasterImage& image, Rect& at) {
    const HDC screen = GetDC(nullptr);
    ResourceInputStream stream;
    stream.open(id);
    std::vector<DWORD> window(width * height, 0);
    if (PreparePictureImage(stream, width, height, false, DisplayBitsPerPixel(screen),
                            processorInfo().hasMmx, image, at))
        for (int y = at.top; y < at.bottom; ++y)
            for (int x = at.left; x < at.right; ++x)
                window[y * width + x] = image.Pixels()[(y - at.top) * image.Width() + x - at.left];
    ReleaseDC(nullptr, screen);
    return window;
}

bool Shows(HWND window, int id) {
    RasterImage image;
    Rect at;
    const std::vector<DWORD> expected = Expected(id, kWidth, kHeight, image, at);
    return harness::WaitUntil(
        [&] {
            const HDC dc = GetDC(window);
            const bool same = ReadPixels(dc, kWidth, kHeight) == expected;
            ReleaseDC(window, dc);
            return same;
        },
        5000);
}

void* Refuse(std::size_t) {
    return nullptr;
}

// Timer ticks for the window within 300 ms. (The quit message the last window posted comes
// whatever the filter.)
int Ticks(HWND window) {
    int ticks = 0;
    MSG tick;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 300; Sleep(5))
        ticks +=
            PeekMessageA(&tick, window, WM_TIMER, WM_TIMER, PM_REMOVE) && tick.message == WM_TIMER;
    return ticks;
}

// A window of ours that records the keys, mouse moves, paints and private messages dispatched to
// it (keys as 0x10000 | key).
std::vector<UINT> dispatched;
LRESULT CALLBACK RecordMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_MOUSEMOVE || message == WM_PAINT ||
        message >= WM_USER)
        dispatched.push_back(message == WM_KEYDOWN ? 0x10000 | static_cast<UINT>(wParam) : message);
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND RecordingWindow(int width, int height) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &RecordMessage;
    windowClass.lpszClassName = "LanternmoorRecordingWindow";
    RegisterClassA(&windowClass);
    const HWND window =
        CreateWindowExA(WS_EX_TOPMOST, windowClass.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0,
                        width, height, nullptr, nullptr, nullptr, nullptr);
    harness::Pump(50);
    dispatched.clear();
    return window;
}

void Post(HWND window, const std::vector<UINT>& messages) {
    for (const UINT m : messages)
        if (m != 0) PostMessageA(window, m & 0x10000 ? WM_KEYDOWN : m, m & 0xFFFF, 0);
}

// Passes every call on to a real effect, noting the time of each Step, how many messages the
// window had been given by then, and the time spent drawing.
struct FrameRecorder : TransitionEffect {
    explicit FrameRecorder(std::unique_ptr<TransitionEffect> real)
        : TransitionEffect(0, 0), Real(std::move(real)) {}
    void Begin(const Rect& from, const Rect& to) override { Real->Begin(from, to); }
    void Step(EffectSurface& surface, float progress) override {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        Frames.push_back({GetTickCount(), dispatched.size()});
        Real->Step(surface, progress);
        GdiFlush();
        QueryPerformanceCounter(&end);
        Drawing += end.QuadPart - start.QuadPart;
    }
    void End() override { Real->End(); }
    std::unique_ptr<TransitionEffect> Real;
    std::vector<std::pair<DWORD, std::size_t>> Frames;
    LONGLONG Drawing = 0;
};

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

// The preview shows no caption. Times of 0 or less from a hand-edited registry: the picture timer
// ticks at the default period, at set-up and after a step (a period of 0 would tick
// continuously); a transition shows only its final frame. A tick waiting during a transition is
// taken by it rather than starting a step inside the step. Without memory for a picture the
// preview shows background.
TEST_F(ShowWindowTest, TimesOfZeroOrLessTickAtTheDefaultAndTransitionAtOnceNoStepInAStep) {
    PutDword(store_, "UseEffects", 1);
    const std::pair<DWORD, DWORD> cases[] = {
        {0, 0}, {0xFFFFFF9Cu, 0xFFFFFFFFu}, {600000, 0x80000000u}, {600000, 400}};
    for (const auto& [pictureMillis, effectMillis] : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<LONG>(pictureMillis) << ", "
                                        << static_cast<LONG>(effectMillis));
        harness::Pump(0); // the quit message the last window posted would end the transition
        PutDword(store_, "PictureMillis", pictureMillis);
        PutDword(store_, "EffectMillis", effectMillis);
        SlideshowWindow preview(true, store_);
        ASSERT_TRUE(preview.CreatePreview(parent_.Handle(), kWidth, kHeight));
        MSG first;
        ASSERT_TRUE(PeekMessageA(&first, preview.Handle(), WM_TIMER, WM_TIMER, PM_REMOVE));
        EXPECT_EQ(Ticks(preview.Handle()), 0);
        PostMessageA(preview.Handle(), WM_TIMER, 1, 0);
        const DWORD start = GetTickCount();
        DispatchMessageA(&first);
        const DWORD took = GetTickCount() - start;
        EXPECT_TRUE(took < 3000 && took >= (effectMillis == 400 ? 390u : 0u)) << took;
        const bool starved = effectMillis == 0x80000000u;
        const ImagingAllocateFunction heap =
            SetImagingAllocateFunction(starved ? &Refuse : nullptr);
        EXPECT_TRUE(Shows(preview.Handle(), effectMillis == 400 ? 114 : starved ? 0 : 200));
        SetImagingAllocateFunction(heap);
        EXPECT_EQ(Ticks(preview.Handle()), 0);
    }
}

// Each effect alone, from a screen full of another picture to 114 on a full-screen window whose
// messages wait meanwhile, afterwards shows the picture whole and the rest black. Over a whole
// transition of 2 s the frames, counted around the real effect, are at least 33 ms apart (about
// 60, never more than 61 before the final one); one message is taken per frame, Page Down dropped
// with paging on and the paint left undispatched. A close or destroy waiting for the window cuts
// the transition short and stays queued; the quit message cuts it short and is posted again; with
// paging off Page Down is dispatched.
TEST_F(ShowWindowTest, EachEffectAloneEndsWithThePictureWholeOnBlackInFramesAtLeast33MsApart) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const HWND window = RecordingWindow(width, height);
    const HDC dc = GetDC(window), memory = CreateCompatibleDC(dc);
    RasterImage image;
    Rect at;
    const std::vector<DWORD> expected = Expected(114, width, height, image, at);
    const HGDIOBJ kept = SelectObject(memory, CreateDeviceBitmap(image, dc));
    const UINT endings[] = {WM_CLOSE, WM_DESTROY, WM_QUIT, WM_CLOSE};
    const std::vector<UINT> taken{WM_USER + 1, kHome, WM_MOUSEMOVE, WM_USER + 2};
    for (int e = 0; e < 4; ++e)
        for (const UINT ending : {0u, endings[e]}) {
            const std::string name = kEffectNames[e] + std::string(ending ? ", cut short" : "");
            PatBlt(dc, 0, 0, width, height, WHITENESS);
            dispatched.clear();
            Post(window, {kNext, WM_USER + 1, kHome, WM_MOUSEMOVE});
            if (ending == WM_QUIT) PostQuitMessage(0);
            Post(window, {ending == WM_QUIT ? 0 : ending, WM_USER + 2});
            InvalidateRect(window, nullptr, FALSE);
            FrameRecorder effect(CreateTransitionEffect(kEffectNames[e], width, height));
            DeviceContextSurface surface(dc, memory);
            WindowTransitionHost host(window, ending == 0);
            RunTransition(effect, surface, Rect{0, 0, width, height}, at, 2000, host);
            EXPECT_TRUE(ReadPixels(dc, width, height) == expected) << name;
            const std::size_t frames = effect.Frames.size() - 1;
            if (ending != 0) {
                std::vector<UINT> all{kNext};
                all.insert(all.end(), taken.begin(), taken.end() - (ending != WM_QUIT));
                EXPECT_EQ(dispatched, all) << name;
                EXPECT_EQ(frames, all.size() + 1) << name;
                for (const UINT left : {ending, ending == WM_QUIT ? 0u : WM_USER + 2}) {
                    MSG message{};
                    EXPECT_TRUE(left == 0 || (PeekMessageA(&message, window, 0, 0, PM_REMOVE) &&
                                              message.message == left))
                        << name << ": " << left << " left";
                }
                continue;
            }
            LARGE_INTEGER frequency;
            QueryPerformanceFrequency(&frequency);
            std::printf("%s: %u frames over %lu ms, %.2f ms drawing per frame\n", name.c_str(),
                        static_cast<unsigned>(frames),
                        effect.Frames.back().first - effect.Frames.front().first,
                        1000.0 * effect.Drawing / frequency.QuadPart / (frames + 1));
            EXPECT_TRUE(frames >= 30 && frames <= 61) << name << ": " << frames << " frames";
            for (std::size_t i = 1; i < frames; ++i)
                EXPECT_TRUE(effect.Frames[i].first - effect.Frames[i - 1].first >= 30 &&
                            effect.Frames[i].second - effect.Frames[i - 1].second <= 1)
                    << name << ", frame " << i;
            EXPECT_EQ(dispatched, taken) << name;
            EXPECT_TRUE(GetUpdateRect(window, nullptr, FALSE)) << "the window was painted";
            ValidateRect(window, nullptr);
        }
    DeleteObject(SelectObject(memory, kept));
    DeleteDC(memory);
    ReleaseDC(window, dc);
    DestroyWindow(window);
}

TEST(Captions, AreLoadedWholeHoweverLong) {
    const HINSTANCE self = GetModuleHandleA(nullptr);
    std::string digits;
    for (int i = 0; i < 600; ++i)
        digits += static_cast<char>('0' + i % 10);
    EXPECT_EQ(LoadCaption(self, 300), digits);
    EXPECT_EQ(LoadCaption(self, 301), digits.substr(0, 253));
    EXPECT_EQ(LoadCaption(self, 302), digits.substr(0, 254));
    EXPECT_EQ(LoadCaption(self, 114), "Autumn meadow\nbelow a grey mountain ridge");
    EXPECT_EQ(LoadCaption(self, 999), "");
}

} // namespace
