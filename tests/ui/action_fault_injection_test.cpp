// Every platform call that either action makes, failed one at a time. A run
// of an action is first recorded without a failure; then it is repeated once
// for each of its calls, with that call (the n-th platform call of the run)
// failing. Both actions, every starting icon state, with and without a switch
// earlier in the same run of the program, through the program's real wiring
// (AppActionPorts over RecycleBinIconKey and IconFileSet) on the doubles.
//
// What "failing" means for each call:
// - RegOpenKey, RegQueryValueEx, RegSetValueEx: ERROR_ACCESS_DENIED and
//   nothing done; the open hands out no key.
// - SHGetSpecialFolderPathA, CreateDirectoryA, FindFirstFileA (no entry),
//   FindNextFileA (the listing ends early), CreateFileA (no file), WriteFile
//   (nothing written), DeleteFileA, RemoveDirectoryA: the failure result and
//   nothing done.
// - RegCloseKey, FindClose, CloseHandle: the failure result, the handle
//   closed all the same. What is checked is that the program asks exactly
//   once for every handle it got; a failed close tells it nothing it could
//   act on, and the program ignores the result.
// - MessageBoxA: 0, and no box is shown.
// - EnableWindow and SHChangeNotify have no failure result: the program
//   cannot see one. Failing means the call is lost (EnableWindow on a
//   handle that is no window any more, a notification the shell drops). A
//   lost enable at the end of an action leaves that one button disabled,
//   which nothing in the program can notice; for that run the check is that
//   the program asked for it as the last step, and that the other button is enabled.
#include "ui/app_action_ports.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <utility>

#include "build_settings.h"
#include "core/icon_state.h"
#include "system/icon_files.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/forwarding_file_system_api.h"
#include "tests/support/recording_registry_api.h"
#include "tests/support/registry_backend.h"

namespace purrbox::testing {
namespace {

// Numbers the platform calls of one action in the order they are made and
// fails the chosen one.
class FaultPlan {
public:
    struct Call {
        std::string function;
        std::string operation;  // the action's step that made it
        std::string detail;
    };

    // failAt 0: nothing fails.
    void start(std::size_t failAt)
    {
        failAt_ = failAt;
        calls_.clear();
    }
    // Asked by every double before it acts: true when this call is to fail.
    bool fails(const char* function, std::string detail = {})
    {
        calls_.push_back({function, operation, std::move(detail)});
        return calls_.size() == failAt_;
    }
    const std::vector<Call>& calls() const { return calls_; }
    const Call* failed() const { return failAt_ != 0 && failAt_ <= calls_.size() ? &calls_[failAt_ - 1] : nullptr; }

    std::string operation;

private:
    std::size_t failAt_ = 0;
    std::vector<Call> calls_;
};

class FaultyRegistry final : public RegistryApi {
public:
    FaultyRegistry(RegistryApi& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}

    RegStatus regOpenKey(RegKey root, const char* subKey, RegKey* result) override
    {
        if (!plan_.fails("RegOpenKey")) return inner_.regOpenKey(root, subKey, result);
        *result = RegKey::None;
        return RegAccessDenied;
    }
    RegStatus regQueryValueEx(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                              std::uint32_t* size) override
    {
        if (plan_.fails("RegQueryValueEx", data ? "data" : "size")) return RegAccessDenied;
        return inner_.regQueryValueEx(key, valueName, type, data, size);
    }
    RegStatus regSetValueEx(RegKey key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                            std::uint32_t size) override
    {
        if (plan_.fails("RegSetValueEx")) return RegAccessDenied;
        return inner_.regSetValueEx(key, valueName, type, data, size);
    }
    RegStatus regCloseKey(RegKey key) override
    {
        const bool fail = plan_.fails("RegCloseKey");
        const RegStatus status = inner_.regCloseKey(key);
        return fail ? FakeRegistry::InvalidHandle : status;
    }
    void shChangeNotify(long eventId, unsigned flags, const void* item1, const void* item2) override
    {
        if (!plan_.fails("SHChangeNotify")) inner_.shChangeNotify(eventId, flags, item1, item2);
    }

private:
    RegistryApi& inner_;
    FaultPlan& plan_;
};

class FaultyFiles final : public FileSystemApi {
public:
    FaultyFiles(FileSystemApi& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}

