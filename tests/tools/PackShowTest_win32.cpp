// Screen savers of picture packs made by the tests. The pack of make-test-packs.sh (three synthetic
// pictures, one grey, one progressive, a caption of two lines in Windows-1252, and credits) made
// into a screen saver by LanternmoorPack.exe: its resources those of the build's screen saver of
// the pack, byte for byte, the ids its line order gives and its captions read back as Windows
// reads them, the show full screen with each picture in turn, compared with what the show's own
// preparation makes of the pack's files, and the About box with the pack's credits.
// Every pack of check-pack's table through LanternmoorPack.exe (tools/same-as-check-pack.sh then
// compares what it printed with check-pack's lines), and screen savers it cannot write. The
// oriented pack (one upright picture stored under each EXIF orientation, no credits), built:
// every picture upright on the screen, and an About box with the program's lines only.
#include "base/ProcessorInfo.h"
#include "imaging/RasterImage.h"
#include "jpeg/Exif.h"
#include "jpeg/JpegInputStream.h"
#include "slideshow/PicturePreparation.h"
#include "tests/WholeFile.h"
#include "tests/tools/BadPacks.h"
#include "tests/win32/WineHarness.h"
#include "tools/lanternmoor-pack/ScreenSaverFile_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace harness;

namespace {

BOOL CALLBACK CollectId(HMODULE, LPCSTR, LPSTR name, LONG_PTR ids) {
    reinterpret_cast<std::vector<int>*>(ids)->push_back(LOWORD(name));
    return TRUE;
}

const std::string kProgramLines =
    "Lanternmoor " LM_VERSION "\r\nA photo-slideshow screen saver by Quillfern";

// The bytes of a file by its Unix path.
std::string FileBytes(const std::string& path) {
    return WholeFile(WindowsPath(path));
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs LanternmoorPack.exe (`tool`, a Windows path) with `arguments`, what it prints going into
// `output`; its exit status.
DWORD RunPackTool(const std::string& arguments, const std::string& output,
                  const std::string& tool = WindowsPath(LM_PACK_TOOL)) {
    const Process run(tool, arguments, output);
    return run.WaitForExit(120000) ? run.ExitCode() : ~0u;
}

// The text of the About box of `scr`, opened from its configuration, which is then cancelled.
std::string AboutText(const std::string& scr) {
    Process saver(scr, "/c");
    const HWND sheet = FindWindowOf(saver.Id(), "#32770", "Properties");
    const HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    PostMessageA(GetDlgItem(page, 1012), BM_CLICK, 0, 0);
    const HWND about = FindWindowOf(saver.Id(), "#32770", "About screensaver");
    std::string text = Text(GetDlgItem(about, 1017));
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, 3000));
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_TRUE(EndsWith(saver, 0));
    return text;
}

// The picture of `file` as the show prepares it for this display, in place on a black screen.
std::vector<DWORD> Expected(const std::string& bytes, int width, int height, int depth, Rect& at) {
    MemoryInputStream stream(bytes.data(), bytes.size());
    RasterImage image;
    const int orientation =
        readExif(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()).orientation;
    EXPECT_TRUE(PreparePictureImage(stream, width, height, false, depth, processorInfo().HasMmx,
                                    image, at, orientation));
    std::vector<DWORD> expected(static_cast<std::size_t>(width) * height, 0);
    for (int y = 0; y < image.Height(); ++y)
        std::copy_n(image.Pixels() + y * image.Width(), image.Width(),
                    expected.begin() + (at.Top + y) * width + at.Left);
    return expected;
}

// Runs `scr` full screen and expects the pictures of `folder` in the line order of its
// captions.tsv, each exactly as the portable preparation makes it for this display (captions off);
// their places.
std::vector<Rect> ShowsInTurn(const std::string& scr, const std::string& folder) {
    const ShowSettings settings;
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const int depth = ScreenDepth();
    FullScreenRun run(scr);
    EXPECT_NE(run.Window, nullptr);
    std::vector<Rect> places;
    std::istringstream lines(FileBytes(folder + "/captions.tsv"));
    for (std::string line; std::getline(lines, line);) {
        const std::string name = line.substr(0, line.find('\t'));
        SCOPED_TRACE(name);
        places.emplace_back();
        const std::vector<DWORD> expected =
            Expected(FileBytes(folder + "/" + name), width, height, depth, places.back());
        EXPECT_TRUE(WaitUntil([&] { return Capture(run.Window).second == expected; }, 15000));
        SendKeys({VK_NEXT});
    }
    Quit(run);
    return places;
}

} // namespace

