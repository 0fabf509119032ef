// A detached thread for the Wine tools: the body runs on its own thread and the handle is
// closed at once (the tools' threads live for the process's life or end by themselves).
// Header only.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

namespace tethra::tools {

// False, with the thread's last error from CreateThread, when no thread could be made.
inline bool StartThread(std::function<void()> body) {
  auto owned = std::make_unique<std::function<void()>>(std::move(body));
  const auto proc = [](LPVOID raw) -> DWORD {
    const std::unique_ptr<std::function<void()>> run(static_cast<std::function<void()>*>(raw));
    (*run)();
    return 0;
  };
  const HANDLE thread = ::CreateThread(nullptr, 0, proc, owned.get(), 0, nullptr);
  if (thread == nullptr) return false;
  owned.release();  // the thread's now
  ::CloseHandle(thread);
  return true;
}

}  // namespace tethra::tools