    bool shGetSpecialFolderPath(char* path, int folder, bool create) override
    {
        return !plan_.fails("SHGetSpecialFolderPath") && inner_.shGetSpecialFolderPath(path, folder, create);
    }
    bool createDirectory(const char* path) override
    {
        return !plan_.fails("CreateDirectory", path) && inner_.createDirectory(path);
    }
    FindHandle findFirstFile(const char* pattern, FoundEntry* found) override
    {
        return plan_.fails("FindFirstFile", pattern) ? InvalidFindHandle : inner_.findFirstFile(pattern, found);
    }
    bool findNextFile(FindHandle search, FoundEntry* found) override
    {
        return !plan_.fails("FindNextFile") && inner_.findNextFile(search, found);
    }
    bool findClose(FindHandle search) override
    {
        const bool fail = plan_.fails("FindClose");
        return inner_.findClose(search) && !fail;
    }
    FileHandle createFile(const char* path, std::uint32_t access, std::uint32_t shareMode, std::uint32_t disposition,
                          std::uint32_t flagsAndAttributes) override
    {
        if (plan_.fails("CreateFile", path)) return InvalidFileHandle;
        return inner_.createFile(path, access, shareMode, disposition, flagsAndAttributes);
    }
    bool writeFile(FileHandle file, const void* data, std::uint32_t size, std::uint32_t* written) override
    {
        *written = 0;
        return !plan_.fails("WriteFile") && inner_.writeFile(file, data, size, written);
    }
    bool closeHandle(FileHandle file) override
    {
        const bool fail = plan_.fails("CloseHandle");
        return inner_.closeHandle(file) && !fail;
    }
    bool deleteFile(const char* path) override { return !plan_.fails("DeleteFile", path) && inner_.deleteFile(path); }
    bool removeDirectory(const char* path) override
    {
        return !plan_.fails("RemoveDirectory", path) && inner_.removeDirectory(path);
    }

private:
    FileSystemApi& inner_;
    FaultPlan& plan_;
};

struct Message {
    std::string text;
    std::string title;
    unsigned style;
    friend bool operator==(const Message&, const Message&) = default;
};

std::string describe(const std::vector<Message>& messages)
{
    std::string text = "[";
    for (const Message& m : messages) text += " " + m.title + ": " + m.text + " (" + std::to_string(m.style) + ")";
    return text + " ]";
}

constexpr unsigned MbTaskModal = 0x2000;  // MB_TASKMODAL

// The window's side down to its platform calls, as App::setBusy and
// App::showMessage make them: EnableWindow for the switch button, then the
// restore button; one MessageBoxA with the icon plus MB_TASKMODAL and MB_OK.
class WindowFeedback final : public UserFeedback {
public:
    enum Button { SwitchButton, RestoreButton };

    explicit WindowFeedback(FaultPlan& plan) : plan_(plan) {}

    void setBusy(bool busy) override
    {
        for (const Button button : {SwitchButton, RestoreButton}) enableWindow(button, !busy);
    }
    void showMessage(std::string_view text, std::string_view title, MessageIcon icon) override
    {
        const Message message{std::string(text), std::string(title), static_cast<unsigned>(icon) | MbTaskModal};
        requested.push_back(message);
        if (!plan_.fails("MessageBoxA")) shown.push_back(message);
    }

    static std::string detail(Button button, bool enable)
    {
        return std::string(button == SwitchButton ? "switch " : "restore ") + (enable ? "TRUE" : "FALSE");
    }

