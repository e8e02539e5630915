#include "ui/app.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/icon_state.h"
#include "core/texts.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/registry_backend.h"
#include "tests/ui/window_test_support.h"

namespace purrbox::ui {
namespace {

using purrbox::testing::FakeFileSystem;
using purrbox::testing::FakeRegistry;
using purrbox::testing::IconKeyPath;
using purrbox::testing::RawValue;
using testing::dropQuitMessage;
using testing::pumpMessages;

// Records each box instead of showing it, with the buttons' state at that moment.
class RecordingMessageBox final : public MessageBoxApi {
public:
    struct Box {
        HWND owner;
        std::string text;
        std::string title;
        UINT style;
        bool switchEnabled;
        bool restoreEnabled;
    };

    int messageBox(HWND owner, const char* text, const char* title, UINT style) override
    {
        boxes.push_back({owner, text, title, style, IsWindowEnabled(GetDlgItem(window, 100)) != FALSE,
                         IsWindowEnabled(GetDlgItem(window, 110)) != FALSE});
        return IDOK;
    }

    HWND window = nullptr;  // the main window, whose buttons are looked at
    std::vector<Box> boxes;
};

// The app over an in-memory registry and file system: nothing of the real
// user's profile is touched.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.emplace(iconKey, iconFiles, messageBox);
        ASSERT_TRUE(app->createMainWindow(GetModuleHandleA(nullptr)));
        messageBox.window = main();
        pumpMessages();
    }

    void TearDown() override
    {
        app.reset();
        dropQuitMessage();  // the window's end asked the loop to stop
    }

    HWND main() { return app->mainWindow().handle(); }
    HWND button(int id) { return app->mainWindow().control(id); }
    bool enabled(int id) { return IsWindowEnabled(button(id)) != FALSE; }

    void setIconValue(const std::string& name, std::string_view text)
    {
        RawValue value{RegExpandString, std::vector<std::uint8_t>(text.begin(), text.end())};
        value.bytes.push_back(0);
        registry.setRaw(IconKeyPath, name, value);
    }

    FakeRegistry registry;
    FakeFileSystem files;
    RecycleBinIconKey iconKey{registry};
    IconFileSet iconFiles{files};
    RecordingMessageBox messageBox;
    std::optional<App> app;
};

// ---- setBusy

struct BusyCase {
    const char* name;
    bool switchBefore;
    bool restoreBefore;
    bool busy;
};

class SetBusy : public AppTest, public ::testing::WithParamInterface<BusyCase> {};

TEST_P(SetBusy, SetsBothButtonsWhateverTheyWereBefore)
{
    EnableWindow(button(100), GetParam().switchBefore);
    EnableWindow(button(110), GetParam().restoreBefore);
    app->setBusy(GetParam().busy);
    EXPECT_EQ(enabled(100), !GetParam().busy);
    EXPECT_EQ(enabled(110), !GetParam().busy);
    for (const int other : {120, 130, 140}) EXPECT_TRUE(enabled(other)) << other;
}

INSTANTIATE_TEST_SUITE_P(States, SetBusy,
                         ::testing::Values(BusyCase{"BusyFromReady", true, true, true},
                                           BusyCase{"BusyWhenAlreadyBusy", false, false, true},
                                           BusyCase{"ReadyFromBusy", false, false, false},
                                           BusyCase{"ReadyWhenOnlyOneWasDisabled", true, false, false},
                                           BusyCase{"ReadyWhenOnlyTheOtherWasDisabled", false, true, false}),
                         [](const auto& instance) { return std::string(instance.param.name); });

std::vector<HWND> enabledOrder;

LRESULT CALLBACK recordEnable(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_ENABLE) enabledOrder.push_back(call->hwnd);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(AppTest, SetBusyTurnsTheSwitchButtonFirst)
{
    enabledOrder.clear();
    const HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, recordEnable, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    app->setBusy(true);
    app->setBusy(false);
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(enabledOrder, (std::vector<HWND>{button(100), button(110), button(100), button(110)}));
}

// ---- showMessage

struct MessageCase {
    const char* name;
    MessageIcon icon;
    std::string_view title;
    std::string expectedTitle;
    UINT expectedStyle;
};

