// ICodePage on the system's code-page conversions, call for call. Any thread may call.
// Results: the count the Win32 function returns; 0 on failure with GetLastError() set.
#include "tethra/win32/Adapters.h"
#include "tethra/platform/CodePage.h"
#include "tethra/win32/Win32Common.h"

namespace tethra::win32 {
namespace {

static_assert(platform::kCP_ACP == CP_ACP && platform::kCP_UTF8 == CP_UTF8);
static_assert(platform::kWC_NO_BEST_FIT_CHARS == WC_NO_BEST_FIT_CHARS &&
              platform::kMB_ERR_INVALID_CHARS == MB_ERR_INVALID_CHARS);

class CodePage final : public platform::ICodePage {
 public:
  int wideCharToMultiByte(std::uint32_t codePage, platform::Dword flags, const char16_t* wide, int cchWideChar,
                          char* multiByte, int cbMultiByte, const char* defaultChar,
                          platform::Bool32* usedDefaultChar) override {
    return ::WideCharToMultiByte(codePage, flags, W(wide), cchWideChar, multiByte, cbMultiByte, defaultChar,
                                 usedDefaultChar);
  }
  int multiByteToWideChar(std::uint32_t codePage, platform::Dword flags, const char* multiByte, int cbMultiByte,
                          char16_t* wide, int cchWideChar) override {
    return ::MultiByteToWideChar(codePage, flags, multiByte, cbMultiByte, W(wide), cchWideChar);
  }
};

}  // namespace

std::unique_ptr<platform::ICodePage> CreateCodePage() { return std::make_unique<CodePage>(); }

}  // namespace tethra::win32
