// Window records, queues and message passing of the simulated window system (see WindowManager.h),
// plus the machine's view of it. Threads: the baton holder. A cross-thread send queues the
// message for the owner and blocks; meanwhile the sender handles what is sent to its own
// windows, so two threads sending to each other cannot deadlock.
#include "WindowManager.h"

#include <algorithm>

#include "Format.h"
#include "WorldImpl.h"

namespace tethra::sim::detail {

using platform::Hwnd;
using platform::LParam;
using platform::LResult;
using platform::Msg;
using platform::WParam;

namespace {
bool inRange(std::uint32_t message, std::uint32_t min, std::uint32_t max) {
  return (min == 0 && max == 0) || (message >= min && message <= max);
}
}  // namespace

// --- Records -------------------------------------------------------------------------------------

Window* WindowManager::get(Hwnd hwnd) const {
  const auto id = reinterpret_cast<std::uintptr_t>(hwnd);
  if (id < kFirstWindow || (id - kFirstWindow) % 2 != 0) return nullptr;
  const std::size_t index = (id - kFirstWindow) / 2;
  return index < m_Windows.size() ? m_Windows[index].get() : nullptr;
}

Window* WindowManager::alive(Hwnd hwnd) const {
  Window* w = get(hwnd);
  return w != nullptr && !w->destroyed ? w : nullptr;
}

Window& WindowManager::make(WindowKind kind, ThreadRec* owner, ProcessImpl* process, std::u16string className,
                            std::u16string text) {
  auto w = std::make_unique<Window>();
  w->id = kFirstWindow + 2 * m_Windows.size();
  w->kind = kind;
  w->owner = owner;
  w->process = process;
  w->className = std::move(className);
  w->text = std::move(text);
  m_Windows.push_back(std::move(w));
  return *m_Windows.back();
}

void WindowManager::destroy(Window& w) {
  if (w.destroyed) return;
  for (Window* child : w.children) destroy(*child);
  w.destroyed = true;
  w.visible = false;  // gone from the screen; no visibility event, the end is its own event
  w.sessionRegistered = false;
  if (m_Focus == &w) m_Focus = nullptr;
  m_Devices.removeWindow(w.id);
  m_World.trace("window " + Quoted(w.text) + " destroyed");
}

void WindowManager::setVisible(Window& w, bool visible) {
  if (w.visible == visible || w.destroyed) return;
  w.visible = visible;
  if (visible) w.needsPaint = true;
  const std::string text = "window " + Quoted(w.text) + (visible ? " shown" : " hidden");
  if (w.kind == WindowKind::Control) {
    m_World.trace(text);
  } else {
    m_World.event(text);
  }
}

void WindowManager::noteProgramDialog(Window& dialog) {
  if (m_ProgramDialog == nullptr && dialog.process != nullptr && dialog.process == m_LatestProgram) {
    m_ProgramDialog = &dialog;
  }
}

bool WindowManager::ownerGone(const Window& w) const {
  return w.owner != nullptr && (w.owner->dead() || (w.process != nullptr && w.process->exited()));
}

// --- Messages ------------------------------------------------------------------------------------

LResult WindowManager::deliver(Window& w, std::uint32_t message, WParam wParam, LParam lParam) {
  if (w.destroyed) return 0;
  switch (w.kind) {
    case WindowKind::Control:
      return controlProc(w, message, wParam, lParam);
    case WindowKind::Machine:
      if (message == platform::kWM_SETTEXT || message == platform::kWM_GETTEXT ||
          message == platform::kWM_GETTEXTLENGTH || !w.machineProc) {
        return defaultProc(w, message, wParam, lParam);
      }
      return w.machineProc(w.hwnd(), message, wParam, lParam);
    case WindowKind::Dialog: {
      if (w.dlgProc == nullptr) return defaultProc(w, message, wParam, lParam);
      const LResult r = w.dlgProc(w.hwnd(), message, wParam, lParam);
      if (r != 0 || message == platform::kWM_INITDIALOG || w.destroyed) return r;
      return defaultProc(w, message, wParam, lParam);
    }
  }
  return 0;
}

LResult WindowManager::send(Window& w, std::uint32_t message, WParam wParam, LParam lParam) {
  bool answered = false;
  return send(w, message, wParam, lParam, kNoTimeout, &answered);
}

LResult WindowManager::send(Window& w, std::uint32_t message, WParam wParam, LParam lParam, std::uint32_t timeoutMs,
                            bool* answered) {
  *answered = false;
  ThreadRec* self = Scheduler::current();
  if (w.destroyed || ownerGone(w)) return 0;
  if (self == nullptr || w.owner == nullptr || w.owner == self) {
    *answered = true;
    return deliver(w, message, wParam, lParam);
  }

  std::optional<std::uint64_t> deadline;
  if (timeoutMs != kNoTimeout) deadline = m_World.scheduler.now() + timeoutMs;
  auto sent = std::make_shared<SentMessage>(SentMessage{&w, message, wParam, lParam});
  queue(w.owner).sent.push_back(sent);
  for (;;) {
    const bool woke =
        m_World.wait([&] { return sent->done || w.destroyed || ownerGone(w) || hasSent(self); }, deadline);
    if (sent->done) {
      *answered = true;
      return sent->result;
    }
    if (w.destroyed || ownerGone(w) || !woke) break;
    serveSent(self);
  }
  std::erase(queue(w.owner).sent, sent);
  return 0;
}

bool WindowManager::postTo(Window& w, std::uint32_t message, WParam wParam, LParam lParam) {
  if (w.destroyed || ownerGone(w)) return false;
  Msg msg;
  msg.hwnd = w.hwnd();
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = static_cast<Dword>(m_World.options.tickCountBase + m_World.scheduler.now());
  queue(w.owner).posted.push_back(msg);
  return true;
}

bool WindowManager::postThread(ThreadRec& thread, std::uint32_t message, WParam wParam, LParam lParam) {
  if (thread.dead()) return false;
  Msg msg;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = static_cast<Dword>(m_World.options.tickCountBase + m_World.scheduler.now());
  queue(&thread).posted.push_back(msg);
  return true;
}

bool WindowManager::peek(Msg* msg, Hwnd filter, std::uint32_t min, std::uint32_t max, std::uint32_t remove) {
  ThreadRec* self = Scheduler::current();
  serveSent(self);  // sent messages are handled first, whatever the filter
  ThreadQueue& q = queue(self);
  std::erase_if(q.posted, [&](const Msg& m) { return m.hwnd != nullptr && alive(m.hwnd) == nullptr; });
  auto matches = [&](Hwnd hwnd) {
    if (filter == nullptr) return true;
    for (Window* w = get(hwnd); w != nullptr; w = w->parent) {
      if (w->hwnd() == filter) return true;
    }
    return false;
  };
  for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
    if (!inRange(it->message, min, max) || (it->hwnd != nullptr && !matches(it->hwnd))) continue;
    if (msg != nullptr) *msg = *it;
    if ((remove & platform::kPM_REMOVE) != 0) q.posted.erase(it);
    return true;
  }
  // As on Windows, WM_PAINT is made up when the queue holds nothing else.
  if (inRange(platform::kWM_PAINT, min, max)) {
    for (auto& w : m_Windows) {
      if (w->owner == self && w->visible && w->needsPaint && !w->destroyed && matches(w->hwnd())) {
        if (msg != nullptr) {
          *msg = Msg{};
          msg->hwnd = w->hwnd();
          msg->message = platform::kWM_PAINT;
        }
        return true;
      }
    }
  }
  return false;
}

