// What Windows reads from Lanternmoor.scr without running it: the name in the Display Properties
// list, and the pictures (RT_RCDATA 114 to 129 and 134), each with a caption of its id.
#include "tests/win32/WineHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

BOOL CALLBACK CollectId(HMODULE, LPCSTR, LPSTR name, LONG_PTR ids) {
    reinterpret_cast<std::vector<WORD>*>(ids)->push_back(LOWORD(name));
    return TRUE;
}

TEST(Resources, TheNameInTheScreenSaverListAndEveryPictureWithItsCaption) {
    const HMODULE module =
        LoadLibraryExA(harness::ScreenSaverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    char text[256];
    EXPECT_EQ(std::string(text, std::max(0, LoadStringA(module, 1, text, sizeof text))),
              "Lanternmoor");
    std::vector<WORD> ids, expected{114, 115, 116, 117, 118, 119, 120, 121, 122,
                                    123, 124, 125, 126, 127, 128, 129, 134};
    EnumResourceNamesA(module, RT_RCDATA, &CollectId, reinterpret_cast<LONG_PTR>(&ids));
    EXPECT_EQ(ids, expected);
    for (const WORD id : ids)
        EXPECT_GT(LoadStringA(module, id, text, sizeof text), 0) << id;
    FreeLibrary(module);
}

} // namespace
