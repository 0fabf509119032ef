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

bool SameIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && RegistryStore::fold(a) == RegistryStore::fold(b);
}

class ProcessWindows final : public platform::IWindowSystem {
 public:
  explicit ProcessWindows(ProcessImpl& process)
      : m_Process(process), m_World(process.world()), m_Windows(process.world().windows) {}

  bool initCommonControlsEx(Dword size, Dword classes) override {
    record("InitCommonControlsEx", Join({Num(size), Hex(classes)}), "1");
    return true;
  }

  int loadString(std::uint32_t id, char16_t* buffer, int bufferMax) override {
    const platform::StringResource* found = nullptr;
    if (const auto* res = m_Process.resources()) {
      for (const auto& s : res->strings) {
        if (s.id == id) found = &s;
      }
    }
    int copied = 0;
    if (found == nullptr) {
      m_Process.setLastError(kERROR_RESOURCE_NAME_NOT_FOUND);
      if (buffer != nullptr && bufferMax > 0) buffer[0] = u'\0';
    } else if (buffer != nullptr && bufferMax > 0) {
      const std::u16string_view text(found->text != nullptr ? found->text : u"");
      copied = static_cast<int>(std::min<std::size_t>(text.size(), static_cast<std::size_t>(bufferMax - 1)));
      std::copy_n(text.begin(), copied, buffer);
      buffer[copied] = u'\0';
    }
    record("LoadString", Join({Num(id), Num(bufferMax)}), Num(copied));
    return copied;
  }

  platform::Hicon loadIcon(int resourceId) override {
    const platform::Hicon icon = m_Windows.iconFor(m_Process, resourceId);
    if (icon == nullptr) m_Process.setLastError(kERROR_RESOURCE_TYPE_NOT_FOUND);
    record("LoadIcon", Num(resourceId), Hex(icon));
    return icon;
  }

