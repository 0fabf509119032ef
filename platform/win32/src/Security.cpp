// ISecurity on the Win32 security functions, call for call. The SID from
// allocateAndInitializeSid is the caller's until freeSid. Any thread may call; failures are
// false with GetLastError() set.
#include "tethra/win32/Adapters.h"
#include "tethra/win32/Win32Common.h"

namespace tethra::win32 {
namespace {

static_assert(sizeof(platform::SidIdentifierAuthority) == sizeof(SID_IDENTIFIER_AUTHORITY));

class Security final : public platform::ISecurity {
 public:
  bool allocateAndInitializeSid(const platform::SidIdentifierAuthority& authority, std::uint8_t count,
                                platform::Dword s0, platform::Dword s1, platform::Dword s2, platform::Dword s3,
                                platform::Dword s4, platform::Dword s5, platform::Dword s6, platform::Dword s7,
                                platform::Psid* sid) override {
    SID_IDENTIFIER_AUTHORITY win{};
    for (int i = 0; i < 6; ++i) win.Value[i] = authority.Value[i];
    PSID made = nullptr;
    const BOOL ok = ::AllocateAndInitializeSid(&win, count, s0, s1, s2, s3, s4, s5, s6, s7, &made);
    *sid = reinterpret_cast<platform::Psid>(made);
    return ok != FALSE;
  }
  bool checkTokenMembership(platform::Handle token, platform::Psid sid, platform::Bool32* isMember) override {
    BOOL member = FALSE;
    const BOOL ok = ::CheckTokenMembership(static_cast<HANDLE>(token), reinterpret_cast<PSID>(sid), &member);
    *isMember = member;
    return ok != FALSE;
  }
  void freeSid(platform::Psid sid) override { ::FreeSid(reinterpret_cast<PSID>(sid)); }
};

}  // namespace

std::unique_ptr<platform::ISecurity> CreateSecurity() { return std::make_unique<Security>(); }

}  // namespace tethra::win32
