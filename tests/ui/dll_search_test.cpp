#include <windows.h>

#include <gtest/gtest.h>

#include "ui/app.h"

namespace purrbox::ui {
namespace {

constexpr DWORD LoadLibrarySearchDefaultDirs = 0x00001000;  // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS

bool libraryLoads(const char* name)
{
    const HMODULE library = LoadLibraryA(name);
    if (library) FreeLibrary(library);
    return library != nullptr;
}

// purrbox_planted.dll lies beside the test program, as a planted file lies
// beside Purrbox in a Downloads folder.
TEST(RestrictDllSearchToSystem32, LeavesALibraryBesideTheProgramUnfound)
{
    ASSERT_TRUE(libraryLoads("purrbox_planted.dll")) << "the planted library is missing, the test proves nothing";

    restrictDllSearchToSystem32();
    EXPECT_FALSE(libraryLoads("purrbox_planted.dll"));
    EXPECT_TRUE(libraryLoads("version.dll"));  // System32 is still searched

    // The restriction holds for the whole process; undo it for the tests after this one.
    const auto setDefaultDllDirectories = reinterpret_cast<BOOL(WINAPI*)(DWORD)>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    ASSERT_NE(setDefaultDllDirectories, nullptr);
    setDefaultDllDirectories(LoadLibrarySearchDefaultDirs);
}

}  // namespace
}  // namespace purrbox::ui
