#include "ui/main_window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "build_settings.h"
#include "core/texts.h"
#include "system/icon_files.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/ui/window_test_support.h"
#include "ui/app.h"
#include "ui/layout.h"

namespace purrbox::ui {
namespace {

using testing::className;
using testing::clientRect;
using testing::dropQuitMessage;
using testing::pumpMessages;
using testing::windowTextA;
using testing::windowTextW;

class RecordingEvents final : public MainWindowEvents {
public:
    void controlEvent(int controlId, int event) override { events.emplace_back(controlId, event); }
    void windowDestroyed() override { ++destroyed; }

    std::vector<std::pair<int, int>> events;
    int destroyed = 0;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.create(GetModuleHandleA(nullptr)));
        pumpMessages();
    }

    HWND control(int id) const { return window.control(id); }

    RecordingEvents events;
    MainWindow window{events};
};

// ---- The window

TEST_F(MainWindowTest, IsCentredOnThePrimaryScreenAt356By345)
{
    RECT outer{};
    GetWindowRect(window.handle(), &outer);
    EXPECT_EQ(outer.right - outer.left, 356);
    EXPECT_EQ(outer.bottom - outer.top, 345);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 356) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 345) / 2);
}

struct ScreenCase {
    int width;
    int height;
    POINT origin;
};

class CentredOrigin : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(CentredOrigin, TruncatesTowardZero)
{
    const POINT origin = centredOrigin(GetParam().width, GetParam().height);
    EXPECT_EQ(origin.x, GetParam().origin.x);
    EXPECT_EQ(origin.y, GetParam().origin.y);
}

INSTANTIATE_TEST_SUITE_P(Screens, CentredOrigin,
                         ::testing::Values(ScreenCase{1920, 1080, {782, 367}}, ScreenCase{1366, 768, {505, 211}},
                                           ScreenCase{1024, 768, {334, 211}}, ScreenCase{356, 345, {0, 0}},
                                           // Smaller than the window: negative, and -145 / 2 is -72, not -73.
                                           ScreenCase{300, 200, {-28, -72}}));

TEST_F(MainWindowTest, HasAFixedFrameWithCaptionAndNoExtendedStyle)
{
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(window.handle(), GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrA(window.handle(), GWL_EXSTYLE));
    // Windows adds WS_CLIPSIBLINGS to every top-level window and WS_EX_WINDOWEDGE to a framed one.
    EXPECT_EQ(style & ~DWORD{WS_VISIBLE | WS_CLIPSIBLINGS},
              DWORD{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN});
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_EQ(exStyle & ~DWORD{WS_EX_WINDOWEDGE}, 0u);
    EXPECT_EQ(GetParent(window.handle()), nullptr);
    EXPECT_EQ(GetWindow(window.handle(), GW_OWNER), nullptr);
}

TEST_F(MainWindowTest, IsTitledInChinese)
{
    EXPECT_EQ(windowTextW(window.handle()), L"一键Purrbox - brenoka");
    EXPECT_EQ(windowTextA(window.handle()), "一键Purrbox - brenoka");  // UTF-8: the process code page
}

struct ClassCase {
    const char* name;
    int controlId;  // 0: the main window
};

class WindowClass : public MainWindowTest, public ::testing::WithParamInterface<ClassCase> {};

TEST_P(WindowClass, RedrawsOnResizeTakesDoubleClicksAndErasesNothing)
{
    const HWND hwnd = GetParam().controlId ? control(GetParam().controlId) : window.handle();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(GetClassLongPtrA(hwnd, GCL_STYLE), LONG_PTR{CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS});
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND)), GetStockObject(NULL_BRUSH));
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrA(hwnd, GCLP_HCURSOR)), LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(GetClassLongPtrA(hwnd, GCLP_HICON), 0);
}

INSTANTIATE_TEST_SUITE_P(Classes, WindowClass,
                         ::testing::Values(ClassCase{"MainWindow", 0}, ClassCase{"PictureBox", 130}),
                         [](const auto& instance) { return std::string(instance.param.name); });