TEST(PackScreenSaver, MadeByLanternmoorPackShowsThePacksPicturesCaptionsAndCreditsAsTheBuildsDoes) {
    // Written beside the pack's folder, a line per picture as it goes.
    const std::string path = WindowsPath(LM_TEST_PACK "/../Lanternmoor.scr");
    const std::string printed = WindowsPath(LM_TEST_PACK "/../LanternmoorPack.txt");
    DeleteFileA(path.c_str());
    ASSERT_EQ(RunPackTool(WindowsPath(LM_TEST_PACK), printed), 0u) << WholeFile(printed);
    const std::string lines = WholeFile(printed);
    for (const char* line : {"zebra.jpg (id 114): 640 x 480, sequential 4:2:0: accepted\r\n200.jpg "
                             "(id 200): 300 x 500, sequential greyscale: accepted\r\napple.jpg "
                             "(id 201): 1200 x 900, progressive 4:4:4: accepted\r\n",
                             "test-pack: 3 pictures, 0 errors, 0 warnings\r\n",
                             "Lanternmoor.scr written: right-click it and choose Install"})
        EXPECT_NE(lines.find(line), std::string::npos) << line << "\nin\n" << lines;
    // Every resource that of the build's screen saver of the pack, byte for byte.
    std::vector<Resource> made, built;
    std::string error;
    ASSERT_TRUE(ReadResources(path, made, error)) << error;
    ASSERT_TRUE(ReadResources(WindowsPath(LM_PACK_SCR), built, error)) << error;
    EXPECT_EQ(made.size(), built.size());
    for (std::size_t i = 0; i < made.size() && i < built.size(); ++i)
        EXPECT_TRUE(made[i] == built[i])
            << "resource " << made[i].Type.Id << "/" << made[i].Name.Id;

    // The pack's pictures alone, with their captions, shown in turn (the captions on the screen
    // are the show's screen tests').
    const std::string captions[] = {"Stripes and squares\nin two lines, caf\xE9 at 5 \x80",
                                    "A grey gradient", "A progressive apple"};
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
    EXPECT_EQ(ShowsInTurn(path, LM_TEST_PACK).size(), 3u);
    // The pack's credits after the program's own lines, in Windows-1252.
    EXPECT_EQ(AboutText(path), kProgramLines + "\r\n\r\nPhotographs: Ann Example (CC BY 4.0)\r\n"
                                               "\r\nCaf\xE9 at 5 \x80 \x97 Zo\xEB");
}

TEST(LanternmoorPack, AnswersEveryPackOfCheckPacksTableAsItDoesAndWritesNothingOnErrors) {
    namespace fs = std::filesystem;
    const std::string meadow = FileBytes(LM_PICTURES_DIR "/114.jpg").substr(0, 60000);
    for (const packs::BadPack& bad : packs::BadPacks(meadow)) {
        SCOPED_TRACE(bad.Name);
        const std::string folder = WindowsPath(LM_TOOL_PACKS "/" + std::string(bad.Name));
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (const auto& [name, bytes] : packs::PackFiles(bad.Captions, bad.Extra))
            std::ofstream(fs::path(folder) / name, std::ios::binary) << bytes;
        const std::string scr = folder + ".scr";
        DeleteFileA(scr.c_str());
        const DWORD status = RunPackTool(folder + " " + scr, folder + ".txt");
        EXPECT_EQ(status, bad.Count("error") > 0 ? 1u : 0u) << WholeFile(folder + ".txt");
        EXPECT_EQ(Exists(scr), bad.Count("error") == 0);
        EXPECT_FALSE(Exists(scr + ".part"));
        std::ofstream(folder + ".status", std::ios::binary) << status << "\n";
    }
}

