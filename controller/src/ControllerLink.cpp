// WM_COPYDATA to the controller's window. The text's bytes are lent for the send only.
#include "tethra/controller/ControllerLink.h"

namespace tethra::controller {

bool SendCopyData(platform::IWindowSystem& windows, platform::Hwnd to, platform::Hwnd from, std::uintptr_t kind,
                  const std::u16string& text, std::uint32_t timeoutMs) {
  platform::CopyDataStruct data{kind, static_cast<platform::Dword>(text.size() * sizeof(char16_t)),
                                const_cast<char16_t*>(text.data())};
  platform::LResult answer = 0;
  return windows.sendMessageTimeout(to, platform::kWM_COPYDATA, reinterpret_cast<platform::WParam>(from),
                                    reinterpret_cast<platform::LParam>(&data), platform::kSMTO_ABORTIFHUNG,
                                    timeoutMs, &answer);
}

}  // namespace tethra::controller
