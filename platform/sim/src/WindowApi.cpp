// IWindowSystem of one simulated process: dialogs from the process's resources, windows,
// queues, menus, painting and image lists, all on top of WindowManager.
//
// Threads: any simulated thread of the process; a call on another thread's window is sent to
// that thread as on Windows. Failures: null / false / -1 with the last error set (1400 bad
// window, 1421 no such control, 1813/1814 resource missing).
#include <algorithm>

#include "Format.h"
#include "WindowManager.h"
#include "WorldImpl.h"

namespace tethra::sim::detail {

using platform::Hwnd;
using platform::LParam;
using platform::LResult;
using platform::WParam;

namespace {

constexpr platform::Win32Error kERROR_CONTROL_ID_NOT_FOUND{1421};
constexpr platform::Win32Error kERROR_RESOURCE_TYPE_NOT_FOUND{1813};
constexpr platform::Win32Error kERROR_RESOURCE_NAME_NOT_FOUND{1814};

std::u16string className(platform::ControlKind kind) {
  switch (kind) {
    case platform::ControlKind::Static: return u"Static";
    case platform::ControlKind::Edit: return u"Edit";
    case platform::ControlKind::Button: return u"Button";
    case platform::ControlKind::CheckBox: return u"Button";
    case platform::ControlKind::ComboBox: return u"ComboBox";
    case platform::ControlKind::ListBox: return u"ListBox";
    case platform::ControlKind::ListView: return u"SysListView32";
    case platform::ControlKind::Icon: return u"Static";
  }
  return u"Static";
}

bool sameIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && RegistryStore::fold(a) == RegistryStore::fold(b);
}

class ProcessWindows final : public platform::IWindowSystem {
 public:
  explicit ProcessWindows(ProcessImpl& process)
      : m_process(process), m_world(process.world()), m_windows(process.world().windows) {}

  bool initCommonControlsEx(Dword size, Dword classes) override {
    record("InitCommonControlsEx", join({num(size), hex(classes)}), "1");
    return true;
  }

  int loadString(std::uint32_t id, char16_t* buffer, int bufferMax) override {
    const platform::StringResource* found = nullptr;
    if (const auto* res = m_process.resources()) {
      for (const auto& s : res->strings) {
        if (s.id == id) found = &s;
      }
    }
    int copied = 0;
    if (found == nullptr) {
      m_process.setLastError(kERROR_RESOURCE_NAME_NOT_FOUND);
      if (buffer != nullptr && bufferMax > 0) buffer[0] = u'\0';
    } else if (buffer != nullptr && bufferMax > 0) {
      const std::u16string_view text(found->text != nullptr ? found->text : u"");
      copied = static_cast<int>(std::min<std::size_t>(text.size(), static_cast<std::size_t>(bufferMax - 1)));
      std::copy_n(text.begin(), copied, buffer);
      buffer[copied] = u'\0';
    }
    record("LoadString", join({num(id), num(bufferMax)}), num(copied));
    return copied;
  }

  platform::Hicon loadIcon(int resourceId) override {
    const platform::Hicon icon = m_windows.iconFor(m_process, resourceId);
    if (icon == nullptr) m_process.setLastError(kERROR_RESOURCE_TYPE_NOT_FOUND);
    record("LoadIcon", num(resourceId), hex(icon));
    return icon;
  }

