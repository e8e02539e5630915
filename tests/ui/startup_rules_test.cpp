#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/shutdown_routines.h"
#include "ui/start_folder.h"

namespace purrbox::ui {
namespace {

struct FolderCase {
    std::string name;
    std::string modulePath;
    std::string folder;
};
// GoogleTest names a failing case by its parameter: the case's name, not its raw bytes.
void PrintTo(const FolderCase& c, std::ostream* out) { *out << c.name; }

class ExecutableFolder : public ::testing::TestWithParam<FolderCase> {};

TEST_P(ExecutableFolder, IsThePathBeforeItsLastBackslash)
{
    EXPECT_EQ(executableFolder(GetParam().modulePath), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ExecutableFolder,
    ::testing::Values(
        FolderCase{"Nested", "C:\\Users\\me\\Downloads\\Purrbox.exe", "C:\\Users\\me\\Downloads"},
        FolderCase{"DotsInFolderNames", "D:\\a.b\\c.d\\Purrbox.exe", "D:\\a.b\\c.d"},
        // "C:" alone would be the drive's current directory, wherever that is.
        FolderCase{"DriveRootKeepsItsBackslash", "C:\\Purrbox.exe", "C:\\"},
        FolderCase{"LongPathDriveRoot", "\\\\?\\C:\\Purrbox.exe", "\\\\?\\C:\\"},
        FolderCase{"NetworkShare", "\\\\server\\share\\Purrbox.exe", "\\\\server\\share"},
        FolderCase{"Utf8Names", "C:\\下载\\一键Purrbox.exe", "C:\\下载"},
        FolderCase{"NoBackslash", "Purrbox.exe", ""}),
    [](const auto& instance) { return instance.param.name; });

TEST(ShutdownRoutines, RunOnceEachInRegistrationOrderIgnoringRepeats)
{
    static std::vector<std::string> ran;
    ran.clear();
    std::string first = "first";
    std::string second = "second";
    const auto recordA = [](void* context) { ran.push_back("A:" + *static_cast<std::string*>(context)); };
    const auto recordB = [](void* context) { ran.push_back("B:" + *static_cast<std::string*>(context)); };

    ShutdownRoutines routines;
    routines.add(recordA, &first);
    routines.add(recordB, &first);
    routines.add(recordA, &first);   // the same routine again: ignored
    routines.add(recordA, &second);  // the same routine for something else: a routine of its own
    EXPECT_TRUE(ran.empty());

    routines.runAll();
    EXPECT_EQ(ran, (std::vector<std::string>{"A:first", "B:first", "A:second"}));

    routines.runAll();
    EXPECT_EQ(ran.size(), 3u);
}

}  // namespace
}  // namespace purrbox::ui
