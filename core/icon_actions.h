// The two actions behind the window's buttons. They decide everything the user
// is told; the operations they call report only plain results.
#pragma once

#include <string>
#include <string_view>

namespace purrbox {

enum class MessageIcon : unsigned { Information = 64, Error = 16 };

// Names of the three values of the Recycle Bin icon key.
inline constexpr std::string_view DefaultValueName = "";
inline constexpr std::string_view EmptyValueName = "empty";
inline constexpr std::string_view FullValueName = "full";

// Everything an action needs from the rest of the program.
class ActionPorts {
public:
    virtual ~ActionPorts() = default;
    virtual void setBusy(bool busy) = 0;
    virtual void installIconFiles() = 0;
    virtual void deleteIconFolder() = 0;
    virtual std::string readIconValue(std::string_view valueName) = 0;
    virtual bool writeIconValue(std::string_view valueName, std::string_view text) = 0;
    virtual void notifyIconsChanged() = 0;
    virtual void showMessage(std::string_view text, std::string_view title, MessageIcon icon) = 0;
};

// "修改为Purrbox": installs the icon files and points the key at the cats.
void SwitchToCatIcons(ActionPorts& ports);

// "还原回收站": deletes this run's icon folder and points the key back at Windows.
void RestoreWindowsIcons(ActionPorts& ports);

}  // namespace purrbox
