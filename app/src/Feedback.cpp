// The notification log's line format and the name and key length rules.
#include "tethra/app/Feedback.h"

#include <cstdio>

namespace tethra::app {

namespace {
constexpr std::size_t kLineBufferChars = 1024;  // with its terminating zero
}  // namespace

std::u16string FormatNotificationLine(const platform::SystemTime& t, std::u16string_view text) {
  char stamp[64];
  const int length = std::snprintf(stamp, sizeof stamp, "[%02d/%02d/%04d:%02d:%2d:%02d] ", t.wMonth, t.wDay, t.wYear,
                                   t.wHour, t.wMinute, t.wSecond);
  if (length <= 0 || static_cast<std::size_t>(length) + text.size() >= kLineBufferChars) return std::u16string(text);
  std::u16string line(stamp, stamp + length);
  line += text;
  return line;
}

NameKeyVerdict CheckNameKeyLengths(std::size_t nameLength, std::size_t keyLength) {
  const bool nameOk = nameLength >= 1 && nameLength <= 32;
  const bool keyOk = keyLength >= 8 && keyLength <= 63;
  if (nameOk && keyOk) return NameKeyVerdict::Admissible;
  if (!nameOk && !keyOk) return NameKeyVerdict::BothWrong;
  return nameOk ? NameKeyVerdict::KeyWrong : NameKeyVerdict::NameWrong;
}

}  // namespace tethra::app
