// UTF-16 to the active ANSI code page for the WLAN interface. Single-byte code pages answer
// every question WideCharToMultiByte asks; UTF-8 refuses the no-best-fit flag (1004) and the
// used-default question (87). On such a refusal the conversion runs again without them, and a
// used-default question is answered by converting the bytes back and comparing with the
// input: text that does not survive the round trip counts as using the default character.
// Any thread may call. Results as WideCharToMultiByte: 0 on failure, reason in getLastError().
#pragma once

#include "tethra/platform/CodePage.h"
#include "tethra/platform/Kernel.h"

namespace tethra::wlan {

inline constexpr platform::Win32Error kERROR_INVALID_FLAGS{1004};

int WideToAnsi(platform::ICodePage& codePage, platform::IKernel& kernel, platform::Dword flags,
               const char16_t* wide, int cchWide, char* out, int cbOut, platform::Bool32* usedDefault) noexcept;

}  // namespace tethra::wlan