  std::intptr_t dialogBoxParam(int templateId, Hwnd parent, platform::DlgProc proc, LParam initParam) override {
    const platform::DialogTemplate* tmpl = nullptr;
    if (const auto* res = m_process.resources()) {
      for (const auto& d : res->dialogs) {
        if (d.id == templateId) tmpl = &d;
      }
    }
    ThreadRec* self = Scheduler::current();
    if (tmpl == nullptr || proc == nullptr) {
      m_process.setLastError(kERROR_RESOURCE_NAME_NOT_FOUND);
      record("DialogBoxParam", join({num(templateId), hex(parent)}), "-1");
      return -1;
    }
    Window& dialog = m_windows.make(WindowKind::Dialog, self, &m_process, u"#32770", tmpl->caption);
    dialog.dlgProc = proc;
    dialog.hasSystemMenu = tmpl->hasSystemMenu;
    Window* firstFocus = nullptr;
    for (const auto& c : tmpl->controls) {
      Window& control = m_windows.make(WindowKind::Control, self, &m_process, className(c.kind),
                                       c.text != nullptr ? c.text : u"");
      control.control = c.kind;
      control.ctrlId = c.id;
      control.parent = &dialog;
      control.sorted = c.sorted;
      control.enabled = !c.initiallyDisabled;
      control.visible = true;
      dialog.children.push_back(&control);
      const bool focusable = c.kind != platform::ControlKind::Static && c.kind != platform::ControlKind::Icon;
      if (firstFocus == nullptr && focusable && control.enabled) firstFocus = &control;
    }
    m_windows.noteProgramDialog(dialog);
    m_world.trace("dialog " + num(templateId) + " " + quoted(dialog.text) + " created as " + hex(dialog.id));

    const LResult init = m_windows.deliver(dialog, platform::kWM_INITDIALOG,
                                           firstFocus != nullptr ? firstFocus->id : 0, initParam);
    if (init != 0 && firstFocus != nullptr && !firstFocus->destroyed) m_windows.setFocusWindow(firstFocus);
    // As Windows does: a visible template is shown after WM_INITDIALOG, whatever the init did.
    if (tmpl->visible && !dialog.ended) m_windows.setVisible(dialog, true);

    while (!dialog.ended && !dialog.destroyed) {
      platform::Msg msg;
      if (m_windows.peek(&msg, nullptr, 0, 0, platform::kPM_REMOVE)) {
        m_windows.dispatch(msg);
        continue;
      }
      if (m_process.isProgram()) m_windows.setProgramReady(&m_process);
      if (!m_world.wait([&] { return dialog.ended || dialog.destroyed || m_windows.hasWork(self); }, std::nullopt)) {
        break;  // off the simulation nothing can arrive
      }
    }
    const std::intptr_t result = dialog.ended ? dialog.endResult : -1;
    if (!dialog.destroyed) {
      m_windows.deliver(dialog, platform::kWM_DESTROY, 0, 0);
      m_windows.destroy(dialog);
    }
    record("DialogBoxParam", join({num(templateId), hex(parent)}), num(result));
    return result;
  }

  bool endDialog(Hwnd hwnd, std::intptr_t result) override {
    Window* w = m_windows.alive(hwnd);
    const bool ok = w != nullptr && w->kind == WindowKind::Dialog;
    if (ok) {
      w->ended = true;
      w->endResult = result;
    } else {
      m_process.setLastError(kERROR_INVALID_WINDOW_HANDLE);
    }
    record("EndDialog", join({hex(hwnd), num(result)}), num(ok));
    return ok;
  }

  Hwnd getDlgItem(Hwnd dialog, int id) override {
    Hwnd found = nullptr;
    if (Window* w = m_windows.alive(dialog)) {
      for (Window* c : w->children) {
        if (c->ctrlId == id && !c->destroyed) found = c->hwnd();
      }
    }
    if (found == nullptr) m_process.setLastError(kERROR_CONTROL_ID_NOT_FOUND);
    record("GetDlgItem", join({hex(dialog), num(id)}), hex(found));
    return found;
  }

  Hwnd findWindow(const char16_t* cls, const char16_t* title) override {
    Hwnd found = nullptr;
    for (const auto& w : m_windows.all()) {
      if (w->kind == WindowKind::Control || w->destroyed) continue;
      if (cls != nullptr && !sameIgnoringCase(cls, w->className)) continue;
      if (title != nullptr && !sameIgnoringCase(title, w->text)) continue;
      found = w->hwnd();
      break;
    }
    record("FindWindow", join({quoted(cls), quoted(title)}), hex(found));
    return found;
  }

  bool isWindow(Hwnd hwnd) override {
    const bool ok = m_windows.alive(hwnd) != nullptr;
    record("IsWindow", hex(hwnd), num(ok));
    return ok;
  }

  bool showWindow(Hwnd hwnd, int command) override {
    Window* w = live(hwnd);
    const bool previous = w != nullptr && w->visible;
    if (w != nullptr) m_windows.setVisible(*w, command != platform::kSW_HIDE);
    record("ShowWindow", join({hex(hwnd), num(command)}), num(previous));
    return previous;
  }

  // The owner's thread carries it out when it next looks at its queue; the simulation shows
  // the change at once, as the caller cannot tell the difference.
  bool showWindowAsync(Hwnd hwnd, int command) override {
    Window* w = live(hwnd);
    if (w != nullptr) m_windows.setVisible(*w, command != platform::kSW_HIDE);
    record("ShowWindowAsync", join({hex(hwnd), num(command)}), num(w != nullptr));
    return w != nullptr;
  }

  bool setWindowPos(Hwnd hwnd, Hwnd after, int x, int y, int cx, int cy, std::uint32_t flags) override {
    Window* w = live(hwnd);
    if (w != nullptr) {
      if ((flags & platform::kSWP_HIDEWINDOW) != 0) m_windows.setVisible(*w, false);
      if ((flags & platform::kSWP_SHOWWINDOW) != 0) m_windows.setVisible(*w, true);
    }
    record("SetWindowPos", join({hex(hwnd), hex(after), num(x), num(y), num(cx), num(cy), hex(flags)}),
           num(w != nullptr));
    return w != nullptr;
  }

