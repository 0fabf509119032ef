// Names the program shares with the rest of the system, defined once for the program, the
// simulated notebook's runner, the tests and the Windows tools: the single-instance mutex and
// the group-policy key and value that can forbid connection sharing.
#pragma once

namespace tethra::app {

inline constexpr char16_t kInstanceMutexName[] = u"GlobalVelmarHostedNetworkSoftAP";
// Under HKEY_LOCAL_MACHINE, native registry view.
inline constexpr char16_t kSharingPolicyKeyPath[] = u"SOFTWARE\\Policies\\Microsoft\\Windows\\Network Connections";
inline constexpr char16_t kSharingPolicyValueName[] = u"NC_ShowSharedAccessUI";

}  // namespace tethra::app
