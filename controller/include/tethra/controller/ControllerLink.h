// The messages the program sends to its controller's window: status codes and the
// name-and-key notice, each a WM_COPYDATA carrying UTF-16 text without its terminating NUL.
// Any thread may call; the send waits until the controller's window procedure has handled the
// message, at most kControllerSendTimeoutMs, and not at all for a window whose thread is hung:
// any process of the session can own a window of that title, and none may hang the program.
// False when the message was not handled (gone, hung, or too slow); the caller traces it.
#pragma once

#include <cstdint>
#include <string>

#include "tethra/platform/Window.h"

namespace tethra::controller {

// The controller's window, found by title.
inline constexpr char16_t kControllerWindowTitle[] = u"NetworkSetting LogicUIWnd";

// "Pelto" is the controller application's own name; the names that carry it (these two
// message kinds, SendMsg2Pelto, m_hPeltoLogicUIWnd and its "LogicUIWnd") mean "the controller"
// and "its window", and keep the names the controller knows them by.
// dwData of the two kinds of message.
inline constexpr std::uintptr_t PELTO_MSG_CODE = 1136;
inline constexpr std::uintptr_t PELTO_MSG_SECURITY_KEY = 1137;

inline constexpr std::uint32_t kControllerSendTimeoutMs = 5000;
// A suspend's code: Windows gives a PBT_APMSUSPEND handler about two seconds before it may
// interrupt the program, so the send gives up well within them.
inline constexpr std::uint32_t kSuspendSendTimeoutMs = 1500;

bool SendCopyData(platform::IWindowSystem& windows, platform::Hwnd to, platform::Hwnd from, std::uintptr_t kind,
                  const std::u16string& text, std::uint32_t timeoutMs = kControllerSendTimeoutMs);

}  // namespace tethra::controller
