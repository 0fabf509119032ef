// Security: membership of the caller's effective token in a well-known group (the built-in
// Administrators). Owner: a SID from allocateAndInitializeSid is released with freeSid. Any
// thread may call; failures are false with the reason in IKernel::getLastError().
#pragma once

#include "tethra/platform/Types.h"

namespace tethra::platform {

struct SidTag;
using Psid = SidTag*;

struct SidIdentifierAuthority {
  std::uint8_t Value[6];
};

constexpr Dword kSECURITY_BUILTIN_DOMAIN_RID = 32;
constexpr Dword kDOMAIN_ALIAS_RID_ADMINS = 544;

class ISecurity {
 public:
  virtual ~ISecurity() = default;
  virtual bool allocateAndInitializeSid(const SidIdentifierAuthority& authority, std::uint8_t subAuthorityCount,
                                        Dword sub0, Dword sub1, Dword sub2, Dword sub3, Dword sub4, Dword sub5,
                                        Dword sub6, Dword sub7, Psid* sid) = 0;
  // token null: the calling thread's effective token.
  virtual bool checkTokenMembership(Handle token, Psid sid, Bool32* isMember) = 0;
  virtual void freeSid(Psid sid) = 0;
};

}  // namespace tethra::platform