    bool enabled[2] = {true, true};  // as the main window creates them
    std::vector<Message> requested;
    std::vector<Message> shown;

private:
    void enableWindow(Button button, bool enable)
    {
        if (!plan_.fails("EnableWindow", detail(button, enable))) enabled[button] = enable;
    }

    FaultPlan& plan_;
};

// The name a write step goes by: write "" for the default value.
std::string writeStep(std::string_view valueName) { return "write \"" + std::string(valueName) + "\""; }

// Faults planted on purpose, to show that the checks below catch them.
enum class Plant { None, EnableSkippedAfterFailedWrite, FileLeftOpenAfterFailedWrite };

// Names each step of the action for the judgement of the run, and can plant
// a skipped setBusy(false) after a failed write.
class MarkedPorts final : public ActionPorts {
public:
    MarkedPorts(ActionPorts& inner, FaultPlan& plan, bool skipEnableAfterFailedWrite)
        : inner_(inner), plan_(plan), plant_(skipEnableAfterFailedWrite)
    {
    }

    void setBusy(bool busy) override
    {
        plan_.operation = "setBusy";
        if (!busy && plant_ && writeFailed_) return;
        inner_.setBusy(busy);
    }
    void installIconFiles() override
    {
        plan_.operation = "files";
        inner_.installIconFiles();
    }
    void deleteIconFolder() override
    {
        plan_.operation = "files";
        inner_.deleteIconFolder();
    }
    std::string readIconValue(std::string_view valueName) override
    {
        plan_.operation = "read";
        return inner_.readIconValue(valueName);
    }
    bool writeIconValue(std::string_view valueName, std::string_view text) override
    {
        plan_.operation = writeStep(valueName);
        const bool written = inner_.writeIconValue(valueName, text);
        writeFailed_ = writeFailed_ || !written;
        return written;
    }
    void notifyIconsChanged() override
    {
        plan_.operation = "notify";
        inner_.notifyIconsChanged();
    }
    void showMessage(std::string_view text, std::string_view title, MessageIcon icon) override
    {
        plan_.operation = "message";
        inner_.showMessage(text, title, icon);
    }

private:
    ActionPorts& inner_;
    FaultPlan& plan_;
    bool plant_;
    bool writeFailed_ = false;
};

// Passes every call on; when planted, drops the close after a failed write.
class PlantedLeak final : public ForwardingFileSystemApi {
public:
    PlantedLeak(FileSystemApi& inner, bool active) : ForwardingFileSystemApi(inner), active_(active) {}

    bool writeFile(FileHandle file, const void* data, std::uint32_t size, std::uint32_t* written) override
    {
        const bool ok = ForwardingFileSystemApi::writeFile(file, data, size, written);
        dropNextClose_ = active_ && !ok;
        return ok;
    }
    bool closeHandle(FileHandle file) override
    {
        if (std::exchange(dropNextClose_, false)) return true;
        return ForwardingFileSystemApi::closeHandle(file);
    }

private:
    bool active_;
    bool dropNextClose_ = false;
};

// One run of the program over the doubles, every call passing the fault plan.
struct World {
    explicit World(Plant plant)
        : leak(fileCalls, plant == Plant::FileLeftOpenAfterFailedWrite),
          marked(ports, plan, plant == Plant::EnableSkippedAfterFailedWrite)
    {
    }