LResult WindowManager::dispatch(const Msg& msg) {
  Window* w = alive(msg.hwnd);
  if (w == nullptr || (w->owner != nullptr && w->owner != Scheduler::current())) return 0;
  const LResult r = deliver(*w, msg.message, msg.wParam, msg.lParam);
  // A paint handler that does not validate would otherwise get WM_PAINT for ever.
  if (msg.message == platform::kWM_PAINT) w->needsPaint = false;
  return r;
}

bool WindowManager::hasSent(const ThreadRec* thread) const {
  const auto it = m_Queues.find(thread);
  return it != m_Queues.end() && !it->second.sent.empty();
}

bool WindowManager::paintDue(const ThreadRec* thread) const {
  return std::any_of(m_Windows.begin(), m_Windows.end(), [&](const auto& w) {
    return w->owner == thread && w->visible && w->needsPaint && !w->destroyed;
  });
}

bool WindowManager::hasWork(const ThreadRec* thread) const {
  const auto it = m_Queues.find(thread);
  if (it != m_Queues.end()) {
    if (!it->second.sent.empty()) return true;
    for (const Msg& m : it->second.posted) {
      if (m.hwnd == nullptr || alive(m.hwnd) != nullptr) return true;
    }
  }
  return paintDue(thread);
}

void WindowManager::serveSent(ThreadRec* thread) {
  ThreadQueue& q = queue(thread);
  while (!q.sent.empty()) {
    std::shared_ptr<SentMessage> s = q.sent.front();
    q.sent.pop_front();
    s->result = deliver(*s->target, s->message, s->wParam, s->lParam);
    s->done = true;
  }
}