  bool isWindowVisible(Hwnd hwnd) override {
    bool shown = m_windows.alive(hwnd) != nullptr;
    for (const Window* w = m_windows.get(hwnd); shown && w != nullptr; w = w->parent) shown = w->visible;
    record("IsWindowVisible", hex(hwnd), num(shown));
    return shown;
  }

  bool isIconic(Hwnd hwnd) override {
    record("IsIconic", hex(hwnd), "0");
    return false;  // nothing ever minimises the simulated windows
  }

  bool enableWindow(Hwnd hwnd, bool enable) override {
    Window* w = live(hwnd);
    const bool wasDisabled = w != nullptr && !w->enabled;
    if (w != nullptr) w->enabled = enable;
    record("EnableWindow", join({hex(hwnd), num(enable)}), num(wasDisabled));
    return wasDisabled;
  }

  bool isWindowEnabled(Hwnd hwnd) override {
    const Window* w = m_windows.alive(hwnd);
    const bool ok = w != nullptr && w->enabled;
    record("IsWindowEnabled", hex(hwnd), num(ok));
    return ok;
  }

  Hwnd setFocus(Hwnd hwnd) override {
    ThreadRec* self = Scheduler::current();
    Window* previous = m_windows.focusWindow();
    Hwnd result = previous != nullptr && previous->owner == self ? previous->hwnd() : nullptr;
    if (hwnd == nullptr) {
      if (result != nullptr) m_windows.setFocusWindow(nullptr);
    } else if (Window* w = m_windows.alive(hwnd); w != nullptr && w->owner == self) {
      m_windows.setFocusWindow(w);
    } else {
      m_process.setLastError(kERROR_INVALID_WINDOW_HANDLE);  // another thread's window takes no focus
      result = nullptr;
    }
    record("SetFocus", hex(hwnd), hex(result));
    return result;
  }

  bool setWindowText(Hwnd hwnd, const char16_t* text) override {
    Window* w = live(hwnd);
    const bool ok = w != nullptr &&
                    m_windows.send(*w, platform::kWM_SETTEXT, 0, reinterpret_cast<LParam>(text != nullptr ? text : u"")) != 0;
    record("SetWindowText", join({hex(hwnd), quoted(text)}), num(ok));
    return ok;
  }

  std::u16string getWindowText(Hwnd hwnd) override {
    Window* w = live(hwnd);
    std::u16string text;
    if (w != nullptr && w->process != &m_process) {
      text = w->text;  // another process's window: read without a message, as Windows does
    } else if (w != nullptr) {
      const auto length = m_windows.send(*w, platform::kWM_GETTEXTLENGTH, 0, 0);
      std::u16string buffer(static_cast<std::size_t>(std::max<LResult>(length, 0)) + 1, u'\0');
      const auto copied = m_windows.send(*w, platform::kWM_GETTEXT, buffer.size(), reinterpret_cast<LParam>(buffer.data()));
      text = buffer.substr(0, static_cast<std::size_t>(std::max<LResult>(copied, 0)));
    }
    record("GetWindowText", hex(hwnd), quoted(text));
    return text;
  }

  bool getClientRect(Hwnd hwnd, platform::Rect* rect) override {
    const Window* w = live(hwnd);
    if (w != nullptr && rect != nullptr) {
      *rect = w->kind == WindowKind::Dialog ? platform::Rect{0, 0, 537, 543}
              : w->kind == WindowKind::Control ? platform::Rect{0, 0, 100, 24}
                                               : platform::Rect{0, 0, 400, 300};
    }
    record("GetClientRect", hex(hwnd), num(w != nullptr));
    return w != nullptr && rect != nullptr;
  }

  int getSystemMetrics(int index) override {
    const int value = index == platform::kSM_CXICON || index == platform::kSM_CYICON ? 32 : 0;
    record("GetSystemMetrics", num(index), num(value));
    return value;
  }

  LResult sendMessage(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) override {
    Window* w = live(hwnd);
    const LResult r = w != nullptr ? m_windows.send(*w, message, wParam, lParam) : 0;
    record("SendMessage", join({hex(hwnd), hex(message), hex(wParam), hex(static_cast<std::uintptr_t>(lParam))}),
           num(r));
    return r;
  }

  bool sendMessageTimeout(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam, std::uint32_t flags,
                          std::uint32_t timeoutMs, LResult* result) override {
    Window* w = live(hwnd);
    bool answered = false;
    const LResult r = w != nullptr ? m_windows.send(*w, message, wParam, lParam, timeoutMs, &answered) : 0;
    if (answered && result != nullptr) *result = r;
    if (!answered) m_process.setLastError(platform::Win32Error{1460});  // ERROR_TIMEOUT
    record("SendMessageTimeout",
           join({hex(hwnd), hex(message), hex(wParam), hex(static_cast<std::uintptr_t>(lParam)), hex(flags),
                 num(static_cast<int>(timeoutMs))}),
           answered ? num(r) : std::string("timed out"));
    return answered;
  }