TEST(LanternmoorPack, FindsPicturesNamedInAnyScriptAsCaptionsTsvWritesThemInUtf8) {
    namespace fs = std::filesystem;
    // Windows-1252 has the first name, not the second: neither is reached through the ANSI calls.
    const std::string names[] = {"\xC3\xA9t\xC3\xA9.jpg", "\xE6\x9D\xB1.jpg"};
    const std::string folder = WindowsPath(LM_TOOL_PACKS "/names");
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const std::string& name : names)
        std::ofstream(fs::path(folder) / fs::u8path(name), std::ios::binary) << packs::kGrey;
    std::ofstream(fs::path(folder) / "captions.tsv", std::ios::binary) << names[0] << "\tSummer\n"
                                                                       << names[1] << "\tEast\n";
    const std::string scr = folder + ".scr", printed = folder + ".txt";
    DeleteFileA(scr.c_str());
    EXPECT_EQ(RunPackTool(folder + " " + scr, printed), 0u) << WholeFile(printed);
    EXPECT_NE(
        WholeFile(printed).find(names[1] + " (id 115): 160 x 64, sequential greyscale: accepted"),
        std::string::npos)
        << WholeFile(printed);
    EXPECT_TRUE(Exists(scr));
}

TEST(LanternmoorPack, SaysWhyAScreenSaverCannotBeWrittenAndLeavesNoPartOfIt) {
    const std::string root = WindowsPath(LM_TOOL_PACKS "/unwritable"),
                      pack = WindowsPath(LM_TEST_PACK);
    const std::string printed = root + "\\printed.txt";
    CreateDirectoryA(root.c_str(), nullptr);
    const auto run = [&](const std::string& out, const std::string& tool) {
        EXPECT_EQ(RunPackTool("\"" + pack + "\" \"" + out + "\"", printed, tool), 1u);
        EXPECT_FALSE(Exists(out + ".part"));
        return WholeFile(printed);
    };
    const std::string missing = root + "\\no such folder\\Lanternmoor.scr";
    EXPECT_NE(
        run(missing, WindowsPath(LM_PACK_TOOL)).find(missing + ": error: cannot be written: "),
        std::string::npos);
    EXPECT_FALSE(Exists(missing));
    // A read-only screen saver stays as it was.
    const std::string readOnly = root + "\\read-only.scr";
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::ofstream(readOnly) << "before";
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(run(readOnly, WindowsPath(LM_PACK_TOOL))
                  .find(readOnly + ": error: cannot be written: it is read-only\r\n"),
              std::string::npos);
    EXPECT_EQ(WholeFile(readOnly), "before");
    // Without a Lanternmoor.scr beside it, it says so before it checks anything.
    const std::string alone = root + "\\alone";
    CreateDirectoryA(alone.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(WindowsPath(LM_PACK_TOOL).c_str(),
                          (alone + "\\LanternmoorPack.exe").c_str(), FALSE));
    EXPECT_EQ(run(root + "\\alone.scr", alone + "\\LanternmoorPack.exe"),
              alone + "\\Lanternmoor.scr: error: not found: LanternmoorPack.exe makes its screen "
                      "savers of the Lanternmoor.scr beside it\r\n");
    EXPECT_FALSE(Exists(root + "\\alone.scr"));
}

TEST(PackScreenSaver, ShowsEveryOrientationUprightAndNoCreditsWithoutCreditsTxt) {
    // Each picture exactly as the portable preparation turns it (that it comes out upright is
    // checked natively, against the original and ImageMagick): the upright 93 x 61, never the
    // stored 61 x 93.
    const std::string path = WindowsPath(LM_ORIENTED_SCR);
    const std::vector<Rect> places = ShowsInTurn(path, LM_ORIENTED_PACK);
    EXPECT_EQ(places.size(), 8u);
    for (const Rect& place : places)
        EXPECT_TRUE(place.Width() == 93 && place.Height() == 61);
    EXPECT_EQ(AboutText(path), kProgramLines);
}
