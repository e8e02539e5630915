#include "core/icon_actions.h"

#include "core/icon_state.h"
#include "core/texts.h"

#include <utility>

namespace purrbox {
namespace {

// What tells the two actions apart; the steps themselves are shared.
struct ActionRecipe {
    void (ActionPorts::*fileStep)();
    IconScheme (*schemeFor)(IconState);
    IconState alreadyEmpty;  // states in which the target scheme is already in force
    IconState alreadyFull;
    std::string_view infoTitle;
    std::string_view alreadyMessage;
    std::string_view failedTitle;
    std::string_view failedMessage;
};

constexpr ActionRecipe Switch{
    &ActionPorts::installIconFiles, catSchemeFor, IconState::CatEmpty, IconState::CatFull,
    texts::SwitchTitle, texts::AlreadyCatMessage, texts::SwitchFailedTitle, texts::SwitchFailedMessage};

constexpr ActionRecipe Restore{
    &ActionPorts::deleteIconFolder, windowsSchemeFor, IconState::WindowsEmpty, IconState::WindowsFull,
    texts::RestoreTitle, texts::AlreadyWindowsMessage, texts::RestoreFailedTitle, texts::RestoreFailedMessage};

// Both buttons stay disabled from the first step to the last, on every path.
class BusyBracket {
public:
    explicit BusyBracket(ActionPorts& ports) : ports_(ports) { ports_.setBusy(true); }
    ~BusyBracket() { ports_.setBusy(false); }
    BusyBracket(const BusyBracket&) = delete;
    BusyBracket& operator=(const BusyBracket&) = delete;

private:
    ActionPorts& ports_;
};

void writeScheme(ActionPorts& ports, const ActionRecipe& recipe, const IconScheme& scheme)
{
    const std::pair<std::string_view, IconLocation> writes[] = {
        {DefaultValueName, scheme.defaultIcon},
        {EmptyValueName, scheme.emptyIcon},
        {FullValueName, scheme.fullIcon},
    };
    // A failed write is reported and the next one still runs; nothing is undone.
    for (const auto& [valueName, location] : writes) {
        if (!ports.writeIconValue(valueName, location))
            ports.showMessage(recipe.failedMessage, recipe.failedTitle, MessageIcon::Error);
    }
    ports.notifyIconsChanged();
}

void runAction(ActionPorts& ports, const ActionRecipe& recipe)
{
    BusyBracket busy(ports);
    // The file step's outcome never changes what follows.
    (ports.*recipe.fileStep)();

    const IconState state = classifyIconState(ports.readIconValue(DefaultValueName));
    if (state == IconState::Unreadable) {
        ports.showMessage(texts::IncompatibleSystemMessage, recipe.infoTitle, MessageIcon::Information);
        return;
    }
    if (state == recipe.alreadyEmpty || state == recipe.alreadyFull) {
        ports.showMessage(recipe.alreadyMessage, recipe.infoTitle, MessageIcon::Information);
        return;
    }
    writeScheme(ports, recipe, recipe.schemeFor(state));
}

}  // namespace

void SwitchToCatIcons(ActionPorts& ports) { runAction(ports, Switch); }

void RestoreWindowsIcons(ActionPorts& ports) { runAction(ports, Restore); }

}  // namespace purrbox
