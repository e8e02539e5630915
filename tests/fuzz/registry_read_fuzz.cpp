// Arbitrary registry values, read through the icon key on the registry double:
// any type, any size, any bytes, and a value that grows, shrinks, changes or
// vanishes between the size query and the data query. Then one action over the
// value as it stands, to check that its class decides what is written and said.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/icon_actions.h"
#include "core/icon_state.h"
#include "core/texts.h"
#include "system/recycle_bin_icon_key.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/fake_registry.h"
#include "tests/support/recording_registry_api.h"
#include "tests/support/registry_backend.h"

namespace purrbox::fuzzing {
namespace {

using testing::expandable;
using testing::FakeRegistry;
using testing::IconKeyPath;
using testing::RawValue;
using testing::RecordingRegistryApi;

enum class Change { Nothing, Replace, Vanish, DeleteKey, kMaxValue = DeleteKey };

constexpr std::array<std::string_view, 3> ValueNames = {DefaultValueName, EmptyValueName, FullValueName};

RawValue consumeValue(FuzzedDataProvider& input)
{
    RawValue value;
    value.type = input.PickValueInArray({RegNone, RegString, RegExpandString, RegBinary, RegDword, RegMultiString,
                                         input.ConsumeIntegral<std::uint32_t>()});
    value.bytes = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 300));
    return value;
}

std::string upToFirstZero(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), std::uint8_t{0}));
}

// What the read must give: the data query succeeds only with a buffer at
// least as large as the value is by then, and a value of no bytes at the size
// query leaves no buffer and so no text.
std::string expectedText(bool keyThen, const std::optional<RawValue>& atSizeQuery,
                         const std::optional<RawValue>& atDataQuery)
{
    if (!keyThen || !atSizeQuery || !atDataQuery) return {};
    if (atSizeQuery->bytes.empty() || atDataQuery->bytes.size() > atSizeQuery->bytes.size()) return {};
    return upToFirstZero(atDataQuery->bytes);
}

IconState expectedState(const std::string& text)
{
    if (text.empty()) return IconState::Unreadable;
    const std::pair<IconLocation, IconState> known[] = {{WindowsEmptyIcon, IconState::WindowsEmpty},
                                                         {WindowsFullIcon, IconState::WindowsFull},
                                                         {CatEmptyIcon, IconState::CatEmpty},
                                                         {CatFullIcon, IconState::CatFull}};
    for (const auto& [location, state] : known)
        if (text == location) return state;
    return IconState::Other;
}

void checkRead(FakeRegistry& registry, FuzzedDataProvider& input)
{
    const bool keyExists = input.ConsumeBool();
    const std::string name(input.PickValueInArray(ValueNames));
    if (keyExists) registry.createKey(IconKeyPath);
    if (keyExists && input.ConsumeBool()) registry.setRaw(IconKeyPath, name, consumeValue(input));
    const std::optional<RawValue> atSizeQuery = registry.getRaw(IconKeyPath, name);

    const auto change = input.ConsumeEnum<Change>();
    const RawValue later = consumeValue(input);
    RecordingRegistryApi recorder(registry);
    recorder.afterFirstQuery = [&] {
        switch (change) {
        case Change::Nothing: break;
        case Change::Replace: registry.setRaw(IconKeyPath, name, later); break;
        case Change::Vanish:
            // The double deletes values only with their key: a key made anew holds none.
            registry.deleteKey(IconKeyPath);
            registry.createKey(IconKeyPath);
            break;
        case Change::DeleteKey: registry.deleteKey(IconKeyPath); break;
        }
    };
    const bool changes = keyExists && change != Change::Nothing;
    const std::string text = RecycleBinIconKey(recorder).readIconValue(name);
    const std::optional<RawValue> atDataQuery = registry.getRaw(IconKeyPath, name);

    require(text == expectedText(keyExists, atSizeQuery, changes ? atDataQuery : atSizeQuery),
            "the text is the value's bytes up to the first zero byte, or empty on failure");
    require(text.find('\0') == std::string::npos, "the text holds no zero byte");
    require(recorder.unclosedKeys() == 0 && recorder.strayCloses() == 0, "every opened key is closed exactly once");
    require(recorder.openedKeys() == (keyExists ? 1 : 0), "one open per read, none of a missing key");
    require(std::none_of(recorder.calls().begin(), recorder.calls().end(),
                         [](const auto& call) { return call.function == "RegSetValueEx"; }),
            "a read writes nothing");
    require(classifyIconState(text) == expectedState(text), "the class is the whole text's");
}