class ShowMessage : public AppTest, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(ShowMessage, OneOkBoxOwnedByTheWindowWithTheIconAndTaskModal)
{
    app->showMessage(texts::AlreadyCatMessage, GetParam().title, GetParam().icon);
    ASSERT_EQ(messageBox.boxes.size(), 1u);
    const auto& box = messageBox.boxes[0];
    EXPECT_EQ(box.owner, main());
    EXPECT_EQ(box.text, texts::AlreadyCatMessage);  // the process code page is UTF-8: unchanged
    EXPECT_EQ(box.title, GetParam().expectedTitle);
    EXPECT_EQ(box.style, GetParam().expectedStyle);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, ShowMessage,
    ::testing::Values(MessageCase{"Information", MessageIcon::Information, "Purrbox", "Purrbox", 0x2040},
                      MessageCase{"Error", MessageIcon::Error, "还原回收站：", "还原回收站：", 0x2010},
                      MessageCase{"NoTitleGivesTheDefault", MessageIcon::Information, "", "信息：", 0x2040}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(AppTest, ShowMessageAfterTheWindowIsGoneHasNoOwner)
{
    SendMessageA(main(), WM_CLOSE, 0, 0);
    app->showMessage("替换失败！", "Purrbox：", MessageIcon::Error);
    ASSERT_EQ(messageBox.boxes.size(), 1u);
    EXPECT_EQ(messageBox.boxes[0].owner, nullptr);
    EXPECT_EQ(messageBox.boxes[0].style, 0x2010u);
}

// ---- The event table

// Records the actions' calls; the key reads as missing, so an action stops early.
class RecordingPorts final : public ActionPorts {
public:
    void setBusy(bool busy) override { calls.push_back(busy ? "setBusy(true)" : "setBusy(false)"); }
    void installIconFiles() override { calls.push_back("installIconFiles"); }
    void deleteIconFolder() override { calls.push_back("deleteIconFolder"); }
    std::string readIconValue(std::string_view) override
    {
        calls.push_back("readIconValue");
        return {};
    }
    bool writeIconValue(std::string_view, std::string_view) override
    {
        calls.push_back("writeIconValue");
        return true;
    }
    void notifyIconsChanged() override { calls.push_back("notifyIconsChanged"); }
    void showMessage(std::string_view, std::string_view title, MessageIcon) override
    {
        calls.push_back("showMessage " + std::string(title));
    }

    std::vector<std::string> calls;
};

struct DispatchCase {
    const char* name;
    int controlId;
    int event;
    std::vector<std::string> calls;  // empty: no handler
};

class DispatchControlEvent : public ::testing::TestWithParam<DispatchCase> {};

TEST_P(DispatchControlEvent, RunsTheButtonsActionAndDropsEverythingElse)
{
    RecordingPorts ports;
    const bool handled = dispatchControlEvent(GetParam().controlId, GetParam().event, ports);
    EXPECT_EQ(handled, !GetParam().calls.empty());
    EXPECT_EQ(ports.calls, GetParam().calls);
}

const std::vector<std::string> SwitchCalls{"setBusy(true)", "installIconFiles", "readIconValue", "showMessage Purrbox",
                                           "setBusy(false)"};
const std::vector<std::string> RestoreCalls{"setBusy(true)", "deleteIconFolder", "readIconValue",
                                            "showMessage 原版回收站", "setBusy(false)"};

INSTANTIATE_TEST_SUITE_P(Events, DispatchControlEvent,
                         ::testing::Values(DispatchCase{"SwitchButtonClick", 100, 0, SwitchCalls},
                                           DispatchCase{"RestoreButtonClick", 110, 0, RestoreCalls},
                                           DispatchCase{"SwitchButtonOtherEvent", 100, 1, {}},
                                           DispatchCase{"RestoreButtonOtherEvent", 110, 5, {}},
                                           DispatchCase{"OpenMouthPicture", 120, 0, {}},
                                           DispatchCase{"ClosedMouthPicture", 130, 0, {}},
                                           DispatchCase{"HelpText", 140, 0, {}},
                                           DispatchCase{"TheWindowItself", 0, 0, {}},
                                           DispatchCase{"Cancel", IDCANCEL, 0, {}}),
                         [](const auto& instance) { return std::string(instance.param.name); });

// ---- A click through the window, the table and the ports

TEST_F(AppTest, SwitchClickRunsTheSwitchWithBothButtonsDisabledMeanwhile)
{
    // No Recycle Bin key: the switch installs the files, then says the system is incompatible.
    SendMessageA(button(100), BM_CLICK, 0, 0);
    pumpMessages();
    ASSERT_EQ(messageBox.boxes.size(), 1u);
    const auto& box = messageBox.boxes[0];
    EXPECT_EQ(box.owner, main());
    EXPECT_EQ(box.text, texts::IncompatibleSystemMessage);
    EXPECT_EQ(box.title, "Purrbox");
    EXPECT_EQ(box.style, 0x2040u);
    EXPECT_FALSE(box.switchEnabled);
    EXPECT_FALSE(box.restoreEnabled);
    EXPECT_TRUE(enabled(100));
    EXPECT_TRUE(enabled(110));
    EXPECT_TRUE(files.exists("C:\\Users\\me\\AppData\\Roaming\\brenoka\\miaoIco\\empty.dll"));
    EXPECT_TRUE(files.exists("C:\\Users\\me\\AppData\\Roaming\\brenoka\\miaoIco\\full.dll"));
}

TEST_F(AppTest, RestoreClickRunsTheRestoreAndReportsEachFailedWrite)
{
    registry.createKey(IconKeyPath);
    setIconValue("", CatFullIcon);
    registry.setReadOnly(IconKeyPath, true);
    SendMessageA(button(110), BM_CLICK, 0, 0);
    pumpMessages();
    ASSERT_EQ(messageBox.boxes.size(), 3u);
    for (const auto& box : messageBox.boxes) {
        EXPECT_EQ(box.owner, main());
        EXPECT_EQ(box.text, "还原失败！");
        EXPECT_EQ(box.title, "还原回收站：");
        EXPECT_EQ(box.style, 0x2010u);
        EXPECT_FALSE(box.switchEnabled);
    }
    EXPECT_TRUE(enabled(100));
    EXPECT_TRUE(enabled(110));
}

// ---- The focus around an action

// What the key holds before the click decides the action's path.
enum class KeyHolds { WindowsIcons, CatIcons, Nothing, ReadOnlyCatIcons };

struct FocusCase {
    const char* name;
    int focused;  // the control that has the focus before
    int clicked;  // the button whose click starts the action
    KeyHolds key;
    std::size_t boxes;
};

class FocusAfterAction : public AppTest, public ::testing::WithParamInterface<FocusCase> {
protected:
    void prepareKey(KeyHolds key)
    {
        if (key == KeyHolds::Nothing) return;
        registry.createKey(IconKeyPath);
        setIconValue("", key == KeyHolds::WindowsIcons ? WindowsEmptyIcon : CatEmptyIcon);
        if (key == KeyHolds::ReadOnlyCatIcons) registry.setReadOnly(IconKeyPath, true);
    }
};

// The button's click as the window receives it, whoever has the focus.
void clickFrom(HWND window, HWND button)
{
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

TEST_P(FocusAfterAction, IsWhereItWasBeforeOnEveryPath)
{
    prepareKey(GetParam().key);
    SetFocus(button(GetParam().focused));
    clickFrom(main(), button(GetParam().clicked));
    pumpMessages();
    EXPECT_EQ(messageBox.boxes.size(), GetParam().boxes);
    EXPECT_TRUE(enabled(100));
    EXPECT_TRUE(enabled(110));
    EXPECT_EQ(GetFocus(), button(GetParam().focused)) << GetDlgCtrlID(GetFocus());
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FocusAfterAction,
    ::testing::Values(FocusCase{"SilentSwitch", 100, 100, KeyHolds::WindowsIcons, 0},
                      FocusCase{"SilentRestore", 110, 110, KeyHolds::CatIcons, 0},
                      FocusCase{"InformationBox", 100, 100, KeyHolds::Nothing, 1},
                      FocusCase{"ThreeErrorBoxes", 110, 110, KeyHolds::ReadOnlyCatIcons, 3},
                      FocusCase{"HelpTextKeepsIt", 140, 100, KeyHolds::WindowsIcons, 0}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(AppTest, SetBusyAfterTheWindowLostTheActivationLeavesItInactiveUntilItComesBack)
{
    SetFocus(button(110));
    app->setBusy(true);
    {
        const testing::OtherActiveWindow other;
        app->setBusy(false);
        pumpMessages();
        EXPECT_EQ(GetActiveWindow(), other.handle());  // the end of an action steals no activation
    }
    SetActiveWindow(main());
    pumpMessages();
    EXPECT_EQ(GetFocus(), button(110));
}

// ---- The end of the loop

TEST_F(AppTest, ClosingTheWindowEndsTheLoopWithZero)
{
    PostMessageA(main(), WM_CLOSE, 0, 0);
    EXPECT_EQ(app->runMessageLoop(), 0);
    EXPECT_EQ(main(), nullptr);
}

int focusSeen = -1;

// At WM_APP, which was posted after the keys: notes the focused control, then closes the window.
LRESULT CALLBACK noteFocusAndClose(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_APP) {
        focusSeen = GetDlgCtrlID(GetFocus());
        PostMessageA(message->hwnd, WM_CLOSE, 0, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(AppTest, TheLoopLetsTheWindowHandleKeysBeforeTheControls)
{
    // A button does nothing with Tab itself: the focus moves only if the window sees the key first.
    SetFocus(button(100));
    PostMessageA(button(100), WM_KEYDOWN, VK_TAB, 1);
    PostMessageA(main(), WM_APP, 0, 0);
    focusSeen = -1;
    const HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, noteFocusAndClose, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    EXPECT_EQ(app->runMessageLoop(), 0);
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(focusSeen, 110);
}

}  // namespace
}  // namespace purrbox::ui
