// Test support: a window system that only counts posted messages and can run a hook on each
// post. Every other operation fails and is written down as unexpected.
// Any thread may post.
#pragma once

#include <atomic>
#include <functional>

#include "tethra/test/FailingAreas.h"

namespace tethra::wlan::test {

class PostCountingWindows final : public tethra::test::FailingWindowSystem {
 public:
  std::atomic<int> posts{0};
  std::atomic<Hwnd> lastWindow{nullptr};
  std::atomic<std::uint32_t> lastMessage{0};
  std::function<void()> onPost;  // set before threads start

  bool postMessage(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) override {
    if (wParam != 0 || lParam != 0) return false;
    lastWindow = hwnd;
    lastMessage = message;
    ++posts;
    if (onPost) onPost();
    return true;
  }
};

}  // namespace tethra::wlan::test