// --- Lifecycle -----------------------------------------------------------------------------------

void WindowManager::threadEnded(const ThreadRec& thread) {
  for (auto& w : m_Windows) {
    if (w->owner == &thread) destroy(*w);
  }
}

void WindowManager::processExited(const ProcessImpl& process) {
  for (auto& w : m_Windows) {
    if (w->process == &process) destroy(*w);
  }
}

// --- Menus, image lists, icons ---------------------------------------------------------------------

platform::Hmenu WindowManager::menuFor(Window& w) {
  if (!w.hasSystemMenu) return nullptr;
  if (w.systemMenu == nullptr) {
    const std::uintptr_t id = m_World.nextHandle();
    m_Menus[id] = Menu{&w, {}};
    w.systemMenu = reinterpret_cast<platform::Hmenu>(id);
  }
  return w.systemMenu;
}

bool WindowManager::appendMenu(platform::Hmenu menu, std::uint32_t flags, std::uintptr_t, const char16_t* text) {
  const auto it = m_Menus.find(reinterpret_cast<std::uintptr_t>(menu));
  if (it == m_Menus.end()) return false;
  it->second.items.push_back((flags & platform::kMF_SEPARATOR) != 0 || text == nullptr ? u"" : text);
  return true;
}

platform::Himagelist WindowManager::createImageList() {
  const std::uintptr_t id = m_World.nextHandle();
  m_ImageLists[id] = ImageList{};
  return reinterpret_cast<platform::Himagelist>(id);
}

int* WindowManager::imageList(platform::Himagelist list) {
  const auto it = m_ImageLists.find(reinterpret_cast<std::uintptr_t>(list));
  return it == m_ImageLists.end() ? nullptr : &it->second.count;
}

std::uint32_t* WindowManager::imageListBk(platform::Himagelist list) {
  const auto it = m_ImageLists.find(reinterpret_cast<std::uintptr_t>(list));
  return it == m_ImageLists.end() ? nullptr : &it->second.bk;
}

platform::Hicon WindowManager::iconFor(const ProcessImpl& process, int resourceId) {
  const auto* res = process.resources();
  if (res == nullptr || std::find(res->icons.begin(), res->icons.end(), resourceId) == res->icons.end()) {
    return nullptr;
  }
  auto& id = m_Icons[{&process, resourceId}];
  if (id == 0) id = m_World.nextHandle();  // one shared handle per icon, as LoadIcon gives
  return reinterpret_cast<platform::Hicon>(id);
}

bool WindowManager::validIcon(platform::Hicon icon) const {
  const auto value = reinterpret_cast<std::uintptr_t>(icon);
  return std::any_of(m_Icons.begin(), m_Icons.end(), [&](const auto& entry) { return entry.second == value; });
}

// --- The machine's view ----------------------------------------------------------------------------

Hwnd WindowManager::createWindow(std::u16string className, std::u16string title, WndProcFn proc, bool visible) {
  ThreadRec* owner = Scheduler::current();
  ProcessImpl* process = owner != nullptr ? &owner->owner() : m_World.machine;
  Window& w = make(WindowKind::Machine, owner, process, std::move(className), std::move(title));
  w.machineProc = std::move(proc);
  w.visible = visible;
  m_World.trace("window " + Quoted(w.text) + " created" + (visible ? " visible" : ""));
  return w.hwnd();
}

