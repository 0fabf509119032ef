// CWlanStation: one joined peer in the manager's station list (made on the WLAN thread).
// CWlanDevice: the payload of a join or leave record, with its display name "00-1A-2B-..."
// (read on the dialog's thread). Both are reference-counted; release them, never delete.
#pragma once

#include <cstdint>

#include "tethra/base/RefObject.h"

namespace tethra::wlan {

using MacAddress = std::uint8_t[6];

class CWlanStation final : public base::CRefObject {
 public:
  explicit CWlanStation(const MacAddress& mac) noexcept;
  void GetMacAddress(MacAddress& out) const noexcept;
  bool Matches(const MacAddress& mac) const noexcept;

 private:
  ~CWlanStation() override = default;
  std::uint8_t m_MacAddress[6];
};

class CWlanDevice final : public base::CRefObject {
 public:
  static constexpr int kDisplayNameLength = 18;  // "XX-XX-XX-XX-XX-XX" and the zero

  explicit CWlanDevice(const MacAddress& mac) noexcept;
  void GetMacAddress(MacAddress& out) const noexcept;
  // Zero-terminated, valid while the caller holds a reference.
  const char16_t* GetDisplayName() const noexcept { return m_strDisplayName; }

 private:
  ~CWlanDevice() override = default;
  std::uint8_t m_MacAddress[6];
  // Kept inline: a device is one allocation on the WLAN thread.
  char16_t m_strDisplayName[kDisplayNameLength];
};

}  // namespace tethra::wlan
