// Pure parts of the dialog's feedback: the notification log's line format and the length
// rules of the network name and key. No platform, any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tethra/platform/Types.h"

namespace tethra::app {

// "[MM/DD/YYYY:HH:mm:SS] text" with the minute padded by a space, not a zero; the text alone
// when the stamped line would not fit the log's 1024-character line buffer.
std::u16string FormatNotificationLine(const platform::SystemTime& localTime, std::u16string_view text);

enum class NameKeyVerdict { Admissible, NameWrong, KeyWrong, BothWrong };

// Name: 1 to 32 characters; key: 8 to 63 characters (UTF-16 units, not bytes).
NameKeyVerdict CheckNameKeyLengths(std::size_t nameLength, std::size_t keyLength);

}  // namespace tethra::app