  bool postMessage(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) override {
    bool ok = false;
    if (hwnd == nullptr) {
      ThreadRec* self = Scheduler::current();
      ok = self != nullptr && m_windows.postThread(*self, message, wParam, lParam);
    } else if (Window* w = live(hwnd)) {
      ok = m_windows.postTo(*w, message, wParam, lParam);
      if (!ok) m_process.setLastError(kERROR_INVALID_WINDOW_HANDLE);
    }
    record("PostMessage", join({hex(hwnd), hex(message), hex(wParam), hex(static_cast<std::uintptr_t>(lParam))}),
           num(ok));
    return ok;
  }

  bool peekMessage(platform::Msg* msg, Hwnd hwnd, std::uint32_t min, std::uint32_t max, std::uint32_t remove) override {
    const bool got = m_windows.peek(msg, hwnd, min, max, remove);
    record("PeekMessage", join({hex(hwnd), hex(min), hex(max), num(remove)}),
           got && msg != nullptr ? hex(msg->message) : num(got));
    return got;
  }

  bool translateMessage(const platform::Msg*) override { return false; }  // no keyboard input

  LResult dispatchMessage(const platform::Msg* msg) override {
    const LResult r = msg != nullptr ? m_windows.dispatch(*msg) : 0;
    record("DispatchMessage", msg != nullptr ? join({hex(msg->hwnd), hex(msg->message)}) : "null", num(r));
    return r;
  }

  platform::Hmenu getSystemMenu(Hwnd hwnd, bool revert) override {
    Window* w = live(hwnd);
    const platform::Hmenu menu = w != nullptr && !revert ? m_windows.menuFor(*w) : nullptr;
    record("GetSystemMenu", join({hex(hwnd), num(revert)}), hex(menu));
    return menu;
  }

  bool appendMenu(platform::Hmenu menu, std::uint32_t flags, std::uintptr_t id, const char16_t* text) override {
    const bool ok = m_windows.appendMenu(menu, flags, id, text);
    record("AppendMenu", join({hex(menu), hex(flags), num(static_cast<std::int64_t>(id)), quoted(text)}), num(ok));
    return ok;
  }

  platform::Hdc beginPaint(Hwnd hwnd) override {
    Window* w = live(hwnd);
    platform::Hdc dc = nullptr;
    if (w != nullptr) {
      w->needsPaint = false;
      dc = reinterpret_cast<platform::Hdc>(m_world.nextHandle());
    }
    record("BeginPaint", hex(hwnd), hex(dc));
    return dc;
  }

  void endPaint(Hwnd hwnd, platform::Hdc dc) override { record("EndPaint", join({hex(hwnd), hex(dc)}), ""); }

  bool drawIcon(platform::Hdc dc, int x, int y, platform::Hicon icon) override {
    const bool ok = dc != nullptr && m_windows.validIcon(icon);
    record("DrawIcon", join({hex(dc), num(x), num(y), hex(icon)}), num(ok));
    return ok;
  }

  platform::Himagelist imageListCreate(int cx, int cy, std::uint32_t flags, int initial, int grow) override {
    const platform::Himagelist list = m_windows.createImageList();
    record("ImageList_Create", join({num(cx), num(cy), hex(flags), num(initial), num(grow)}), hex(list));
    return list;
  }

  int imageListAddIcon(platform::Himagelist list, platform::Hicon icon) override {
    int* count = m_windows.imageList(list);
    const int index = count != nullptr && m_windows.validIcon(icon) ? (*count)++ : -1;
    record("ImageList_AddIcon", join({hex(list), hex(icon)}), num(index));
    return index;
  }

  std::uint32_t imageListSetBkColor(platform::Himagelist list, std::uint32_t color) override {
    std::uint32_t* bk = m_windows.imageListBk(list);
    const std::uint32_t previous = bk != nullptr ? *bk : platform::kCLR_NONE;
    if (bk != nullptr) *bk = color;
    record("ImageList_SetBkColor", join({hex(list), hex(color)}), hex(previous));
    return previous;
  }


 private:
  Window* live(Hwnd hwnd) {
    Window* w = m_windows.alive(hwnd);
    if (w == nullptr) m_process.setLastError(kERROR_INVALID_WINDOW_HANDLE);
    return w;
  }
  void record(std::string_view function, const std::string& args, const std::string& result) {
    m_process.record("window", function, args, result);
  }

  ProcessImpl& m_process;
  World::Impl& m_world;
  WindowManager& m_windows;
};

}  // namespace

std::unique_ptr<platform::IWindowSystem> makeWindows(ProcessImpl& process) {
  return std::make_unique<ProcessWindows>(process);
}

}  // namespace tethra::sim::detail
