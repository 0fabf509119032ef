// Window system and controls: windows found by title, message queues, sent and posted
// messages, the modal dialog built from a dialog template, and the controls of that dialog.
//
// Threads: every window belongs to the thread that created it. A call on another thread's
// window behaves as on Windows: setWindowText, the control messages and sendMessage block the
// caller until the owner thread has handled them (while the caller still handles messages sent
// to its own windows). Control operations are plain messages (sendMessage with the kCB_*,
// kLB_*, kBM_*, kEM_*, kLVM_* numbers below); the text of a string argument is a char16_t*.
// Owner: icons, menus and image lists are owned by the window system unless said otherwise.
#pragma once

#include <string>

#include "tethra/platform/Types.h"

namespace tethra::platform {

// Dialog procedure: returns nonzero when it handled the message. For the messages whose
// result is the return value itself (kWM_INITDIALOG, kWM_QUERYDRAGICON) the value is returned.
using DlgProc = std::intptr_t (*)(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam);

// Messages.
constexpr std::uint32_t kWM_NULL = 0x0000;
constexpr std::uint32_t kWM_DESTROY = 0x0002;
constexpr std::uint32_t kWM_SETTEXT = 0x000C;
constexpr std::uint32_t kWM_GETTEXT = 0x000D;
constexpr std::uint32_t kWM_GETTEXTLENGTH = 0x000E;
constexpr std::uint32_t kWM_PAINT = 0x000F;
constexpr std::uint32_t kWM_CLOSE = 0x0010;
constexpr std::uint32_t kWM_QUERYENDSESSION = 0x0011;
constexpr std::uint32_t kWM_QUIT = 0x0012;
constexpr std::uint32_t kWM_ENDSESSION = 0x0016;
constexpr std::uint32_t kWM_ICONERASEBKGND = 0x0027;
constexpr std::uint32_t kWM_QUERYDRAGICON = 0x0037;
constexpr std::uint32_t kWM_COPYDATA = 0x004A;
constexpr std::uint32_t kWM_SETICON = 0x0080;
constexpr std::uint32_t kWM_INITDIALOG = 0x0110;
constexpr std::uint32_t kWM_COMMAND = 0x0111;
constexpr std::uint32_t kWM_SYSCOMMAND = 0x0112;
constexpr std::uint32_t kWM_POWERBROADCAST = 0x0218;
constexpr std::uint32_t kWM_DEVICECHANGE = 0x0219;
constexpr std::uint32_t kWM_WTSSESSION_CHANGE = 0x02B1;
constexpr std::uint32_t kWM_USER = 0x0400;
constexpr std::uint32_t kWM_APP = 0x8000;

constexpr std::uint32_t kICON_SMALL = 0;
constexpr std::uint32_t kICON_BIG = 1;

// Edit, button, list box, combo box, list view.
constexpr std::uint32_t kEM_LIMITTEXT = 0x00C5;
constexpr std::uint32_t kEM_GETLIMITTEXT = 0x00D5;
constexpr std::uint32_t kBM_GETCHECK = 0x00F0;
constexpr std::uint32_t kBM_SETCHECK = 0x00F1;
constexpr WParam kBST_UNCHECKED = 0;
constexpr WParam kBST_CHECKED = 1;
constexpr std::uint32_t kLB_ADDSTRING = 0x0180;
constexpr std::uint32_t kLB_RESETCONTENT = 0x0184;
constexpr std::uint32_t kLB_GETTEXT = 0x0189;
constexpr std::uint32_t kLB_GETTEXTLEN = 0x018A;
constexpr std::uint32_t kLB_GETCOUNT = 0x018B;
constexpr std::uint32_t kCB_GETCURSEL = 0x0147;
constexpr std::uint32_t kCB_ADDSTRING = 0x0143;
constexpr std::uint32_t kCB_DELETESTRING = 0x0144;
constexpr std::uint32_t kCB_GETCOUNT = 0x0146;
constexpr std::uint32_t kCB_GETLBTEXT = 0x0148;
constexpr std::uint32_t kCB_GETLBTEXTLEN = 0x0149;
constexpr std::uint32_t kCB_SETCURSEL = 0x014E;
constexpr std::uint32_t kCB_GETITEMDATA = 0x0150;
constexpr std::uint32_t kCB_SETITEMDATA = 0x0151;
constexpr LResult kCB_ERR = -1;
constexpr LResult kLB_ERR = -1;
constexpr std::uint32_t kLVM_GETITEMCOUNT = 0x1004;
constexpr std::uint32_t kLVM_SETIMAGELIST = 0x1003;
constexpr std::uint32_t kLVM_GETIMAGELIST = 0x1002;
constexpr WParam kLVSIL_NORMAL = 0;

// Notification codes carried in the high word of kWM_COMMAND's wParam.
constexpr std::uint32_t kBN_CLICKED = 0;

// showWindow commands, setWindowPos flags.
constexpr int kSW_HIDE = 0;
constexpr int kSW_SHOW = 5;
constexpr std::uint32_t kSWP_HIDEWINDOW = 0x0080;
constexpr std::uint32_t kSWP_SHOWWINDOW = 0x0040;

constexpr std::uint32_t kPM_NOREMOVE = 0;
constexpr std::uint32_t kPM_REMOVE = 1;

constexpr std::uint32_t kMF_STRING = 0x0000;
constexpr std::uint32_t kMF_SEPARATOR = 0x0800;
constexpr int kSM_CXICON = 11;
constexpr int kSM_CYICON = 12;

// Image list creation flags.
constexpr std::uint32_t kILC_COLOR32 = 0x0020;
constexpr std::uint32_t kILC_MASK = 0x0001;
constexpr std::uint32_t kCLR_NONE = 0xFFFFFFFFu;

inline constexpr std::uint32_t kSMTO_ABORTIFHUNG = 0x0002;

class IWindowSystem {
 public:
  virtual ~IWindowSystem() = default;

