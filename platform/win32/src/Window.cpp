// IWindowSystem on user32, gdi32 and comctl32, call for call; the modal dialog goes through
// dialog_thunk.cpp. Threads: as Windows has it (a window belongs to its creating thread; sent
// messages cross threads). Owner: image lists belong to the caller for the process's life; icons,
// menus and DCs to the system. Results: the Win32 function's, with BOOL turned into bool.

#include <vector>

#include "tethra/win32/Adapters.h"
#include "tethra/win32/DialogThunk.h"
#include "tethra/platform/Window.h"
#include "tethra/win32/Win32Common.h"

#include <commctrl.h>

namespace tethra::win32 {
namespace {

static_assert(platform::kWM_CLOSE == WM_CLOSE && platform::kWM_PAINT == WM_PAINT &&
              platform::kWM_QUERYENDSESSION == WM_QUERYENDSESSION && platform::kWM_ENDSESSION == WM_ENDSESSION &&
              platform::kWM_ICONERASEBKGND == WM_ICONERASEBKGND &&
              platform::kWM_QUERYDRAGICON == WM_QUERYDRAGICON && platform::kWM_COPYDATA == WM_COPYDATA &&
              platform::kWM_SETICON == WM_SETICON && platform::kWM_INITDIALOG == WM_INITDIALOG &&
              platform::kWM_COMMAND == WM_COMMAND && platform::kWM_SYSCOMMAND == WM_SYSCOMMAND &&
              platform::kWM_POWERBROADCAST == WM_POWERBROADCAST && platform::kWM_DEVICECHANGE == WM_DEVICECHANGE &&
              platform::kWM_WTSSESSION_CHANGE == WM_WTSSESSION_CHANGE && platform::kWM_USER == WM_USER &&
              platform::kWM_APP == WM_APP && platform::kWM_QUIT == WM_QUIT && platform::kWM_DESTROY == WM_DESTROY);
static_assert(platform::kEM_LIMITTEXT == EM_LIMITTEXT && platform::kBM_SETCHECK == BM_SETCHECK &&
              platform::kBM_GETCHECK == BM_GETCHECK && platform::kLB_ADDSTRING == LB_ADDSTRING &&
              platform::kLB_RESETCONTENT == LB_RESETCONTENT && platform::kCB_ADDSTRING == CB_ADDSTRING &&
              platform::kCB_SETCURSEL == CB_SETCURSEL && platform::kCB_GETCURSEL == CB_GETCURSEL &&
              platform::kLVM_SETIMAGELIST == LVM_SETIMAGELIST && platform::kLVM_GETITEMCOUNT == LVM_GETITEMCOUNT &&
              platform::kLVSIL_NORMAL == LVSIL_NORMAL);
static_assert(platform::kSWP_HIDEWINDOW == SWP_HIDEWINDOW && platform::kSW_HIDE == SW_HIDE &&
              platform::kPM_REMOVE == PM_REMOVE && platform::kMF_SEPARATOR == MF_SEPARATOR &&
              platform::kSM_CXICON == SM_CXICON && platform::kILC_COLOR32 == ILC_COLOR32 &&
              platform::kCLR_NONE == CLR_NONE);

HICON ToHicon(platform::Hicon h) { return reinterpret_cast<HICON>(h); }
HIMAGELIST ToHimagelist(platform::Himagelist h) { return reinterpret_cast<HIMAGELIST>(h); }

MSG ToMsg(const platform::Msg& from) {
  MSG to{};
  to.hwnd = ToHwnd(from.hwnd);
  to.message = from.message;
  to.wParam = from.wParam;
  to.lParam = from.lParam;
  to.time = from.time;
  to.pt.x = from.ptX;
  to.pt.y = from.ptY;
  return to;
}

platform::Msg FromMsg(const MSG& from) {
  platform::Msg to;
  to.hwnd = FromHwnd(from.hwnd);
  to.message = from.message;
  to.wParam = from.wParam;
  to.lParam = from.lParam;
  to.time = from.time;
  to.ptX = from.pt.x;
  to.ptY = from.pt.y;
  return to;
}

// EndPaint needs the PAINTSTRUCT of its BeginPaint; the boundary only hands back the DC.
struct OpenPaint {
  HWND hwnd;
  PAINTSTRUCT paint;
};
thread_local std::vector<OpenPaint> t_openPaints;

class WindowSystem final : public platform::IWindowSystem {
 public:
  bool initCommonControlsEx(platform::Dword size, platform::Dword classes) override {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = size;
    icc.dwICC = classes;
    return ::InitCommonControlsEx(&icc) != FALSE;
  }
  int loadString(std::uint32_t id, char16_t* buffer, int bufferMax) override {
    return ::LoadStringW(ModuleInstance(), id, W(buffer), bufferMax);
  }
  platform::Hicon loadIcon(int resourceId) override {
    return reinterpret_cast<platform::Hicon>(::LoadIconW(ModuleInstance(), MAKEINTRESOURCEW(resourceId)));
  }

