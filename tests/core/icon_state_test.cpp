#include "core/icon_state.h"

#include <gtest/gtest.h>

namespace purrbox {
namespace {

// One row per text: its class, and the scheme each action writes from it.
struct StateCase {
    std::string_view text;
    IconState state;
    IconLocation catDefault;
    IconLocation windowsDefault;
};

const StateCase StateCases[] = {
    {"", IconState::Unreadable, CatEmptyIcon, WindowsEmptyIcon},
    {"%SystemRoot%\\System32\\imageres.dll,-55", IconState::WindowsEmpty, CatEmptyIcon, WindowsEmptyIcon},
    {"%SystemRoot%\\System32\\imageres.dll,-54", IconState::WindowsFull, CatFullIcon, WindowsEmptyIcon},
    {"%AppData%\\brenoka\\miaoIco\\empty.dll,0", IconState::CatEmpty, CatEmptyIcon, WindowsEmptyIcon},
    {"%AppData%\\brenoka\\miaoIco\\full.dll,0", IconState::CatFull, CatEmptyIcon, WindowsFullIcon},
    {"C:\\Windows\\System32\\shell32.dll,31", IconState::Other, CatEmptyIcon, WindowsEmptyIcon},
    // Only exact bytes count: other case, expanded paths and spaces are foreign texts.
    {"%SystemRoot%\\system32\\imageres.dll,-54", IconState::Other, CatEmptyIcon, WindowsEmptyIcon},
    {"%systemroot%\\System32\\imageres.dll,-55", IconState::Other, CatEmptyIcon, WindowsEmptyIcon},
    {"C:\\Windows\\System32\\imageres.dll,-54", IconState::Other, CatEmptyIcon, WindowsEmptyIcon},
    {"%SystemRoot%\\System32\\imageres.dll,-54 ", IconState::Other, CatEmptyIcon, WindowsEmptyIcon},
    {" %SystemRoot%\\System32\\imageres.dll,-55", IconState::Other, CatEmptyIcon, WindowsEmptyIcon},
    {"%AppData%\\brenoka\\miaoIco\\FULL.dll,0", IconState::Other, CatEmptyIcon, WindowsEmptyIcon},
    {"C:\\Users\\me\\AppData\\Roaming\\brenoka\\miaoIco\\full.dll,0", IconState::Other, CatEmptyIcon,
     WindowsEmptyIcon},
    {"%AppData%\\brenoka\\miaoIco\\full.dll", IconState::Other, CatEmptyIcon, WindowsEmptyIcon},
    {std::string_view("%AppData%\\brenoka\\miaoIco\\full.dll,0\0", 38), IconState::Other, CatEmptyIcon,
     WindowsEmptyIcon},
};

std::string_view nameOf(IconState state)
{
    constexpr std::string_view names[] = {"Unreadable", "WindowsEmpty", "WindowsFull", "CatEmpty", "CatFull", "Other"};
    return names[static_cast<std::size_t>(state)];
}

class IconStateTable : public ::testing::TestWithParam<StateCase> {};

TEST_P(IconStateTable, ClassifiesAndPicksBothSchemes)
{
    const StateCase& c = GetParam();
    EXPECT_EQ(classifyIconState(c.text), c.state);
    EXPECT_EQ(catSchemeFor(c.state), (IconScheme{c.catDefault, CatEmptyIcon, CatFullIcon}));
    EXPECT_EQ(windowsSchemeFor(c.state), (IconScheme{c.windowsDefault, WindowsEmptyIcon, WindowsFullIcon}));
}

INSTANTIATE_TEST_SUITE_P(AllStates, IconStateTable, ::testing::ValuesIn(StateCases),
                         [](const auto& test) {
                             return std::to_string(test.index) + "_" + std::string(nameOf(test.param.state));
                         });

}  // namespace
}  // namespace purrbox
