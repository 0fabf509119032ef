// Reads a whole file, shared for reading: the tools read scenario files and the simulated
// services' logs (which a service may still be appending to). Header only; any thread.
#pragma once

#include <windows.h>

#include <string>

namespace tethra::tools {

// False when the file cannot be opened; `bytes` then stays empty.
inline bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  bytes.clear();
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char chunk[4096];
  DWORD read = 0;
  while (::ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
  ::CloseHandle(file);
  return true;
}

}  // namespace tethra::tools