void WindowManager::runMessageLoop(std::function<bool()> until) {
  ThreadRec* self = Scheduler::current();
  if (self == nullptr) return;
  for (;;) {
    if (until && until()) return;
    Msg msg;
    if (peek(&msg, nullptr, 0, 0, platform::kPM_REMOVE)) {
      dispatch(msg);
      continue;
    }
    if (!m_World.wait([&] { return hasWork(self) || (until && until()); }, std::nullopt)) return;
  }
}

bool WindowManager::post(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
  Window* w = alive(hwnd);
  const bool ok = w != nullptr && postTo(*w, message, wParam, lParam);
  m_World.trace("machine post " + Hex(message) + " to " + Hex(hwnd) + (ok ? "" : " dropped"));
  return ok;
}

void WindowManager::broadcast(std::uint32_t message, WParam wParam, LParam lParam) {
  for (std::size_t i = 0; i < m_Windows.size(); ++i) {
    Window& w = *m_Windows[i];
    if (w.kind != WindowKind::Control && !w.destroyed) postTo(w, message, wParam, lParam);
  }
  m_World.trace("machine broadcast " + Hex(message) + " " + Hex(wParam));
}

Hwnd WindowManager::find(std::u16string_view title) const {
  for (const auto& w : m_Windows) {
    if (w->kind != WindowKind::Control && !w->destroyed && w->text == title) return w->hwnd();
  }
  return nullptr;
}

Hwnd WindowManager::programDialog() const { return m_ProgramDialog != nullptr ? m_ProgramDialog->hwnd() : nullptr; }

bool WindowManager::visible(Hwnd hwnd) const {
  const Window* w = get(hwnd);
  return w != nullptr && w->visible && !w->destroyed;
}

bool WindowManager::enabled(Hwnd hwnd) const {
  const Window* w = get(hwnd);
  return w != nullptr && w->enabled;
}

std::u16string WindowManager::text(Hwnd hwnd) const {
  const Window* w = get(hwnd);
  return w != nullptr ? w->text : std::u16string();
}

Hwnd WindowManager::control(Hwnd dialog, int id) const {
  const Window* w = get(dialog);
  if (w == nullptr) return nullptr;
  for (const Window* c : w->children) {
    if (c->ctrlId == id) return c->hwnd();
  }
  return nullptr;
}

std::vector<std::u16string> WindowManager::listBoxLines(Hwnd listBox) const {
  std::vector<std::u16string> lines;
  if (const Window* w = get(listBox)) {
    for (const auto& item : w->items) lines.push_back(item.text);
  }
  return lines;
}

int WindowManager::itemCount(Hwnd hwnd) const {
  const Window* w = get(hwnd);
  return w != nullptr ? static_cast<int>(w->items.size()) : 0;
}

Hwnd WindowManager::focus() const { return m_Focus != nullptr ? m_Focus->hwnd() : nullptr; }

bool WindowManager::checked(Hwnd button) const {
  const Window* w = get(button);
  return w != nullptr && w->check == platform::kBST_CHECKED;
}

int WindowManager::textLimit(Hwnd edit) const {
  const Window* w = get(edit);
  return w != nullptr ? w->textLimit : 0;
}

std::u16string WindowManager::comboSelectionText(Hwnd combo) const {
  const Window* w = get(combo);
  if (w == nullptr || w->cursel < 0 || w->cursel >= static_cast<int>(w->items.size())) return {};
  return w->items[static_cast<std::size_t>(w->cursel)].text;
}

bool WindowManager::sessionNotificationsRegistered(Hwnd hwnd) const {
  const Window* w = get(hwnd);
  return w != nullptr && w->sessionRegistered;
}

void WindowManager::click(Hwnd control) {
  Window* w = alive(control);
  if (w != nullptr) postTo(*w, kBM_CLICK, 0, 0);
  m_World.trace("machine click " + Hex(control) + (w != nullptr ? "" : " dropped"));
}

void WindowManager::invalidate(Hwnd hwnd) {
  if (Window* w = alive(hwnd)) w->needsPaint = true;
}

std::vector<std::u16string> WindowManager::systemMenuItems(Hwnd hwnd) const {
  const Window* w = get(hwnd);
  if (w == nullptr || w->systemMenu == nullptr) return {};
  return m_Menus.at(reinterpret_cast<std::uintptr_t>(w->systemMenu)).items;
}

}  // namespace tethra::sim::detail
