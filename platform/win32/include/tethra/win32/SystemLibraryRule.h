// How the program loads a DLL from the system directory and from nowhere else, kept free of
// <windows.h> so that the rule is tested on any machine. First the loader's own system-directory
// search; where the loader rejects that request as an invalid parameter (Windows 7 without its
// loader update), the DLL's full path in the system directory. Any other failure stands: a DLL
// missing from the system directory is never looked for elsewhere.
//
// Owner: none (a function template over the caller's operations). Any thread. The result is
// the module, or null with the reason in the thread's last error (ERROR_MOD_NOT_FOUND when the
// system directory cannot be named within MAX_PATH).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tethra::win32 {

inline constexpr std::uint32_t kLoaderErrorInvalidParameter = 87;
inline constexpr std::uint32_t kLoaderErrorModNotFound = 126;
inline constexpr std::size_t kLoaderMaxPath = 260;

// Ops provides: loadSearchingSystemDirectory(name), loadByFullPath(path) (both return a module
// pointer, null on failure), lastError(), setLastError(code), systemDirectory() (empty on failure).
template <typename Ops>
auto LoadFromSystemDirectory(Ops& ops, std::u16string_view name) {
  auto module = ops.loadSearchingSystemDirectory(name);
  if (module != nullptr || ops.lastError() != kLoaderErrorInvalidParameter) return module;
  std::u16string path = ops.systemDirectory();
  if (path.empty() || path.size() + 1 + name.size() + 1 > kLoaderMaxPath) {
    ops.setLastError(kLoaderErrorModNotFound);
    return decltype(module){};
  }
  path += u'\\';
  path += name;
  return ops.loadByFullPath(path);
}

}  // namespace tethra::win32