// Records what an action says and keeps the icon folder out of the run.
class RegistryOnlyPorts final : public ActionPorts {
public:
    explicit RegistryOnlyPorts(RegistryApi& api) : key_(api) {}
    void setBusy(bool busy) override { busy_ = busy; }
    void installIconFiles() override {}
    void deleteIconFolder() override {}
    std::string readIconValue(std::string_view valueName) override { return key_.readIconValue(valueName); }
    bool writeIconValue(std::string_view valueName, std::string_view text) override
    {
        return key_.writeIconValue(valueName, text);
    }
    void notifyIconsChanged() override {}
    void showMessage(std::string_view text, std::string_view, MessageIcon) override { messages.emplace_back(text); }

    std::vector<std::string> messages;
    bool busy() const { return busy_; }

private:
    RecycleBinIconKey key_;
    bool busy_ = false;
};


void checkAction(FakeRegistry& registry, FuzzedDataProvider& input)
{
    const bool toCats = input.ConsumeBool();
    const bool keyExists = registry.keyExists(IconKeyPath);
    const bool refusesWrites = keyExists && input.ConsumeBool();
    if (refusesWrites) registry.setReadOnly(IconKeyPath, true);
    std::array<std::optional<RawValue>, 3> before;
    for (std::size_t i = 0; i < ValueNames.size(); ++i)
        before[i] = registry.getRaw(IconKeyPath, std::string(ValueNames[i]));
    const std::string shown = before[0] && !before[0]->bytes.empty() ? upToFirstZero(before[0]->bytes) : "";
    const IconState state = expectedState(shown);

    RecordingRegistryApi recorder(registry);
    RegistryOnlyPorts ports(recorder);
    toCats ? SwitchToCatIcons(ports) : RestoreWindowsIcons(ports);

    require(!ports.busy() && recorder.unclosedKeys() == 0 && recorder.strayCloses() == 0,
            "the action ends ready with every key closed once");
    require(registry.keyExists(IconKeyPath) == keyExists, "the key is never created or deleted");
    const bool already = toCats ? (state == IconState::CatEmpty || state == IconState::CatFull)
                                : (state == IconState::WindowsEmpty || state == IconState::WindowsFull);
    if (state == IconState::Unreadable || already) {
        const std::string_view said = state == IconState::Unreadable ? texts::IncompatibleSystemMessage
                                      : toCats                        ? texts::AlreadyCatMessage
                                                                      : texts::AlreadyWindowsMessage;
        require(ports.messages == std::vector<std::string>{std::string(said)}, "one information box says why");
        for (std::size_t i = 0; i < ValueNames.size(); ++i)
            require(registry.getRaw(IconKeyPath, std::string(ValueNames[i])) == before[i],
                    "an action that stops changes no value");
        return;
    }
    const IconScheme scheme = toCats ? catSchemeFor(state) : windowsSchemeFor(state);
    const bool keepsFull = toCats ? state == IconState::WindowsFull : state == IconState::CatFull;
    require(scheme.defaultIcon == (toCats ? (keepsFull ? CatFullIcon : CatEmptyIcon)
                                          : (keepsFull ? WindowsFullIcon : WindowsEmptyIcon)),
            "the shown icon keeps the bin's fill only from the other scheme's full icon");
    if (refusesWrites) {
        const std::string failed(toCats ? texts::SwitchFailedMessage : texts::RestoreFailedMessage);
        require(ports.messages == std::vector<std::string>(3, failed), "each failed write has its own error box");
        for (std::size_t i = 0; i < ValueNames.size(); ++i)
            require(registry.getRaw(IconKeyPath, std::string(ValueNames[i])) == before[i],
                    "a refused write changes no value");
        return;
    }
    require(ports.messages.empty(), "an action that writes says nothing");
    const IconLocation written[] = {scheme.defaultIcon, scheme.emptyIcon, scheme.fullIcon};
    for (std::size_t i = 0; i < ValueNames.size(); ++i)
        require(registry.getRaw(IconKeyPath, std::string(ValueNames[i])) == expandable(written[i]),
                "each value holds its scheme location as REG_EXPAND_SZ");
}

}  // namespace
}  // namespace purrbox::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    purrbox::testing::FakeRegistry registry;
    purrbox::fuzzing::checkRead(registry, input);
    purrbox::fuzzing::checkAction(registry, input);
    return 0;
}