  std::intptr_t dialogBoxParam(int templateId, platform::Hwnd parent, platform::DlgProc proc,
                               platform::LParam initParam) override {
    return RunModalDialog(templateId, ToHwnd(parent), proc, initParam);
  }
  bool endDialog(platform::Hwnd dialog, std::intptr_t result) override {
    return ::EndDialog(ToHwnd(dialog), result) != FALSE;
  }
  platform::Hwnd getDlgItem(platform::Hwnd dialog, int controlId) override {
    return FromHwnd(::GetDlgItem(ToHwnd(dialog), controlId));
  }

  platform::Hwnd findWindow(const char16_t* className, const char16_t* title) override {
    return FromHwnd(::FindWindowW(W(className), W(title)));
  }
  bool isWindow(platform::Hwnd hwnd) override { return ::IsWindow(ToHwnd(hwnd)) != FALSE; }
  bool showWindow(platform::Hwnd hwnd, int command) override { return ::ShowWindow(ToHwnd(hwnd), command) != FALSE; }
  bool showWindowAsync(platform::Hwnd hwnd, int command) override {
    return ::ShowWindowAsync(ToHwnd(hwnd), command) != FALSE;
  }
  bool setWindowPos(platform::Hwnd hwnd, platform::Hwnd insertAfter, int x, int y, int cx, int cy,
                    std::uint32_t flags) override {
    return ::SetWindowPos(ToHwnd(hwnd), ToHwnd(insertAfter), x, y, cx, cy, flags) != FALSE;
  }
  bool isWindowVisible(platform::Hwnd hwnd) override { return ::IsWindowVisible(ToHwnd(hwnd)) != FALSE; }
  bool isIconic(platform::Hwnd hwnd) override { return ::IsIconic(ToHwnd(hwnd)) != FALSE; }
  bool enableWindow(platform::Hwnd hwnd, bool enable) override {
    return ::EnableWindow(ToHwnd(hwnd), enable ? TRUE : FALSE) != FALSE;
  }
  bool isWindowEnabled(platform::Hwnd hwnd) override { return ::IsWindowEnabled(ToHwnd(hwnd)) != FALSE; }
  platform::Hwnd setFocus(platform::Hwnd hwnd) override { return FromHwnd(::SetFocus(ToHwnd(hwnd))); }
  bool setWindowText(platform::Hwnd hwnd, const char16_t* text) override {
    return ::SetWindowTextW(ToHwnd(hwnd), W(text)) != FALSE;
  }
  std::u16string getWindowText(platform::Hwnd hwnd) override {
    const int length = ::GetWindowTextLengthW(ToHwnd(hwnd));
    if (length <= 0) return {};
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    const int copied = ::GetWindowTextW(ToHwnd(hwnd), W(text.data()), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
  }
  bool getClientRect(platform::Hwnd hwnd, platform::Rect* rect) override {
    RECT r{};
    if (::GetClientRect(ToHwnd(hwnd), &r) == FALSE) return false;
    *rect = {r.left, r.top, r.right, r.bottom};
    return true;
  }
  int getSystemMetrics(int index) override { return ::GetSystemMetrics(index); }

  platform::LResult sendMessage(platform::Hwnd hwnd, std::uint32_t message, platform::WParam wParam,
                                platform::LParam lParam) override {
    return ::SendMessageW(ToHwnd(hwnd), message, wParam, lParam);
  }
  bool sendMessageTimeout(platform::Hwnd hwnd, std::uint32_t message, platform::WParam wParam,
                          platform::LParam lParam, std::uint32_t flags, std::uint32_t timeoutMs,
                          platform::LResult* result) override {
    DWORD_PTR answer = 0;
    const LRESULT sent = ::SendMessageTimeoutW(ToHwnd(hwnd), message, wParam, lParam, flags, timeoutMs, &answer);
    if (result != nullptr) *result = static_cast<platform::LResult>(answer);
    return sent != 0;
  }
  bool postMessage(platform::Hwnd hwnd, std::uint32_t message, platform::WParam wParam,
                   platform::LParam lParam) override {
    return ::PostMessageW(ToHwnd(hwnd), message, wParam, lParam) != FALSE;
  }
  bool peekMessage(platform::Msg* msg, platform::Hwnd hwnd, std::uint32_t filterMin, std::uint32_t filterMax,
                   std::uint32_t removeFlags) override {
    MSG m{};
    if (::PeekMessageW(&m, ToHwnd(hwnd), filterMin, filterMax, removeFlags) == FALSE) return false;
    *msg = FromMsg(m);
    return true;
  }
  bool translateMessage(const platform::Msg* msg) override {
    const MSG m = ToMsg(*msg);
    return ::TranslateMessage(&m) != FALSE;
  }
  platform::LResult dispatchMessage(const platform::Msg* msg) override {
    const MSG m = ToMsg(*msg);
    return ::DispatchMessageW(&m);
  }

  platform::Hmenu getSystemMenu(platform::Hwnd hwnd, bool revert) override {
    return reinterpret_cast<platform::Hmenu>(::GetSystemMenu(ToHwnd(hwnd), revert ? TRUE : FALSE));
  }
  bool appendMenu(platform::Hmenu menu, std::uint32_t flags, std::uintptr_t idNewItem, const char16_t* text) override {
    return ::AppendMenuW(reinterpret_cast<HMENU>(menu), flags, idNewItem, W(text)) != FALSE;
  }

  platform::Hdc beginPaint(platform::Hwnd hwnd) override {
    OpenPaint open{ToHwnd(hwnd), {}};
    HDC dc = ::BeginPaint(open.hwnd, &open.paint);
    if (dc != nullptr) t_openPaints.push_back(open);
    return reinterpret_cast<platform::Hdc>(dc);
  }
  void endPaint(platform::Hwnd hwnd, platform::Hdc dc) override {
    for (auto it = t_openPaints.rbegin(); it != t_openPaints.rend(); ++it) {
      if (it->hwnd == ToHwnd(hwnd) && it->paint.hdc == reinterpret_cast<HDC>(dc)) {
        ::EndPaint(it->hwnd, &it->paint);
        t_openPaints.erase(std::next(it).base());
        return;
      }
    }
  }
  bool drawIcon(platform::Hdc dc, int x, int y, platform::Hicon icon) override {
    return ::DrawIcon(reinterpret_cast<HDC>(dc), x, y, ToHicon(icon)) != FALSE;
  }

  platform::Himagelist imageListCreate(int cx, int cy, std::uint32_t flags, int initial, int grow) override {
    return reinterpret_cast<platform::Himagelist>(::ImageList_Create(cx, cy, flags, initial, grow));
  }
  int imageListAddIcon(platform::Himagelist list, platform::Hicon icon) override {
    return ::ImageList_ReplaceIcon(ToHimagelist(list), -1, ToHicon(icon));
  }
  std::uint32_t imageListSetBkColor(platform::Himagelist list, std::uint32_t color) override {
    return ::ImageList_SetBkColor(ToHimagelist(list), color);
  }
};

}  // namespace

std::unique_ptr<platform::IWindowSystem> CreateWindowSystem() { return std::make_unique<WindowSystem>(); }

}  // namespace tethra::win32