  // Common controls and resources of the program's own module.
  virtual bool initCommonControlsEx(Dword size, Dword classes) = 0;
  virtual int loadString(std::uint32_t id, char16_t* buffer, int bufferMax) = 0;  // length copied
  virtual Hicon loadIcon(int resourceId) = 0;

  // Runs the dialog of template `templateId` modally on the calling thread: creates it with
  // its controls, calls `proc` with kWM_INITDIALOG (lParam = initParam), shows it unless the
  // init hid it... as Windows does, then dispatches until endDialog. Returns endDialog's value,
  // or -1 when the dialog could not be created.
  virtual std::intptr_t dialogBoxParam(int templateId, Hwnd parent, DlgProc proc, LParam initParam) = 0;
  virtual bool endDialog(Hwnd dialog, std::intptr_t result) = 0;
  virtual Hwnd getDlgItem(Hwnd dialog, int controlId) = 0;

  // Windows.
  virtual Hwnd findWindow(const char16_t* className, const char16_t* title) = 0;
  virtual bool isWindow(Hwnd hwnd) = 0;
  virtual bool showWindow(Hwnd hwnd, int command) = 0;  // previous visibility
  // ShowWindowAsync: for a window of another thread, whose owner may never answer; true when
  // the request was posted (or, for the caller's own window, carried out).
  virtual bool showWindowAsync(Hwnd hwnd, int command) = 0;
  virtual bool setWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                            std::uint32_t flags) = 0;
  virtual bool isWindowVisible(Hwnd hwnd) = 0;
  virtual bool isIconic(Hwnd hwnd) = 0;
  virtual bool enableWindow(Hwnd hwnd, bool enable) = 0;  // previous disabled state
  virtual bool isWindowEnabled(Hwnd hwnd) = 0;
  virtual Hwnd setFocus(Hwnd hwnd) = 0;
  virtual bool setWindowText(Hwnd hwnd, const char16_t* text) = 0;
  virtual std::u16string getWindowText(Hwnd hwnd) = 0;
  virtual bool getClientRect(Hwnd hwnd, Rect* rect) = 0;
  virtual int getSystemMetrics(int index) = 0;

  // Messages and queues.
  virtual LResult sendMessage(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) = 0;
  // SendMessageTimeoutW: false when the send failed or `timeoutMs` passed (or, with
  // kSMTO_ABORTIFHUNG, the receiver is hung); *result gets the receiver's answer otherwise.
  virtual bool sendMessageTimeout(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam,
                                  std::uint32_t flags, std::uint32_t timeoutMs, LResult* result) = 0;
  virtual bool postMessage(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) = 0;
  virtual bool peekMessage(Msg* msg, Hwnd hwnd, std::uint32_t filterMin, std::uint32_t filterMax,
                           std::uint32_t removeFlags) = 0;
  virtual bool translateMessage(const Msg* msg) = 0;
  virtual LResult dispatchMessage(const Msg* msg) = 0;

  // System menu.
  virtual Hmenu getSystemMenu(Hwnd hwnd, bool revert) = 0;
  virtual bool appendMenu(Hmenu menu, std::uint32_t flags, std::uintptr_t idNewItem, const char16_t* text) = 0;

  // Painting (only for the minimised icon).
  virtual Hdc beginPaint(Hwnd hwnd) = 0;
  virtual void endPaint(Hwnd hwnd, Hdc dc) = 0;
  virtual bool drawIcon(Hdc dc, int x, int y, Hicon icon) = 0;

  // Image lists: the caller's, alive until the process ends (the program never destroys one).
  virtual Himagelist imageListCreate(int cx, int cy, std::uint32_t flags, int initial, int grow) = 0;
  virtual int imageListAddIcon(Himagelist list, Hicon icon) = 0;  // index or -1
  virtual std::uint32_t imageListSetBkColor(Himagelist list, std::uint32_t color) = 0;
};

}  // namespace tethra::platform