SIZE iconSize(HICON icon)
{
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return SIZE{};
    BITMAP bitmap{};
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return SIZE{bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2};
}

TEST_F(MainWindowTest, ShowsTheApplicationIconBigAndSmall)
{
    const auto big = reinterpret_cast<HICON>(SendMessageA(window.handle(), WM_GETICON, ICON_BIG, 0));
    const auto small = reinterpret_cast<HICON>(SendMessageA(window.handle(), WM_GETICON, ICON_SMALL, 0));
    ASSERT_NE(big, nullptr);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(iconSize(big).cx, 32);
    EXPECT_EQ(iconSize(big).cy, 32);
    EXPECT_EQ(iconSize(small).cx, 16);
    EXPECT_EQ(iconSize(small).cy, 16);
}

// ---- The controls

struct ExpectedControl {
    const char* name;
    int id;
    const char* windowClass;  // nullptr: the picture boxes' own class
    RECT place;               // client coordinates
    DWORD required;           // style bits that must be set
    DWORD forbidden;          // style bits that must not be
    DWORD exStyle;
    const wchar_t* text;
};

constexpr DWORD Child = WS_CHILD | WS_CLIPSIBLINGS | WS_VISIBLE;
constexpr DWORD Button = Child | WS_TABSTOP | BS_CENTER | BS_VCENTER | BS_MULTILINE;
constexpr DWORD ButtonForbidden = WS_BORDER | WS_DISABLED | BS_BITMAP | BS_ICON;
constexpr DWORD Picture = Child;
constexpr DWORD PictureForbidden = WS_TABSTOP | WS_BORDER | WS_DISABLED;
constexpr DWORD Edit = Child | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | ES_READONLY;
constexpr DWORD EditForbidden =
    WS_HSCROLL | WS_BORDER | WS_DISABLED | ES_AUTOHSCROLL | ES_NOHIDESEL | ES_CENTER | ES_RIGHT;

// In creation order.
const ExpectedControl ExpectedControls[] = {
    {"SwitchButton", 100, "Button", {183, 8, 335, 40}, Button, ButtonForbidden, 0, L"修改为Purrbox"},
    {"RestoreButton", 110, "Button", {184, 48, 336, 80}, Button, ButtonForbidden, 0, L"还原回收站"},
    {"OpenMouthPicture", 120, nullptr, {99, 14, 163, 78}, Picture, PictureForbidden, 0, L""},
    {"ClosedMouthPicture", 130, nullptr, {19, 14, 83, 78}, Picture, PictureForbidden, 0, L""},
    {"HelpText", 140, "Edit", {8, 88, 336, 312}, Edit, EditForbidden, WS_EX_STATICEDGE, nullptr},
};

class Control : public MainWindowTest, public ::testing::WithParamInterface<ExpectedControl> {};

TEST_P(Control, HasItsIdClassPlaceStylesAndText)
{
    const ExpectedControl& expected = GetParam();
    const HWND hwnd = control(expected.id);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(GetParent(hwnd), window.handle());

    if (expected.windowClass) {
        EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, className(hwnd).c_str(), -1,
                                 expected.windowClass, -1),
                  CSTR_EQUAL)
            << className(hwnd);
    } else {
        EXPECT_EQ(className(hwnd), className(control(120)));  // both pictures share a class of their own
    }

    const RECT place = clientRect(hwnd);
    EXPECT_EQ(place.left, expected.place.left);
    EXPECT_EQ(place.top, expected.place.top);
    EXPECT_EQ(place.right, expected.place.right);
    EXPECT_EQ(place.bottom, expected.place.bottom);

    const auto style = static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE));
    EXPECT_EQ(style & expected.required, expected.required) << std::hex << style;
    EXPECT_EQ(style & expected.forbidden, 0u) << std::hex << style;
    if (expected.windowClass && std::string(expected.windowClass) == "Button") {
        EXPECT_EQ(style & BS_TYPEMASK, DWORD{BS_PUSHBUTTON});  // not a default push button
    }
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_EXSTYLE));
    EXPECT_EQ(exStyle & ~DWORD{WS_EX_NOPARENTNOTIFY}, expected.exStyle) << std::hex << exStyle;

    if (expected.text) {
        EXPECT_EQ(windowTextW(hwnd), expected.text);
    }
}

