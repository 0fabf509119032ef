// Test support: an IWindowSystem that only counts posted messages (per message number) and
// can run a hook on each post. Every other operation does nothing and reports failure.
// Any thread may post.
#pragma once

#include <atomic>
#include <functional>

#include "tethra/platform/window.h"

namespace tethra::wlan::test {

class PostCountingWindows final : public platform::IWindowSystem {
 public:
  using Hwnd = platform::Hwnd;
  using LResult = platform::LResult;
  using WParam = platform::WParam;
  using LParam = platform::LParam;

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

  bool initCommonControlsEx(platform::Dword, platform::Dword) override { return false; }
  int loadString(std::uint32_t, char16_t*, int) override { return 0; }
  platform::Hicon loadIcon(int) override { return nullptr; }
  std::intptr_t dialogBoxParam(int, Hwnd, platform::DlgProc, LParam) override { return -1; }
  bool endDialog(Hwnd, std::intptr_t) override { return false; }
  LResult defDlgProc(Hwnd, std::uint32_t, WParam, LParam) override { return 0; }
  Hwnd getDlgItem(Hwnd, int) override { return nullptr; }
  int getDlgCtrlId(Hwnd) override { return 0; }
  Hwnd findWindow(const char16_t*, const char16_t*) override { return nullptr; }
  bool isWindow(Hwnd) override { return false; }
  bool showWindow(Hwnd, int) override { return false; }
  bool setWindowPos(Hwnd, Hwnd, int, int, int, int, std::uint32_t) override { return false; }
  bool isWindowVisible(Hwnd) override { return false; }
  bool isIconic(Hwnd) override { return false; }
  bool enableWindow(Hwnd, bool) override { return false; }
  bool isWindowEnabled(Hwnd) override { return false; }
  Hwnd setFocus(Hwnd) override { return nullptr; }
  Hwnd getFocus() override { return nullptr; }
  bool setWindowText(Hwnd, const char16_t*) override { return false; }
  std::u16string getWindowText(Hwnd) override { return {}; }
  bool getClientRect(Hwnd, platform::Rect*) override { return false; }
  int getSystemMetrics(int) override { return 0; }
  LResult sendMessage(Hwnd, std::uint32_t, WParam, LParam) override { return 0; }
  bool peekMessage(platform::Msg*, Hwnd, std::uint32_t, std::uint32_t, std::uint32_t) override { return false; }
  bool translateMessage(const platform::Msg*) override { return false; }
  LResult dispatchMessage(const platform::Msg*) override { return 0; }
  platform::Hmenu getSystemMenu(Hwnd, bool) override { return nullptr; }
  bool appendMenu(platform::Hmenu, std::uint32_t, std::uintptr_t, const char16_t*) override { return false; }
  platform::Hdc beginPaint(Hwnd) override { return nullptr; }
  void endPaint(Hwnd, platform::Hdc) override {}
  bool drawIcon(platform::Hdc, int, int, platform::Hicon) override { return false; }
  platform::Himagelist imageListCreate(int, int, std::uint32_t, int, int) override { return nullptr; }
  int imageListAddIcon(platform::Himagelist, platform::Hicon) override { return -1; }
  std::uint32_t imageListSetBkColor(platform::Himagelist, std::uint32_t) override { return 0; }
  int imageListGetImageCount(platform::Himagelist) override { return 0; }
  bool imageListDestroy(platform::Himagelist) override { return false; }
};

}  // namespace tethra::wlan::test
