// A screen saver built from the picture pack make-test-pack.sh makes (three synthetic pictures,
// one grey, one caption of two lines, one in Windows-1252): the resources its line order gives,
// read back as Windows reads them, and the show full screen with each picture and its caption in
// turn, compared with what the show's own preparation makes of the pack's files.
#include "imaging/ProcessorInfo.h"
#include "imaging/RasterImage.h"
#include "jpeg/JpegInputStream.h"
#include "slideshow/Caption.h"
#include "slideshow/PicturePreparation.h"
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

using namespace harness;

namespace {

BOOL CALLBACK CollectId(HMODULE, LPCSTR, LPSTR name, LONG_PTR ids) {
    reinterpret_cast<std::vector<int>*>(ids)->push_back(LOWORD(name));
    return TRUE;
}

} // namespace

TEST(PackScreenSaver, ShowsThePacksPicturesWithTheirCaptionsInLineOrder) {
    const char* const names[] = {"zebra.jpg", "200.jpg", "apple.jpg"};
    const std::string captions[] = {"Stripes and squares\nin two lines", "A grey gradient",
                                    "Caf\xE9 at 5 \x80"};
    const std::string path = WindowsPath(LM_PACK_SCR);
    const HMODULE scr = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(scr, nullptr);
    std::vector<int> ids;
    EnumResourceNamesA(scr, RT_RCDATA, &CollectId, reinterpret_cast<LONG_PTR>(&ids));
    ASSERT_EQ(ids, (std::vector<int>{114, 200, 201}));
    char text[256];
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(std::string(text, LoadStringA(scr, ids[i], text, sizeof text)), captions[i]);
    EXPECT_EQ(std::string(text, LoadStringA(scr, 1, text, sizeof text)), "Lanternmoor");
    FreeLibrary(scr);

    const ShowSettings settings({{"ShowText", 1}});
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const HDC display = GetDC(nullptr);
    const int depth = GetDeviceCaps(display, BITSPIXEL);
    ReleaseDC(nullptr, display);
    FullScreenRun run(path);
    ASSERT_NE(run.Window, nullptr);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        std::ifstream file(WindowsPath(LM_TEST_PACK) + "\\" + names[i], std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(file), {}};
        MemoryInputStream stream(bytes.data(), bytes.size());
        RasterImage image;
        Rect place{};
        ASSERT_TRUE(PreparePictureImage(stream, width, height, false, depth, processorInfo().hasMmx,
                                        image, place));
        // The picture where it is prepared to stand, black around it; the caption box aside.
        std::vector<DWORD> expected(static_cast<std::size_t>(width) * height, 0), shot;
        for (int y = 0; y < image.Height(); ++y)
            std::copy_n(image.Pixels() + y * image.Width(), image.Width(),
                        expected.begin() + (place.top + y) * width + place.left);
        const RECT measured = MeasureText(captions[i]);
        const Rect box =
            PlaceCaption(measured.right, measured.bottom, image.Width(), image.Height()).Box;
        const RECT onScreen{box.left + place.left, box.top + place.top, box.right + place.left,
                            box.bottom + place.top};
        ASSERT_TRUE(WaitUntil(
            [&] {
                shot = Capture(run.Window).second;
                for (int p = 0; p < width * height; ++p)
                    if (shot[p] != expected[p] && !PtInRect(&onScreen, POINT{p % width, p / width}))
                        return false;
                return true;
            },
            15000));
        // The caption's white letters where the picture is not white (the box itself is checked
        // in the show's screen tests).
        long white = 0;
        for (int p = 0; p < width * height; ++p)
            white += shot[p] == 0xFFFFFF && expected[p] != 0xFFFFFF;
        EXPECT_GT(white, 30);
        SendKeys({VK_NEXT});
    }
    Quit(run);
}
