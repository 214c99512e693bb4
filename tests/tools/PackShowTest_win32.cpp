// Screen savers built from picture packs made by the tests. The pack of make-test-pack.sh (three
// synthetic pictures, one grey, one caption of two lines, one in Windows-1252, and credits): the
// resources its line order gives, read back as Windows reads them, the show full screen with each
// picture and its caption in turn, compared with what the show's own preparation makes of the
// pack's files, and the About box with the pack's credits. The oriented pack (one upright picture
// stored under each EXIF orientation, no credits): every picture upright on the screen, and an
// About box with the program's lines only.
#include "imaging/ProcessorInfo.h"
#include "imaging/RasterImage.h"
#include "jpeg/Exif.h"
#include "jpeg/JpegInputStream.h"
#include "slideshow/Caption.h"
#include "slideshow/PicturePreparation.h"
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

using namespace harness;

namespace {

BOOL CALLBACK CollectId(HMODULE, LPCSTR, LPSTR name, LONG_PTR ids) {
    reinterpret_cast<std::vector<int>*>(ids)->push_back(LOWORD(name));
    return TRUE;
}

const std::string kProgramLines =
    "Lanternmoor " LM_VERSION "\r\nA photo-slideshow screen saver by Quillfern";

std::string FileBytes(const std::string& path) {
    std::ifstream file(WindowsPath(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// The text of the About box of `scr`, opened from its configuration, which is then cancelled.
std::string AboutText(const std::string& scr) {
    Process saver(scr, "/c");
    const HWND sheet = FindWindowOf(saver.Id(), "#32770", "Properties");
    const HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    PostMessageA(GetDlgItem(page, 1012), BM_CLICK, 0, 0);
    const HWND about = FindWindowOf(saver.Id(), "#32770", "About screensaver");
    const std::string text = Text(GetDlgItem(about, 1017));
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, 3000));
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_TRUE(EndsWith(saver, 0));
    return text;
}

// The picture of `file` as the show prepares it for this display, in place on a black screen.
std::vector<DWORD> Expected(const std::string& bytes, int width, int height, int depth,
                            RECT& place) {
    MemoryInputStream stream(bytes.data(), bytes.size());
    RasterImage image;
    Rect at{};
    const int orientation =
        readExif(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()).orientation;
    EXPECT_TRUE(PreparePictureImage(stream, width, height, false, depth, processorInfo().hasMmx,
                                    image, at, orientation));
    std::vector<DWORD> expected(static_cast<std::size_t>(width) * height, 0);
    for (int y = 0; y < image.Height(); ++y)
        std::copy_n(image.Pixels() + y * image.Width(), image.Width(),
                    expected.begin() + (at.top + y) * width + at.left);
    place = RECT{at.left, at.top, at.right, at.bottom};
    return expected;
}

} // namespace

TEST(PackScreenSaver, ShowsThePacksPicturesWithTheirCaptionsInLineOrderAndCreditsItsPhotographs) {
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
        RECT place{};
        const std::vector<DWORD> expected = Expected(
            FileBytes(LM_TEST_PACK "/" + std::string(names[i])), width, height, depth, place);
        std::vector<DWORD> shot;
        // The picture where it is prepared to stand, black around it; the caption box aside.
        const RECT measured = MeasureText(captions[i]);
        const Rect box = PlaceCaption(measured.right, measured.bottom, place.right - place.left,
                                      place.bottom - place.top)
                             .Box;
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
    // The pack's credits after the program's own lines, in Windows-1252.
    EXPECT_EQ(AboutText(path), kProgramLines + "\r\n\r\nPhotographs: Ann Example (CC BY 4.0)\r\n"
                                               "\r\nCaf\xE9 at 5 \x80 \x97 Zo\xEB");
}

TEST(PackScreenSaver, ShowsEveryOrientationUprightAndNoCreditsWithoutCreditsTxt) {
    const ShowSettings settings;
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const HDC display = GetDC(nullptr);
    const int depth = GetDeviceCaps(display, BITSPIXEL);
    ReleaseDC(nullptr, display);
    const std::string path = WindowsPath(LM_ORIENTED_SCR);
    FullScreenRun run(path);
    ASSERT_NE(run.Window, nullptr);
    // The pictures in line order, each exactly as the portable preparation turns it (that it
    // comes out upright is checked natively, against the original and ImageMagick): the upright
    // 93 x 61, never the stored 61 x 93.
    std::istringstream lines(FileBytes(LM_ORIENTED_PACK "/captions.tsv"));
    for (std::string line; std::getline(lines, line);) {
        const std::string name = line.substr(0, line.find('\t'));
        SCOPED_TRACE(name);
        RECT place{};
        const std::vector<DWORD> expected =
            Expected(FileBytes(LM_ORIENTED_PACK "/" + name), width, height, depth, place);
        EXPECT_TRUE(place.right - place.left == 93 && place.bottom - place.top == 61);
        EXPECT_TRUE(WaitUntil([&] { return Capture(run.Window).second == expected; }, 15000));
        SendKeys({VK_NEXT});
    }
    Quit(run);
    EXPECT_EQ(AboutText(path), kProgramLines);
}
