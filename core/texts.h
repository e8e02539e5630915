// Every text the user sees, in UTF-8, byte for byte. The Windows layer turns
// them into the process code page when that is not UTF-8.
#pragma once

#include <string_view>

#include "build_settings.h"

namespace purrbox::texts {

// The window and its controls.
inline constexpr std::string_view WindowTitle = "一键Purrbox - brenoka";
inline constexpr std::string_view SwitchButtonCaption = "修改为Purrbox";
inline constexpr std::string_view RestoreButtonCaption = "还原回收站";
inline constexpr std::string_view HelpTextFace = "微软雅黑";
inline constexpr std::string_view DefaultMessageTitle = "信息：";

// 21 lines joined by CR LF, none after the last. The second list has no step 4.
inline constexpr std::string_view HelpText =
    "完全免费，交流群：" PURRBOX_GROUP_NUMBER "。\r\n"
    "\r\n"
    "使用说明：\r\n"
    "回收站是原版图标：\r\n"
    "1、点击“修改为Purrbox”即可。\r\n"
    "\r\n"
    "回收站不是原版图标：\r\n"
    "1、回到桌面，右键回收站；\r\n"
    "2、点击“清空回收站”；\r\n"
    "3、回到本软件；\r\n"
    "5、点击“还原回收站”；\r\n"
    "6、点击“修改为Purrbox”即可。\r\n"
    "\r\n"
    "常见问题：\r\n"
    "问题1：软件失效？\r\n"
    "回答1：该软件仅在WIN10系统测试过，其他系统可联系我进行适配。\r\n"
    "\r\n"
    "问题2：回收站没有文件，右键却能“清空回收站”？\r\n"
    "回答2：可能是没有按照步骤来，不要点击“清空回收站”（我没试过，不知道后果）。可在群内联系群主，远程连接解决。\r\n"
    "\r\n"
    "正常操作不会出现若出现问题请勿乱点，首先加群咨询，出现问题概不负责。";

// Both actions.
inline constexpr std::string_view IncompatibleSystemMessage =
    "可能是不兼容的系统，联系QQ：" PURRBOX_CONTACT_NUMBER "适配。";

// The switch to cat icons.
inline constexpr std::string_view SwitchTitle = "Purrbox";
inline constexpr std::string_view AlreadyCatMessage = "当前回收站已是Purrbox！";
inline constexpr std::string_view SwitchFailedTitle = "Purrbox：";
inline constexpr std::string_view SwitchFailedMessage = "替换失败！";

// The restore of the Windows icons.
inline constexpr std::string_view RestoreTitle = "原版回收站";
inline constexpr std::string_view AlreadyWindowsMessage = "当前回收站已是原版回收站！";
inline constexpr std::string_view RestoreFailedTitle = "还原回收站：";
inline constexpr std::string_view RestoreFailedMessage = "还原失败！";

}  // namespace purrbox::texts