  std::intptr_t dialogBoxParam(int templateId, Hwnd parent, platform::DlgProc proc, LParam initParam) override {
    const platform::DialogTemplate* tmpl = nullptr;
    if (const auto* res = m_Process.resources()) {
      for (const auto& d : res->dialogs) {
        if (d.id == templateId) tmpl = &d;
      }
    }
    ThreadRec* self = Scheduler::current();
    if (tmpl == nullptr || proc == nullptr) {
      m_Process.setLastError(kERROR_RESOURCE_NAME_NOT_FOUND);
      record("DialogBoxParam", Join({Num(templateId), Hex(parent)}), "-1");
      return -1;
    }
    Window& dialog = m_Windows.make(WindowKind::Dialog, self, &m_Process, u"#32770", tmpl->caption);
    dialog.dlgProc = proc;
    dialog.hasSystemMenu = tmpl->hasSystemMenu;
    Window* firstFocus = nullptr;
    for (const auto& c : tmpl->controls) {
      Window& control = m_Windows.make(WindowKind::Control, self, &m_Process, className(c.kind),
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
    m_Windows.noteProgramDialog(dialog);
    m_World.trace("dialog " + Num(templateId) + " " + Quoted(dialog.text) + " created as " + Hex(dialog.id));

    const LResult init = m_Windows.deliver(dialog, platform::kWM_INITDIALOG,
                                           firstFocus != nullptr ? firstFocus->id : 0, initParam);
    if (init != 0 && firstFocus != nullptr && !firstFocus->destroyed) m_Windows.setFocusWindow(firstFocus);
    // As Windows does: a visible template is shown after WM_INITDIALOG, whatever the init did.
    if (tmpl->visible && !dialog.ended) m_Windows.setVisible(dialog, true);

    while (!dialog.ended && !dialog.destroyed) {
      platform::Msg msg;
      if (m_Windows.peek(&msg, nullptr, 0, 0, platform::kPM_REMOVE)) {
        m_Windows.dispatch(msg);
        continue;
      }
      if (m_Process.isProgram()) m_Windows.setProgramReady(&m_Process);
      if (!m_World.wait([&] { return dialog.ended || dialog.destroyed || m_Windows.hasWork(self); }, std::nullopt)) {
        break;  // off the simulation nothing can arrive
      }
    }
    const std::intptr_t result = dialog.ended ? dialog.endResult : -1;
    if (!dialog.destroyed) {
      m_Windows.deliver(dialog, platform::kWM_DESTROY, 0, 0);
      m_Windows.destroy(dialog);
    }
    record("DialogBoxParam", Join({Num(templateId), Hex(parent)}), Num(result));
    return result;
  }

  bool endDialog(Hwnd hwnd, std::intptr_t result) override {
    Window* w = m_Windows.alive(hwnd);
    const bool ok = w != nullptr && w->kind == WindowKind::Dialog;
    if (ok) {
      w->ended = true;
      w->endResult = result;
    } else {
      m_Process.setLastError(kERROR_INVALID_WINDOW_HANDLE);
    }
    record("EndDialog", Join({Hex(hwnd), Num(result)}), Num(ok));
    return ok;
  }

  Hwnd getDlgItem(Hwnd dialog, int id) override {
    Hwnd found = nullptr;
    if (Window* w = m_Windows.alive(dialog)) {
      for (Window* c : w->children) {
        if (c->ctrlId == id && !c->destroyed) found = c->hwnd();
      }
    }
    if (found == nullptr) m_Process.setLastError(kERROR_CONTROL_ID_NOT_FOUND);
    record("GetDlgItem", Join({Hex(dialog), Num(id)}), Hex(found));
    return found;
  }

  Hwnd findWindow(const char16_t* cls, const char16_t* title) override {
    Hwnd found = nullptr;
    for (const auto& w : m_Windows.all()) {
      if (w->kind == WindowKind::Control || w->destroyed) continue;
      if (cls != nullptr && !SameIgnoringCase(cls, w->className)) continue;
      if (title != nullptr && !SameIgnoringCase(title, w->text)) continue;
      found = w->hwnd();
      break;
    }
    record("FindWindow", Join({Quoted(cls), Quoted(title)}), Hex(found));
    return found;
  }

  bool isWindow(Hwnd hwnd) override {
    const bool ok = m_Windows.alive(hwnd) != nullptr;
    record("IsWindow", Hex(hwnd), Num(ok));
    return ok;
  }

  bool showWindow(Hwnd hwnd, int command) override {
    Window* w = live(hwnd);
    const bool previous = w != nullptr && w->visible;
    if (w != nullptr) m_Windows.setVisible(*w, command != platform::kSW_HIDE);
    record("ShowWindow", Join({Hex(hwnd), Num(command)}), Num(previous));
    return previous;
  }

  // The owner's thread carries it out when it next looks at its queue; the simulation shows
  // the change at once, as the caller cannot tell the difference.
  bool showWindowAsync(Hwnd hwnd, int command) override {
    Window* w = live(hwnd);
    if (w != nullptr) m_Windows.setVisible(*w, command != platform::kSW_HIDE);
    record("ShowWindowAsync", Join({Hex(hwnd), Num(command)}), Num(w != nullptr));
    return w != nullptr;
  }

  bool setWindowPos(Hwnd hwnd, Hwnd after, int x, int y, int cx, int cy, std::uint32_t flags) override {
    Window* w = live(hwnd);
    if (w != nullptr) {
      if ((flags & platform::kSWP_HIDEWINDOW) != 0) m_Windows.setVisible(*w, false);
      if ((flags & platform::kSWP_SHOWWINDOW) != 0) m_Windows.setVisible(*w, true);
    }
    record("SetWindowPos", Join({Hex(hwnd), Hex(after), Num(x), Num(y), Num(cx), Num(cy), Hex(flags)}),
           Num(w != nullptr));
    return w != nullptr;
  }

  bool isWindowVisible(Hwnd hwnd) override {
    bool shown = m_Windows.alive(hwnd) != nullptr;
    for (const Window* w = m_Windows.get(hwnd); shown && w != nullptr; w = w->parent) shown = w->visible;
    record("IsWindowVisible", Hex(hwnd), Num(shown));
    return shown;
  }

  bool isIconic(Hwnd hwnd) override {
    record("IsIconic", Hex(hwnd), "0");
    return false;  // nothing ever minimises the simulated windows
  }

  bool enableWindow(Hwnd hwnd, bool enable) override {
    Window* w = live(hwnd);
    const bool wasDisabled = w != nullptr && !w->enabled;
    if (w != nullptr) w->enabled = enable;
    record("EnableWindow", Join({Hex(hwnd), Num(enable)}), Num(wasDisabled));
    return wasDisabled;
  }

  bool isWindowEnabled(Hwnd hwnd) override {
    const Window* w = m_Windows.alive(hwnd);
    const bool ok = w != nullptr && w->enabled;
    record("IsWindowEnabled", Hex(hwnd), Num(ok));
    return ok;
  }

  Hwnd setFocus(Hwnd hwnd) override {
    ThreadRec* self = Scheduler::current();
    Window* previous = m_Windows.focusWindow();
    Hwnd result = previous != nullptr && previous->owner == self ? previous->hwnd() : nullptr;
    if (hwnd == nullptr) {
      if (result != nullptr) m_Windows.setFocusWindow(nullptr);
    } else if (Window* w = m_Windows.alive(hwnd); w != nullptr && w->owner == self) {
      m_Windows.setFocusWindow(w);
    } else {
      m_Process.setLastError(kERROR_INVALID_WINDOW_HANDLE);  // another thread's window takes no focus
      result = nullptr;
    }
    record("SetFocus", Hex(hwnd), Hex(result));
    return result;
  }

  bool setWindowText(Hwnd hwnd, const char16_t* text) override {
    Window* w = live(hwnd);
    const bool ok = w != nullptr &&
                    m_Windows.send(*w, platform::kWM_SETTEXT, 0, reinterpret_cast<LParam>(text != nullptr ? text : u"")) != 0;
    record("SetWindowText", Join({Hex(hwnd), Quoted(text)}), Num(ok));
    return ok;
  }

  std::u16string getWindowText(Hwnd hwnd) override {
    Window* w = live(hwnd);
    std::u16string text;
    if (w != nullptr && w->process != &m_Process) {
      text = w->text;  // another process's window: read without a message, as Windows does
    } else if (w != nullptr) {
      const auto length = m_Windows.send(*w, platform::kWM_GETTEXTLENGTH, 0, 0);
      std::u16string buffer(static_cast<std::size_t>(std::max<LResult>(length, 0)) + 1, u'\0');
      const auto copied = m_Windows.send(*w, platform::kWM_GETTEXT, buffer.size(), reinterpret_cast<LParam>(buffer.data()));
      text = buffer.substr(0, static_cast<std::size_t>(std::max<LResult>(copied, 0)));
    }
    record("GetWindowText", Hex(hwnd), Quoted(text));
    return text;
  }

  bool getClientRect(Hwnd hwnd, platform::Rect* rect) override {
    const Window* w = live(hwnd);
    if (w != nullptr && rect != nullptr) {
      *rect = w->kind == WindowKind::Dialog ? platform::Rect{0, 0, 537, 543}
              : w->kind == WindowKind::Control ? platform::Rect{0, 0, 100, 24}
                                               : platform::Rect{0, 0, 400, 300};
    }
    record("GetClientRect", Hex(hwnd), Num(w != nullptr));
    return w != nullptr && rect != nullptr;
  }

  int getSystemMetrics(int index) override {
    const int value = index == platform::kSM_CXICON || index == platform::kSM_CYICON ? 32 : 0;
    record("GetSystemMetrics", Num(index), Num(value));
    return value;
  }

  LResult sendMessage(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) override {
    Window* w = live(hwnd);
    const LResult r = w != nullptr ? m_Windows.send(*w, message, wParam, lParam) : 0;
    record("SendMessage", Join({Hex(hwnd), Hex(message), Hex(wParam), Hex(static_cast<std::uintptr_t>(lParam))}),
           Num(r));
    return r;
  }

  bool sendMessageTimeout(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam, std::uint32_t flags,
                          std::uint32_t timeoutMs, LResult* result) override {
    Window* w = live(hwnd);
    bool answered = false;
    const LResult r = w != nullptr ? m_Windows.send(*w, message, wParam, lParam, timeoutMs, &answered) : 0;
    if (answered && result != nullptr) *result = r;
    if (!answered) m_Process.setLastError(platform::Win32Error{1460});  // ERROR_TIMEOUT
    record("SendMessageTimeout",
           Join({Hex(hwnd), Hex(message), Hex(wParam), Hex(static_cast<std::uintptr_t>(lParam)), Hex(flags),
                 Num(static_cast<int>(timeoutMs))}),
           answered ? Num(r) : std::string("timed out"));
    return answered;
  }

  bool postMessage(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) override {
    bool ok = false;
    if (hwnd == nullptr) {
      ThreadRec* self = Scheduler::current();
      ok = self != nullptr && m_Windows.postThread(*self, message, wParam, lParam);
    } else if (Window* w = live(hwnd)) {
      ok = m_Windows.postTo(*w, message, wParam, lParam);
      if (!ok) m_Process.setLastError(kERROR_INVALID_WINDOW_HANDLE);
    }
    record("PostMessage", Join({Hex(hwnd), Hex(message), Hex(wParam), Hex(static_cast<std::uintptr_t>(lParam))}),
           Num(ok));
    return ok;
  }

  bool peekMessage(platform::Msg* msg, Hwnd hwnd, std::uint32_t min, std::uint32_t max, std::uint32_t remove) override {
    const bool got = m_Windows.peek(msg, hwnd, min, max, remove);
    record("PeekMessage", Join({Hex(hwnd), Hex(min), Hex(max), Num(remove)}),
           got && msg != nullptr ? Hex(msg->message) : Num(got));
    return got;
  }

  bool translateMessage(const platform::Msg*) override { return false; }  // no keyboard input

  LResult dispatchMessage(const platform::Msg* msg) override {
    const LResult r = msg != nullptr ? m_Windows.dispatch(*msg) : 0;
    record("DispatchMessage", msg != nullptr ? Join({Hex(msg->hwnd), Hex(msg->message)}) : "null", Num(r));
    return r;
  }

  platform::Hmenu getSystemMenu(Hwnd hwnd, bool revert) override {
    Window* w = live(hwnd);
    const platform::Hmenu menu = w != nullptr && !revert ? m_Windows.menuFor(*w) : nullptr;
    record("GetSystemMenu", Join({Hex(hwnd), Num(revert)}), Hex(menu));
    return menu;
  }

  bool appendMenu(platform::Hmenu menu, std::uint32_t flags, std::uintptr_t id, const char16_t* text) override {
    const bool ok = m_Windows.appendMenu(menu, flags, id, text);
    record("AppendMenu", Join({Hex(menu), Hex(flags), Num(static_cast<std::int64_t>(id)), Quoted(text)}), Num(ok));
    return ok;
  }

  platform::Hdc beginPaint(Hwnd hwnd) override {
    Window* w = live(hwnd);
    platform::Hdc dc = nullptr;
    if (w != nullptr) {
      w->needsPaint = false;
      dc = reinterpret_cast<platform::Hdc>(m_World.nextHandle());
    }
    record("BeginPaint", Hex(hwnd), Hex(dc));
    return dc;
  }

  void endPaint(Hwnd hwnd, platform::Hdc dc) override { record("EndPaint", Join({Hex(hwnd), Hex(dc)}), ""); }

  bool drawIcon(platform::Hdc dc, int x, int y, platform::Hicon icon) override {
    const bool ok = dc != nullptr && m_Windows.validIcon(icon);
    record("DrawIcon", Join({Hex(dc), Num(x), Num(y), Hex(icon)}), Num(ok));
    return ok;
  }

  platform::Himagelist imageListCreate(int cx, int cy, std::uint32_t flags, int initial, int grow) override {
    const platform::Himagelist list = m_Windows.createImageList();
    record("ImageList_Create", Join({Num(cx), Num(cy), Hex(flags), Num(initial), Num(grow)}), Hex(list));
    return list;
  }

  int imageListAddIcon(platform::Himagelist list, platform::Hicon icon) override {
    int* count = m_Windows.imageList(list);
    const int index = count != nullptr && m_Windows.validIcon(icon) ? (*count)++ : -1;
    record("ImageList_AddIcon", Join({Hex(list), Hex(icon)}), Num(index));
    return index;
  }

  std::uint32_t imageListSetBkColor(platform::Himagelist list, std::uint32_t color) override {
    std::uint32_t* bk = m_Windows.imageListBk(list);
    const std::uint32_t previous = bk != nullptr ? *bk : platform::kCLR_NONE;
    if (bk != nullptr) *bk = color;
    record("ImageList_SetBkColor", Join({Hex(list), Hex(color)}), Hex(previous));
    return previous;
  }


 private:
  Window* live(Hwnd hwnd) {
    Window* w = m_Windows.alive(hwnd);
    if (w == nullptr) m_Process.setLastError(kERROR_INVALID_WINDOW_HANDLE);
    return w;
  }
  void record(std::string_view function, const std::string& args, const std::string& result) {
    m_Process.record("window", function, args, result);
  }

  ProcessImpl& m_Process;
  World::Impl& m_World;
  WindowManager& m_Windows;
};

}  // namespace

std::unique_ptr<platform::IWindowSystem> MakeWindows(ProcessImpl& process) {
  return std::make_unique<ProcessWindows>(process);
}

}  // namespace tethra::sim::detail