    FaultPlan plan;
    FakeRegistry registry;
    FaultyRegistry faultyRegistry{registry, plan};
    RecordingRegistryApi registryCalls{faultyRegistry};
    FakeFileSystem disk;
    FaultyFiles faultyFiles{disk, plan};
    RecordingFileSystemApi fileCalls{faultyFiles};
    PlantedLeak leak;
    RecycleBinIconKey key{registryCalls};
    IconFileSet iconFiles{leak};
    WindowFeedback window{plan};
    AppActionPorts ports{key, iconFiles, window};
    MarkedPorts marked;
};

enum class Action { Switch, Restore };

struct Scenario {
    Action action;
    IconState state;
    bool earlierSwitch;
};

std::string describe(const Scenario& s)
{
    static const char* const States[] = {"Unreadable", "WindowsEmpty", "WindowsFull", "CatEmpty", "CatFull", "Other"};
    return std::string(s.action == Action::Switch ? "switch" : "restore") + " from " +
           States[static_cast<int>(s.state)] + (s.earlierSwitch ? " after an earlier switch" : "");
}


std::string_view textOf(IconState state)
{
    switch (state) {
    case IconState::Unreadable: return "";
    case IconState::WindowsEmpty: return WindowsEmptyIcon;
    case IconState::WindowsFull: return WindowsFullIcon;
    case IconState::CatEmpty: return CatEmptyIcon;
    case IconState::CatFull: return CatFullIcon;
    case IconState::Other: return "C:\\Icons\\bin.ico,0";
    }
    return "";
}

// The profile before the action: a Windows 10 key with a neighbour value and
// a neighbouring key, files beside the icon folder, and the program's own run
// so far. Nothing here counts as a call of the action.
void arrange(World& world, const Scenario& s)
{
    world.registry.createKey(IconKeyPath);
    world.registry.setRaw(IconKeyPath, "", expandable(WindowsEmptyIcon));
    world.registry.setRaw(IconKeyPath, "empty", expandable(WindowsEmptyIcon));
    world.registry.setRaw(IconKeyPath, "full", expandable(WindowsFullIcon));
    world.registry.setRaw(IconKeyPath, "other", expandable("left alone"));
    world.registry.createKey("SOFTWARE\\Neighbour");
    world.registry.setRaw("SOFTWARE\\Neighbour", "", expandable("left alone"));
    world.disk.putFile(*world.disk.appData + "\\notes.txt", {'n'});
    world.disk.putFile(world.disk.currentDirectory + "\\Purrbox.exe", {'M', 'Z'});
    if (s.earlierSwitch) SwitchToCatIcons(world.marked);
    // Empty text (a lone zero byte) reads as Unreadable.
    world.registry.setRaw(IconKeyPath, "", expandable(textOf(s.state)));
}

void act(World& world, const Scenario& s)
{
    if (s.action == Action::Switch)
        SwitchToCatIcons(world.marked);
    else
        RestoreWindowsIcons(world.marked);
}

// What the user must see and the key must hold, given the one call that failed:
// the actions' rules, written out here independently of their code.
struct Expected {
    std::vector<Message> messages;
    std::optional<IconScheme> written;
    std::optional<std::string> unwritten;  // the value a failed write leaves as it was
};

bool isOneOf(const std::string& function, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        if (function == name) return true;
    return false;
}

Expected expectedFor(const Scenario& s, const FaultPlan::Call* failed)
{
    const bool toCats = s.action == Action::Switch;
    const std::string infoTitle = toCats ? "Purrbox" : "原版回收站";
    const unsigned information = 64 | MbTaskModal;
    IconState state = s.state;
    if (failed && failed->operation == "read" && isOneOf(failed->function, {"RegOpenKey", "RegQueryValueEx"}))
        state = IconState::Unreadable;
    if (state == IconState::Unreadable)
        return {{{"可能是不兼容的系统，联系QQ：" PURRBOX_CONTACT_NUMBER "适配。", infoTitle, information}}, {}, {}};
    if (toCats && (state == IconState::CatEmpty || state == IconState::CatFull))
        return {{{"当前回收站已是Purrbox！", infoTitle, information}}, {}, {}};
    if (!toCats && (state == IconState::WindowsEmpty || state == IconState::WindowsFull))
        return {{{"当前回收站已是原版回收站！", infoTitle, information}}, {}, {}};

    Expected expected;
    expected.written = toCats ? IconScheme{state == IconState::WindowsFull ? CatFullIcon : CatEmptyIcon,
                                           CatEmptyIcon, CatFullIcon}
                              : IconScheme{state == IconState::CatFull ? WindowsFullIcon : WindowsEmptyIcon,
                                           WindowsEmptyIcon, WindowsFullIcon};
    for (const std::string_view name : {DefaultValueName, EmptyValueName, FullValueName}) {
        if (!failed || failed->operation != writeStep(name) || !isOneOf(failed->function, {"RegOpenKey", "RegSetValueEx"}))
            continue;
        expected.unwritten = std::string(name);
        expected.messages = {{toCats ? "替换失败！" : "还原失败！", toCats ? "Purrbox：" : "还原回收站：", 16 | MbTaskModal}};
    }
    return expected;
}

// The icon folder and its maker folder, under Application Data or, when that
// is unknown, under the current directory.
bool inIconFolder(const FakeFileSystem& disk, const std::string& key)
{
    for (const std::string& base : {*disk.appData, disk.currentDirectory}) {
        const std::string maker = base + "\\brenoka";
        const std::string icons = maker + "\\miaoIco";
        if (key == maker || key == icons || key.starts_with(icons + "\\")) return true;
    }
    return false;
}

struct Before {
    std::map<std::string, std::map<std::string, RawValue>> registry;
    std::map<std::string, FakeFileSystem::EntryState> disk;
};

// Everything a run must end with; one line per broken promise.
std::vector<std::string> judge(const World& world, const Scenario& s, const Before& before)
{
    std::vector<std::string> problems;
    const auto& calls = world.plan.calls();
    const FaultPlan::Call* failed = world.plan.failed();

    // Both buttons disabled as the first step and enabled as the last, on every path.
    const auto detailAt = [&](std::size_t i) {
        return i < calls.size() && calls[i].function == "EnableWindow" ? calls[i].detail : std::string("-");
    };
    using B = WindowFeedback;
    const std::size_t n = calls.size();
    if (n < 4 || detailAt(0) != B::detail(B::SwitchButton, false) || detailAt(1) != B::detail(B::RestoreButton, false))
        problems.push_back("the action does not start by disabling both buttons");
    if (n < 4 || detailAt(n - 2) != B::detail(B::SwitchButton, true) || detailAt(n - 1) != B::detail(B::RestoreButton, true))
        problems.push_back("the action does not end by enabling both buttons");
    for (const B::Button button : {B::SwitchButton, B::RestoreButton}) {
        const bool lost = failed && failed->function == "EnableWindow" && failed->detail == B::detail(button, true);
        if (world.window.enabled[button] == lost)
            problems.push_back(std::string(button == B::SwitchButton ? "switch" : "restore") + " button " +
                               (lost ? "enabled although its enable was lost" : "left disabled"));
    }

    // Exactly the messages the rules give; a failed MessageBoxA was asked for and not shown.
    const Expected expected = expectedFor(s, failed);
    if (world.window.requested != expected.messages)
        problems.push_back("messages " + describe(world.window.requested) + ", expected " + describe(expected.messages));
    std::vector<Message> shown = world.window.requested;
    if (failed && failed->function == "MessageBoxA" && !shown.empty()) shown.pop_back();
    if (world.window.shown != shown) problems.push_back("messages shown " + describe(world.window.shown));

    // The shell is told exactly when the key was written to.
    const auto notifications = std::count_if(calls.begin(), calls.end(),
                                             [](const FaultPlan::Call& c) { return c.function == "SHChangeNotify"; });
    if (notifications != (expected.written ? 1 : 0))
        problems.push_back(std::to_string(notifications) + " shell notifications");

    // Every handle closed exactly once, nothing deleted under an open search.
    if (world.registryCalls.unclosedKeys() != 0) problems.push_back("a registry key left open");
    if (world.registryCalls.strayCloses() != 0) problems.push_back("a registry key closed twice or never opened");
    if (world.fileCalls.unclosedHandles() != 0) problems.push_back("a search or file handle left open");
    if (world.fileCalls.strayCloses() != 0) problems.push_back("a search or file handle closed twice or never opened");
    if (world.fileCalls.deletionsDuringSearch() != 0) problems.push_back("a deletion under an open search");

    // The registry: only the key's three values change, to what the action writes.
    auto registry = world.registry.snapshot();
    auto registryBefore = before.registry;
    for (const std::string name : {"", "empty", "full"}) {
        std::optional<RawValue> wanted;
        if (const auto value = registryBefore[IconKeyPath].find(name); value != registryBefore[IconKeyPath].end())
            wanted = value->second;
        if (expected.written && expected.unwritten != name) {
            const IconScheme& scheme = *expected.written;
            wanted = expandable(name.empty() ? scheme.defaultIcon : name == "empty" ? scheme.emptyIcon : scheme.fullIcon);
        }
        const auto got = world.registry.getRaw(IconKeyPath, name);
        if (got != wanted) problems.push_back("the value \"" + name + "\" holds what the action must not leave there");
        registry[IconKeyPath].erase(name);
        registryBefore[IconKeyPath].erase(name);
    }
    if (registry != registryBefore) problems.push_back("the registry changed outside the key's three values");

    // The disk: nothing changes outside the icon folder.
    const auto disk = world.disk.snapshot();
    std::set<std::string> keys;
    for (const auto* entries : {&disk, &before.disk})
        for (const auto& [key, entry] : *entries) keys.insert(key);
    for (const std::string& key : keys) {
        const auto now = disk.find(key);
        const auto then = before.disk.find(key);
        const bool same = now != disk.end() && then != before.disk.end() && now->second == then->second;
        if (!same && !inIconFolder(world.disk, key)) problems.push_back("changed outside the icon folder: " + key);
    }
    return problems;
}

struct FaultReport {
    struct Row {
        int runs = 0;
        int failures = 0;
    };
    std::map<std::string, Row> byFunction;  // by the function made to fail
    int recordedRuns = 0;                   // one per scenario, nothing failing
    int runs = 0;                           // one per call of the recorded runs
    int failures = 0;                       // runs that broke a promise, recorded runs included
    std::vector<std::string> firstProblems;
};

std::vector<Scenario> everyScenario()
{
    std::vector<Scenario> scenarios;
    for (const Action action : {Action::Switch, Action::Restore})
        for (const IconState state : {IconState::Unreadable, IconState::WindowsEmpty, IconState::WindowsFull,
                                      IconState::CatEmpty, IconState::CatFull, IconState::Other})
            for (const bool earlierSwitch : {false, true}) scenarios.push_back({action, state, earlierSwitch});
    return scenarios;
}

// One run of the scenario with the failAt-th call failing (0: none); its problems.
std::vector<std::string> runOnce(const Scenario& s, std::size_t failAt, Plant plant,
                                 std::vector<FaultPlan::Call>* calls)
{
    auto world = std::make_unique<World>(plant);
    arrange(*world, s);
    const Before before{world->registry.snapshot(), world->disk.snapshot()};
    world->plan.start(failAt);
    act(*world, s);
    std::vector<std::string> problems = judge(*world, s, before);
    if (failAt != 0 && !world->plan.failed()) problems.push_back("the call to fail was never made");
    *calls = world->plan.calls();
    return problems;
}

FaultReport failEveryCall(Plant plant)
{
    FaultReport report;
    const auto note = [&](const std::string& run, const std::vector<std::string>& problems) {
        if (problems.empty()) return false;
        ++report.failures;
        for (const std::string& problem : problems)
            if (report.firstProblems.size() < 12) report.firstProblems.push_back(run + ": " + problem);
        return true;
    };
    for (const Scenario& s : everyScenario()) {
        std::vector<FaultPlan::Call> recorded;
        ++report.recordedRuns;
        note(describe(s) + ", nothing failing", runOnce(s, 0, plant, &recorded));
        for (std::size_t n = 1; n <= recorded.size(); ++n) {
            const std::string function = recorded[n - 1].function;
            std::vector<FaultPlan::Call> calls;
            std::vector<std::string> problems = runOnce(s, n, plant, &calls);
            if (calls.size() < n || calls[n - 1].function != function)
                problems.push_back("the calls before the failing one differ from the recorded run");
            FaultReport::Row& row = report.byFunction[function];
            ++row.runs;
            ++report.runs;
            const std::string run = describe(s) + ", call " + std::to_string(n) + " (" + function + " in " +
                                    recorded[n - 1].operation + ") failing";
            if (note(run, problems)) ++row.failures;
        }
    }
    return report;
}

void print(const FaultReport& report)
{
    std::ostringstream out;
    out << "[ FAULTS   ] one platform call failing per run: both actions, 6 starting states,\n"
        << "[ FAULTS   ] with and without a switch earlier in the run\n"
        << "[ FAULTS   ] " << std::left << std::setw(24) << "platform call" << std::right << std::setw(14)
        << "calls covered" << std::setw(16) << "failures found" << "\n";
    for (const auto& [function, row] : report.byFunction)
        out << "[ FAULTS   ] " << std::left << std::setw(24) << function << std::right << std::setw(14) << row.runs
            << std::setw(16) << row.failures << "\n";
    out << "[ FAULTS   ] " << std::left << std::setw(24) << "all" << std::right << std::setw(14) << report.runs
        << std::setw(16) << report.failures << "\n"
        << "[ FAULTS   ] " << report.byFunction.size() << " platform functions; calls covered " << report.runs
        << " (every call of " << report.recordedRuns << " recorded runs); runs " << report.runs + report.recordedRuns
        << " (one per call failing, plus the recorded runs); failures found " << report.failures << "\n";
    std::cout << out.str();
}

TEST(ActionFaultInjection, EveryCallFailingInTurnLeavesButtonsMessagesHandlesAndDiskAsPromised)
{
    const FaultReport report = failEveryCall(Plant::None);
    print(report);

    for (const std::string& problem : report.firstProblems) ADD_FAILURE() << problem;
    EXPECT_EQ(report.failures, 0);
    std::vector<std::string> covered;
    for (const auto& [function, row] : report.byFunction) covered.push_back(function);
    EXPECT_EQ(covered, (std::vector<std::string>{
                           "CloseHandle", "CreateDirectory", "CreateFile", "DeleteFile", "EnableWindow",
                           "FindClose", "FindFirstFile", "FindNextFile", "MessageBoxA", "RegCloseKey", "RegOpenKey",
                           "RegQueryValueEx", "RegSetValueEx", "RemoveDirectory", "SHChangeNotify",
                           "SHGetSpecialFolderPath", "WriteFile"}))
        << "every platform call of either action has been made to fail";
}

// The table above means something only if it can show a fault: each planted
// one must be found.
TEST(ActionFaultInjection, FindsEachPlantedFault)
{
    const std::pair<Plant, const char*> plants[] = {
        {Plant::EnableSkippedAfterFailedWrite, "setBusy(false) skipped after a failed registry write"},
        {Plant::FileLeftOpenAfterFailedWrite, "the icon file left open after a failed WriteFile"},
    };
    for (const auto& [plant, what] : plants) {
        SCOPED_TRACE(what);
        const FaultReport report = failEveryCall(plant);
        std::cout << "[ FAULTS   ] planted, " << what << ": " << report.failures << " of " << report.runs
                  << " runs found it" << (report.firstProblems.empty() ? "" : ", e.g. " + report.firstProblems.front())
                  << "\n";
        EXPECT_GT(report.failures, 0);
    }
}

}  // namespace
}  // namespace purrbox::testing
