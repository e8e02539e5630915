#include "core/icon_actions.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/icon_state.h"
#include "core/texts.h"

namespace purrbox {
namespace {

// Records every call an action makes, as one line each, in order.
class RecordingPorts final : public ActionPorts {
public:
    std::string defaultValue;          // what the read of the default value returns
    std::set<std::string> failWrites;  // value names whose write fails
    std::vector<std::string> calls;

    void setBusy(bool busy) override { calls.push_back(busy ? "busy" : "ready"); }
    void installIconFiles() override { calls.push_back("installIconFiles"); }
    void deleteIconFolder() override { calls.push_back("deleteIconFolder"); }
    std::string readIconValue(std::string_view name) override
    {
        calls.push_back("read [" + std::string(name) + "]");
        return defaultValue;
    }
    bool writeIconValue(std::string_view name, std::string_view text) override
    {
        calls.push_back("write [" + std::string(name) + "] " + std::string(text));
        return failWrites.count(std::string(name)) == 0;
    }
    void notifyIconsChanged() override { calls.push_back("notify"); }
    void showMessage(std::string_view text, std::string_view title, MessageIcon icon) override
    {
        calls.push_back("message " + std::string(text) + " | " + std::string(title) + " | " +
                        std::to_string(static_cast<unsigned>(icon)));
    }
};

using Calls = std::vector<std::string>;

std::string write(std::string_view name, IconLocation location)
{
    return "write [" + std::string(name) + "] " + std::string(location);
}

std::string message(std::string_view text, std::string_view title, unsigned icon)
{
    return "message " + std::string(text) + " | " + std::string(title) + " | " + std::to_string(icon);
}

const std::string Incompatible = "可能是不兼容的系统，联系QQ：" PURRBOX_CONTACT_NUMBER "适配。";

Calls switchWrites(IconLocation shown)
{
    return {write("", shown), write("empty", CatEmptyIcon), write("full", CatFullIcon), "notify"};
}

Calls restoreWrites(IconLocation shown)
{
    return {write("", shown), write("empty", WindowsEmptyIcon), write("full", WindowsFullIcon), "notify"};
}

Calls bracket(const std::string& fileStep, Calls middle)
{
    Calls calls{"busy", fileStep, "read []"};
    calls.insert(calls.end(), middle.begin(), middle.end());
    calls.push_back("ready");
    return calls;
}

struct DecisionCase {
    const char* name;
    std::string defaultValue;
    Calls switchMiddle;
    Calls restoreMiddle;
};
// GoogleTest names a failing case by its parameter: the case's name, not its raw bytes.
void PrintTo(const DecisionCase& c, std::ostream* out) { *out << c.name; }

class ActionDecisionTable : public ::testing::TestWithParam<DecisionCase> {};

TEST_P(ActionDecisionTable, SwitchMakesExactlyTheseCalls)
{
    RecordingPorts ports;
    ports.defaultValue = GetParam().defaultValue;
    SwitchToCatIcons(ports);
    EXPECT_EQ(ports.calls, bracket("installIconFiles", GetParam().switchMiddle));
}

TEST_P(ActionDecisionTable, RestoreMakesExactlyTheseCalls)
{
    RecordingPorts ports;
    ports.defaultValue = GetParam().defaultValue;
    RestoreWindowsIcons(ports);
    EXPECT_EQ(ports.calls, bracket("deleteIconFolder", GetParam().restoreMiddle));
}

INSTANTIATE_TEST_SUITE_P(
    EveryState, ActionDecisionTable,
    ::testing::Values(
        DecisionCase{"Unreadable", "", {message(Incompatible, "Purrbox", 64)},
                     {message(Incompatible, "原版回收站", 64)}},
        DecisionCase{"WindowsEmpty", std::string(WindowsEmptyIcon), switchWrites(CatEmptyIcon),
                     {message("当前回收站已是原版回收站！", "原版回收站", 64)}},
        DecisionCase{"WindowsFull", std::string(WindowsFullIcon), switchWrites(CatFullIcon),
                     {message("当前回收站已是原版回收站！", "原版回收站", 64)}},
        DecisionCase{"CatEmpty", std::string(CatEmptyIcon), {message("当前回收站已是Purrbox！", "Purrbox", 64)},
                     restoreWrites(WindowsEmptyIcon)},
        DecisionCase{"CatFull", std::string(CatFullIcon), {message("当前回收站已是Purrbox！", "Purrbox", 64)},
                     restoreWrites(WindowsFullIcon)},
        DecisionCase{"Other", "%SystemRoot%\\system32\\imageres.dll,-54", switchWrites(CatEmptyIcon),
                     restoreWrites(WindowsEmptyIcon)}),
    [](const auto& test) { return std::string(test.param.name); });

// Each failed write gets its own error box right after it; the next write,
// the notification and the enabling of the buttons still follow.
struct FailureCase {
    const char* name;
    std::set<std::string> failing;
};
void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class ActionWriteFailures : public ::testing::TestWithParam<FailureCase> {};

Calls withErrors(Calls writes, const std::set<std::string>& failing, const std::string& error)
{
    Calls result;
    for (const std::string& call : writes) {
        result.push_back(call);
        for (const std::string& name : failing)
            if (call.rfind("write [" + name + "]", 0) == 0) result.push_back(error);
    }
    return result;
}

TEST_P(ActionWriteFailures, SwitchReportsEachFailedWriteAndGoesOn)
{
    RecordingPorts ports;
    ports.defaultValue = std::string(WindowsFullIcon);
    ports.failWrites = GetParam().failing;
    SwitchToCatIcons(ports);
    EXPECT_EQ(ports.calls, bracket("installIconFiles", withErrors(switchWrites(CatFullIcon), GetParam().failing,
                                                                  message("替换失败！", "Purrbox：", 16))));
}

TEST_P(ActionWriteFailures, RestoreReportsEachFailedWriteAndGoesOn)
{
    RecordingPorts ports;
    ports.defaultValue = std::string(CatFullIcon);
    ports.failWrites = GetParam().failing;
    RestoreWindowsIcons(ports);
    EXPECT_EQ(ports.calls,
              bracket("deleteIconFolder", withErrors(restoreWrites(WindowsFullIcon), GetParam().failing,
                                                     message("还原失败！", "还原回收站：", 16))));
}

INSTANTIATE_TEST_SUITE_P(Writes, ActionWriteFailures,
                         ::testing::Values(FailureCase{"DefaultValue", {""}}, FailureCase{"Empty", {"empty"}},
                                           FailureCase{"Full", {"full"}},
                                           FailureCase{"AllThree", {"", "empty", "full"}}),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace purrbox
