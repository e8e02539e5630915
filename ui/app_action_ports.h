// Connects the two actions to the program's real parts: the Recycle Bin icon
// key, the icon folder, and the window for busy state and message boxes.
// Portable, so that the same wiring is tested natively and under Windows.
#pragma once

#include "core/icon_actions.h"
#include "system/icon_file_set.h"
#include "system/recycle_bin_icon_key.h"

namespace purrbox {

// What the actions need from the window.
class UserFeedback {
public:
    virtual ~UserFeedback() = default;
    virtual void setBusy(bool busy) = 0;
    virtual void showMessage(std::string_view text, std::string_view title, MessageIcon icon) = 0;
};

class AppActionPorts final : public ActionPorts {
public:
    AppActionPorts(RecycleBinIconKey& key, IconFileSet& files, UserFeedback& feedback)
        : key_(key), files_(files), feedback_(feedback)
    {
    }

    void setBusy(bool busy) override { feedback_.setBusy(busy); }
    void installIconFiles() override { files_.installIconFiles(); }
    void deleteIconFolder() override { files_.deleteIconFolder(); }
    std::string readIconValue(std::string_view valueName) override { return key_.readIconValue(valueName); }
    bool writeIconValue(std::string_view valueName, std::string_view text) override
    {
        return key_.writeIconValue(valueName, text);
    }
    void notifyIconsChanged() override { key_.notifyIconsChanged(); }
    void showMessage(std::string_view text, std::string_view title, MessageIcon icon) override
    {
        feedback_.showMessage(text, title, icon);
    }

private:
    RecycleBinIconKey& key_;
    IconFileSet& files_;
    UserFeedback& feedback_;
};

}  // namespace purrbox