INSTANTIATE_TEST_SUITE_P(Controls, Control, ::testing::ValuesIn(ExpectedControls),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(MainWindowTest, CreatesItsControlsInOrder)
{
    // Siblings keep their creation order from the top of the z-order down.
    std::vector<int> order;
    for (HWND child = GetWindow(window.handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        order.push_back(GetDlgCtrlID(child));
    EXPECT_EQ(order, (std::vector<int>{100, 110, 120, 130, 140}));
}

TEST_F(MainWindowTest, ButtonsUseTheDefaultGuiFont)
{
    for (const int id : {100, 110}) {
        EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(control(id), WM_GETFONT, 0, 0)),
                  GetStockObject(DEFAULT_GUI_FONT))
            << id;
    }
}

// ---- The help text

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

// The help text as the user must read it, written out here line by line and
// not taken from the program's own table, so that a slip in either shows.
const std::vector<std::string> ExpectedHelpLines = {
    "完全免费，交流群：" PURRBOX_GROUP_NUMBER "。",
    "",
    "使用说明：",
    "回收站是原版图标：",
    "1、点击“修改为Purrbox”即可。",
    "",
    "回收站不是原版图标：",
    "1、回到桌面，右键回收站；",
    "2、点击“清空回收站”；",
    "3、回到本软件；",
    "5、点击“还原回收站”；",  // there is no step 4
    "6、点击“修改为Purrbox”即可。",
    "",
    "常见问题：",
    "问题1：软件失效？",
    "回答1：该软件仅在WIN10系统测试过，其他系统可联系我进行适配。",
    "",
    "问题2：回收站没有文件，右键却能“清空回收站”？",
    "回答2：可能是没有按照步骤来，不要点击“清空回收站”（我没试过，不知道后果）。可在群内联系群主，远程连接解决。",
    "",
    "正常操作不会出现若出现问题请勿乱点，首先加群咨询，出现问题概不负责。",
};

TEST_F(MainWindowTest, HelpTextHasEveryByteOfItsTwentyOneLines)
{
    const std::string text = windowTextA(control(140));
    const std::vector<std::string> lines = splitLines(text);
    ASSERT_EQ(ExpectedHelpLines.size(), 21u);
    EXPECT_EQ(lines.size(), ExpectedHelpLines.size());
    for (std::size_t line = 0; line < std::min(lines.size(), ExpectedHelpLines.size()); ++line) {
        EXPECT_EQ(lines[line], ExpectedHelpLines[line]) << "line " << line + 1;
    }
    // Joined by CR LF and nothing else, none after the last line.
    std::string joined = ExpectedHelpLines.front();
    for (std::size_t line = 1; line < ExpectedHelpLines.size(); ++line) joined += "\r\n" + ExpectedHelpLines[line];
    EXPECT_EQ(text, joined);
}

TEST_F(MainWindowTest, HelpTextOpensAtItsStartWithNothingSelected)
{
    DWORD start = 1;
    DWORD end = 1;
    SendMessageA(control(140), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 0u);
    EXPECT_EQ(SendMessageA(control(140), EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

TEST_F(MainWindowTest, HelpTextWrapsTakesNoTypingAndHasNoLimit)
{
    const HWND edit = control(140);
    // Long lines wrap at the box's width: more lines on screen than in the text.
    EXPECT_GT(SendMessageA(edit, EM_GETLINECOUNT, 0, 0), 21);
    // EM_LIMITTEXT with 0: the largest limit a multi-line box has.
    EXPECT_EQ(static_cast<DWORD>(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0)), 0xFFFFFFFFu);

    SetFocus(edit);
    SendMessageA(edit, WM_CHAR, 'x', 0);
    SendMessageA(edit, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(windowTextA(edit), std::string(texts::HelpText));
}

TEST_F(MainWindowTest, HelpTextFontIsMicrosoftYaHeiAsLaidDown)
{
    const auto font = reinterpret_cast<HFONT>(SendMessageA(control(140), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    ASSERT_NE(font, GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTW logFont{};
    ASSERT_EQ(GetObjectW(font, sizeof logFont, &logFont), static_cast<int>(sizeof logFont));
    EXPECT_STREQ(logFont.lfFaceName, L"微软雅黑");
    EXPECT_EQ(logFont.lfHeight, -12);
    EXPECT_EQ(logFont.lfWidth, 0);
    EXPECT_EQ(logFont.lfWeight, 400);
    EXPECT_EQ(logFont.lfItalic, 0);
    EXPECT_EQ(logFont.lfUnderline, 0);
    EXPECT_EQ(logFont.lfStrikeOut, 0);
    EXPECT_EQ(logFont.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(logFont.lfOutPrecision, OUT_DEFAULT_PRECIS);
    EXPECT_EQ(logFont.lfClipPrecision, CLIP_DEFAULT_PRECIS);
    EXPECT_EQ(logFont.lfQuality, PROOF_QUALITY);
    EXPECT_EQ(logFont.lfPitchAndFamily, DEFAULT_PITCH);

    // The face a device context really uses with it.
    const HDC dc = GetDC(control(140));
    const HGDIOBJ previous = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, previous);
    ReleaseDC(control(140), dc);
    EXPECT_STREQ(face, L"微软雅黑");
}

TEST_F(MainWindowTest, HelpTextIsBlackOnButtonFace)
{
    const HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkColor(dc, RGB(4, 5, 6));
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageA(window.handle(), WM_CTLCOLORSTATIC,
                                                              reinterpret_cast<WPARAM>(dc),
                                                              reinterpret_cast<LPARAM>(control(140))));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
    LOGBRUSH logBrush{};
    ASSERT_NE(brush, nullptr);
    ASSERT_NE(GetObjectA(brush, sizeof logBrush, &logBrush), 0);
    EXPECT_EQ(logBrush.lbStyle, UINT{BS_SOLID});
    EXPECT_EQ(logBrush.lbColor, GetSysColor(COLOR_BTNFACE));
    // One brush, made once, for every repaint.
    EXPECT_EQ(reinterpret_cast<HBRUSH>(SendMessageA(window.handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                    reinterpret_cast<LPARAM>(control(140)))),
              brush);
    DeleteDC(dc);
}

// ---- The pictures

struct Pixel {
    std::uint8_t blue, green, red, alpha;
};

// The 32 x 32 image of a cat file, top row first, read straight from the
// file's directory (its last entry) and bitmap header.
std::vector<Pixel> thirtyTwoPixelImage(const IconFile& file)
{
    const unsigned char* bytes = file.bytes.data();
    const auto dword = [bytes](std::size_t at) {
        return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24);
    };
    const std::size_t count = bytes[4] | bytes[5] << 8;
    const std::size_t entry = 6 + 16 * (count - 1);
    EXPECT_EQ(bytes[entry], 32);
    const std::size_t image = dword(entry + 12);
    EXPECT_EQ(dword(image), 40u);  // BITMAPINFOHEADER
    std::vector<Pixel> pixels(32 * 32);
    for (std::size_t row = 0; row < 32; ++row)  // stored bottom-up
        for (std::size_t column = 0; column < 32; ++column) {
            const unsigned char* p = bytes + image + 40 + ((31 - row) * 32 + column) * 4;
            pixels[row * 32 + column] = Pixel{p[0], p[1], p[2], p[3]};
        }
    return pixels;
}

struct PictureCase {
    const char* name;
    int id;
    const IconFile& (*file)();
};

class PictureBoxShows : public MainWindowTest, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(PictureBoxShows, ItsFilesThirtyTwoPixelImageEnlargedOnButtonFace)
{
    const PictureBox* picture = window.picture(GetParam().id);
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(picture->icon(), nullptr);
    EXPECT_EQ(iconSize(picture->icon()).cx, 32);
    EXPECT_EQ(iconSize(picture->icon()).cy, 32);

    // Paint the box into a 64 x 64 bitmap and compare every opaque and every
    // transparent pixel of the image with the 2 x 2 block it became.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 64;
    info.bmiHeader.biHeight = -64;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const HDC dc = CreateCompatibleDC(nullptr);
    const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    const HGDIOBJ previous = SelectObject(dc, bitmap);
    SendMessageA(picture->handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();

    const std::vector<Pixel> image = thirtyTwoPixelImage(GetParam().file());
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const auto* painted = static_cast<const Pixel*>(bits);
    int opaque = 0;
    int transparent = 0;
    int wrong = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const Pixel& source = image[static_cast<std::size_t>(y / 2 * 32 + x / 2)];
            const Pixel& shown = painted[y * 64 + x];
            if (source.alpha == 255) {
                ++opaque;
                wrong += shown.red != source.red || shown.green != source.green || shown.blue != source.blue;
            } else if (source.alpha == 0) {
                ++transparent;
                wrong += shown.red != GetRValue(face) || shown.green != GetGValue(face) ||
                         shown.blue != GetBValue(face);
            }
        }
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EXPECT_GT(opaque, 1000);
    EXPECT_GT(transparent, 100);
    EXPECT_EQ(wrong, 0);
}

// The cat with its mouth closed (full.dll) on the left, the open mouth (empty.dll) on the right.
INSTANTIATE_TEST_SUITE_P(Pictures, PictureBoxShows,
                         ::testing::Values(PictureCase{"LeftClosedMouth", 130, fullIconFile},
                                           PictureCase{"RightOpenMouth", 120, emptyIconFile}),
                         [](const auto& instance) { return std::string(instance.param.name); });

// ---- Focus and keyboard

class KeyboardState {
public:
    explicit KeyboardState(bool shift)
    {
        GetKeyboardState(saved_);
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
    }
    ~KeyboardState() { SetKeyboardState(saved_); }

private:
    BYTE saved_[256];
};

// What the message loop does with a key: true when the window kept it from
// the focused control.
bool pressKey(MainWindow& window, WPARAM key, bool shift = false)
{
    const KeyboardState state(shift);
    const MSG message{GetFocus(), WM_KEYDOWN, key, 1, 0, {}};
    const bool handled = window.preTranslateMessage(message);
    pumpMessages();
    return handled;
}

TEST_F(MainWindowTest, StartsWithTheFocusOnTheSwitchButton)
{
    EXPECT_EQ(GetActiveWindow(), window.handle());
    EXPECT_EQ(GetFocus(), control(100));
}

struct TabCase {
    const char* name;
    bool shift;
    std::vector<int> focusAfterEachPress;
};

class TabWalk : public MainWindowTest, public ::testing::WithParamInterface<TabCase> {};

TEST_P(TabWalk, GoesRoundTheButtonsAndTheHelpText)
{
    SetFocus(control(100));
    for (const int expected : GetParam().focusAfterEachPress) {
        EXPECT_TRUE(pressKey(window, VK_TAB, GetParam().shift));
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, TabWalk,
                         ::testing::Values(TabCase{"Tab", false, {110, 140, 100, 110}},
                                           TabCase{"ShiftTab", true, {140, 110, 100, 140}}),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(MainWindowTest, TabPassesOverADisabledButton)
{
    SetFocus(control(100));
    EnableWindow(control(110), FALSE);
    EXPECT_TRUE(pressKey(window, VK_TAB));
    EXPECT_EQ(GetFocus(), control(140));
    EXPECT_TRUE(pressKey(window, VK_TAB, true));
    EXPECT_EQ(GetFocus(), control(100));
}

// Keys as a user types them: into the input queue with SendInput, then
// through the program's own message loop (the window's key handling,
// translation, dispatch) until the release of the last key is dispatched.
class TypedKeys : public ::testing::Test {
protected:
    // Counts the boxes the actions would show: over a registry without the
    // Recycle Bin key, a click on either button shows one.
    class CountingMessageBox final : public MessageBoxApi {
    public:
        int messageBox(HWND, const char*, const char*, UINT) override
        {
            ++shown;
            return IDOK;
        }
        int shown = 0;
    };

    void SetUp() override
    {
        app.emplace(iconKey, iconFiles, messageBox);
        ASSERT_TRUE(app->createMainWindow(GetModuleHandleA(nullptr)));
        pumpMessages();
        ASSERT_EQ(GetForegroundWindow(), main()) << "typed keys would go to another window";
    }

    void TearDown() override
    {
        app.reset();
        dropQuitMessage();  // the window's end asked the loop to stop
    }

    HWND main() { return app->mainWindow().handle(); }
    HWND control(int id) { return app->mainWindow().control(id); }

    // Presses and releases each key in turn and runs the loop until the last
    // release has been dispatched, or the window is gone, or ten seconds have
    // passed. False when the keys did not all come through the loop.
    bool typeKeys(std::initializer_list<WORD> keys)
    {
        std::vector<INPUT> inputs;
        for (const WORD key : keys) {
            for (const DWORD flags : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
                INPUT input{};
                input.type = INPUT_KEYBOARD;
                input.ki.wVk = key;
                input.ki.dwFlags = flags;
                inputs.push_back(input);
            }
        }
        lastKey = *(keys.end() - 1);
        lastKeyReleased = false;
        const HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, stopAfterLastRelease, nullptr, GetCurrentThreadId());
        const UINT_PTR timer = SetTimer(nullptr, 0, 10000, giveUp);
        const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
        if (hook && timer && sent == inputs.size()) app->runMessageLoop();
        KillTimer(nullptr, timer);
        UnhookWindowsHookEx(hook);
        // Keys a closed window never took must not reach the next test's window.
        for (MSG stale{}; PeekMessageA(&stale, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE);) {
        }
        return lastKeyReleased;
    }

    static LRESULT CALLBACK stopAfterLastRelease(int code, WPARAM wParam, LPARAM lParam)
    {
        const auto* message = reinterpret_cast<const MSG*>(lParam);
        if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_KEYUP && message->wParam == lastKey) {
            lastKeyReleased = true;
            PostQuitMessage(0);  // the loop ends once this release and all it posts are dispatched
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static void CALLBACK giveUp(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); }

    static inline WPARAM lastKey = 0;
    static inline bool lastKeyReleased = false;

    purrbox::testing::FakeRegistry registry;
    purrbox::testing::FakeFileSystem files;
    RecycleBinIconKey iconKey{registry};
    IconFileSet iconFiles{files};
    CountingMessageBox messageBox;
    std::optional<App> app;
};

TEST_F(TypedKeys, EscapeAndEnterDoNothingWhereverTheFocusIs)
{
    for (const int focused : {100, 110, 140}) {
        SetFocus(control(focused));
        const bool allTyped = typeKeys({VK_ESCAPE, VK_RETURN, VK_ESCAPE});
        ASSERT_TRUE(IsWindow(main())) << "closed by a key with the focus on " << focused;
        ASSERT_TRUE(allTyped) << "the keys did not all come through the loop, focus on " << focused;
        EXPECT_EQ(GetFocus(), control(focused));
    }
    EXPECT_EQ(messageBox.shown, 0);  // no button was clicked
    EXPECT_EQ(windowTextA(control(140)), std::string(texts::HelpText));

    // The same path brings other keys to the controls: Space clicks the focused button.
    SetFocus(control(110));
    ASSERT_TRUE(typeKeys({VK_SPACE}));
    EXPECT_EQ(messageBox.shown, 1);
}

TEST_F(MainWindowTest, GivesTheFocusBackToTheControlThatHadIt)
{
    SetFocus(control(140));
    {
        const testing::OtherActiveWindow other;
        ASSERT_EQ(GetActiveWindow(), other.handle());
    }
    SetActiveWindow(window.handle());
    pumpMessages();
    EXPECT_EQ(GetFocus(), control(140));
}

// What becomes of the control that had the focus while the window was
// inactive, and who gets the focus on the window's activation.
struct ActivationCase {
    const char* name;
    int focusedBefore;
    void (*meanwhile)(HWND window);
    int focusedAfter;  // 0: the window itself
};

HWND child(HWND window, int id) { return GetDlgItem(window, id); }

const ActivationCase ActivationCases[] = {
    {"RememberedButtonStillUsable", 110, [](HWND) {}, 110},
    {"RememberedButtonDisabled", 110, [](HWND w) { EnableWindow(child(w, 110), FALSE); }, 100},
    {"RememberedButtonHidden", 110, [](HWND w) { ShowWindow(child(w, 110), SW_HIDE); }, 100},
    {"RememberedButtonDestroyed", 110, [](HWND w) { DestroyWindow(child(w, 110)); }, 100},
    {"BothButtonsDisabled", 100,
     [](HWND w) {
         EnableWindow(child(w, 100), FALSE);
         EnableWindow(child(w, 110), FALSE);
     },
     140},
    {"NoControlCanTakeIt", 140,
     [](HWND w) {
         for (const int id : {100, 110, 140}) EnableWindow(child(w, id), FALSE);
     },
     0},
};

class FocusOnActivation : public MainWindowTest, public ::testing::WithParamInterface<ActivationCase> {};

TEST_P(FocusOnActivation, GoesToTheRememberedControlOrTheFirstThatCanTakeIt)
{
    SetFocus(control(GetParam().focusedBefore));
    {
        const testing::OtherActiveWindow other;
        GetParam().meanwhile(window.handle());
    }
    SetActiveWindow(window.handle());
    pumpMessages();
    ASSERT_EQ(GetActiveWindow(), window.handle());
    const HWND expected = GetParam().focusedAfter ? control(GetParam().focusedAfter) : window.handle();
    EXPECT_EQ(GetFocus(), expected) << GetDlgCtrlID(GetFocus());
}

INSTANTIATE_TEST_SUITE_P(Cases, FocusOnActivation, ::testing::ValuesIn(ActivationCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

// ---- Events

struct ClickCase {
    const char* name;
    int id;
    bool raisesClick;
};

class Click : public MainWindowTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(Click, OnlyAButtonRaisesItsClickEvent)
{
    const HWND hwnd = control(GetParam().id);
    if (className(hwnd) == "Button" || className(hwnd) == "BUTTON") {
        SendMessageA(hwnd, BM_CLICK, 0, 0);
    } else {
        SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        SendMessageA(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    }
    pumpMessages();
    if (GetParam().raisesClick)
        EXPECT_EQ(events.events, (std::vector<std::pair<int, int>>{{GetParam().id, ClickEvent}}));
    else
        EXPECT_TRUE(events.events.empty());
}

INSTANTIATE_TEST_SUITE_P(Controls, Click,
                         ::testing::Values(ClickCase{"SwitchButton", 100, true}, ClickCase{"RestoreButton", 110, true},
                                           ClickCase{"OpenMouthPicture", 120, false},
                                           ClickCase{"ClosedMouthPicture", 130, false},
                                           ClickCase{"HelpText", 140, false}),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(MainWindowTest, CloseDestroysTheWindowWithoutAQuestion)
{
    const HWND hwnd = window.handle();
    // A question would be a modal box: this call would not return.
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(window.handle(), nullptr);
    EXPECT_EQ(window.control(100), nullptr);
    EXPECT_EQ(events.destroyed, 1);
}

}  // namespace
}  // namespace purrbox::ui
