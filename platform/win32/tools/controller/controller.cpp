// The stand-in controller's run: its window and what it receives, the settings values, the
// program's instances, the messages it sends the program, the waits and the expectations.
// Main thread only (the window's thread). Waits keep dispatching messages, so the program is
// never left blocked in a WM_COPYDATA send; messages to the program are sent with a timeout.
#include "controller.h"

#include <algorithm>
#include <cstdio>

namespace tethra::tools {

namespace {

constexpr wchar_t kControllerTitle[] = L"NetworkSetting LogicUIWnd";
constexpr wchar_t kControllerClass[] = L"TethraStandInController";
constexpr wchar_t kProgramTitle[] = L"WiFi Hosted Network";
constexpr wchar_t kSettingsKey[] = L"Software\\Velmar Corporation\\Zentro Control Center\\Settings\\Network\\Tethra";
constexpr wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\Microsoft\\Windows\\Network Connections";
constexpr ULONG_PTR kStatusCode = 1136;
constexpr ULONG_PTR kNameAndKeyNotice = 1137;
constexpr DWORD kSendTimeoutMs = 5000;
constexpr DWORD kCleanUpMs = 5000;
constexpr DWORD kPollMs = 20;

std::wstring Quote(const std::wstring& text) {
  std::wstring out = L"\"";
  for (wchar_t c : text) {
    if (c == L'"' || c == L'\\') {
      out += L'\\';
      out += c;
    } else if (c < 0x20) {
      wchar_t escaped[8];
      std::swprintf(escaped, 8, L"\\x%02X", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + L"\"";
}

std::wstring Quote(const std::optional<std::wstring>& text) { return text ? Quote(*text) : L"<absent>"; }

std::wstring Join(const std::vector<std::wstring>& items) {
  if (items.empty()) return L"none";
  std::wstring out;
  for (const std::wstring& item : items) out += (out.empty() ? L"" : L" ") + item;
  return out;
}

std::optional<std::wstring> ReadSetting(const std::wstring& name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::optional<std::wstring> result;
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes) ==
        ERROR_SUCCESS) {
      value.resize(std::min<std::size_t>(value.size(), bytes / sizeof(wchar_t)));
      while (!value.empty() && value.back() == L'\0') value.pop_back();
      result = value;
    }
  }
  ::RegCloseKey(key);
  return result;
}

// Settings are written where the program reads them: HKLM, 32-bit view.
LSTATUS WithSettingsKey(const std::function<LSTATUS(HKEY)>& action) {
  HKEY key = nullptr;
  LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0,
                                     KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = action(key);
  ::RegCloseKey(key);
  return status;
}

WPARAM PowerEvent(const std::wstring& name) {
  if (name == L"suspend") return PBT_APMSUSPEND;
  if (name == L"resume-suspend") return PBT_APMRESUMESUSPEND;
  return PBT_APMRESUMEAUTOMATIC;  // "resume", "resume-automatic"
}

WPARAM SessionEvent(const std::wstring& name) {
  if (name == L"console-connect") return WTS_CONSOLE_CONNECT;
  if (name == L"console-disconnect") return WTS_CONSOLE_DISCONNECT;
  if (name == L"remote-connect") return WTS_REMOTE_CONNECT;
  if (name == L"remote-disconnect") return WTS_REMOTE_DISCONNECT;
  if (name == L"logon") return WTS_SESSION_LOGON;
  if (name == L"logoff") return WTS_SESSION_LOGOFF;
  if (name == L"lock") return WTS_SESSION_LOCK;
  return WTS_SESSION_UNLOCK;
}

struct WindowSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchProgramWindow(HWND window, LPARAM raw) {
  auto* search = reinterpret_cast<WindowSearch*>(raw);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId) return TRUE;
  // Another process's caption is read without a message: no wait on the program's thread.
  wchar_t title[64] = {};
  ::GetWindowTextW(window, title, 64);
  if (std::wstring(title) != kProgramTitle) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

Controller::Controller(std::wstring program) : m_program(std::move(program)), m_startTick(::GetTickCount64()) {
  m_main.name = L"tethra";
  m_second.name = L"second tethra";
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Controller::WindowProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kControllerClass;
  ::RegisterClassExW(&windowClass);
  m_window = ::CreateWindowExW(0, kControllerClass, kControllerTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                               CW_USEDEFAULT, 320, 200, nullptr, nullptr, windowClass.hInstance, this);
  if (m_window == nullptr) {
    log(L"cannot create the controller window (error " + std::to_wstring(::GetLastError()) + L")");
    return;
  }
  ::ShowWindow(m_window, SW_SHOWNOACTIVATE);
  log(L"controller window " + Quote(std::wstring(kControllerTitle)) + L" created");
}

Controller::~Controller() {
  for (Instance* instance : {&m_main, &m_second}) {
    if (instance->process.hProcess != nullptr) ::CloseHandle(instance->process.hProcess);
    if (instance->process.hThread != nullptr) ::CloseHandle(instance->process.hThread);
  }
  if (m_window != nullptr) ::DestroyWindow(m_window);
}

LRESULT CALLBACK Controller::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Controller*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_COPYDATA && self != nullptr) {
    self->onCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    return TRUE;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void Controller::onCopyData(const COPYDATASTRUCT* data) {
  if (data == nullptr) {
    log(L"received WM_COPYDATA without data");
    m_received.push_back(Received{});
    return;
  }
  Received item;
  item.dwData = data->dwData;
  // The length comes from cbData alone: the text carries no terminating NUL.
  if (data->lpData != nullptr) item.text.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / 2);
  if (data->dwData == kStatusCode) {
    item.kind = Received::Kind::Code;
  } else if (data->dwData == kNameAndKeyNotice) {
    item.kind = Received::Kind::Notice;
    // The program has written both before sending, and waits for this handler meanwhile.
    item.ssid = ReadSetting(L"Current SSID");
    item.key = ReadSetting(L"Current Key");
  }
  std::wstring remark;
  if (data->cbData % 2 != 0) remark += L" (odd byte count " + std::to_wstring(data->cbData) + L")";
  if (item.text.find(L'\0') != std::wstring::npos) remark += L" (contains NUL)";
  log(L"received " + describe(item) + remark);
  m_received.push_back(std::move(item));
}

std::wstring Controller::describe(const Received& item) const {
  switch (item.kind) {
    case Received::Kind::Code:
      return L"code " + Quote(item.text);
    case Received::Kind::Notice:
      return L"notice " + Quote(item.text) + L" (Current SSID " + Quote(item.ssid) + L", Current Key " +
             Quote(item.key) + L")";
    case Received::Kind::Other:
      break;
  }
  return L"dwData " + std::to_wstring(item.dwData) + L" " + Quote(item.text);
}

std::vector<std::wstring> Controller::codes() const {
  std::vector<std::wstring> out;
  for (const Received& item : m_received) {
    if (item.kind == Received::Kind::Code) out.push_back(item.text);
  }
  return out;
}

std::vector<std::wstring> Controller::sequence(std::size_t from) const {
  std::vector<std::wstring> seen;
  for (std::size_t i = from; i < m_received.size(); ++i) {
    const Received& item = m_received[i];
    seen.push_back(item.kind == Received::Kind::Notice ? L"notice"
                   : item.kind == Received::Kind::Code ? item.text
                                                       : L"dwData:" + std::to_wstring(item.dwData));
  }
  return seen;
}

std::size_t Controller::count(const std::wstring& key) const {
  const auto from = m_received.begin() + static_cast<std::ptrdiff_t>(std::min(m_mark, m_received.size()));
  return static_cast<std::size_t>(std::count_if(from, m_received.end(), [&](const Received& item) {
    if (key == L"notice") return item.kind == Received::Kind::Notice;
    return item.kind == Received::Kind::Code && L"code:" + item.text == key;
  }));
}

void Controller::log(const std::wstring& text) {
  std::wstring stamp = std::to_wstring(::GetTickCount64() - m_startTick);
  if (stamp.size() < 6) stamp.insert(0, 6 - stamp.size(), L' ');
  const std::wstring line = L"[" + stamp + L" ms] " + text + L"\n";
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(std::max(size, 0)), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size, nullptr,
                        nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

void Controller::check(bool held, const std::wstring& what, const std::wstring& saw) {
  if (held) {
    log(what + L": ok");
  } else {
    ++m_failures;
    log(what + L": FAILED, saw " + saw);
  }
}

HWND Controller::programWindow(const Instance& instance) const {
  if (!instance.running()) return nullptr;
  WindowSearch search{instance.process.dwProcessId, nullptr};
  ::EnumWindows(&MatchProgramWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void Controller::poll() {
  for (Instance* instance : {&m_main, &m_second}) {
    if (!instance->running()) continue;
    if (!instance->windowSeen && programWindow(*instance) != nullptr) {
      instance->windowSeen = true;
      log(std::wstring(instance->name) + L": window " + Quote(std::wstring(kProgramTitle)) + L" is there");
    }
    if (::WaitForSingleObject(instance->process.hProcess, 0) == WAIT_OBJECT_0) {
      DWORD code = 0;
      ::GetExitCodeProcess(instance->process.hProcess, &code);
      instance->exitCode = code;
      log(std::wstring(instance->name) + L" ended, exit code " + std::to_wstring(code));
    }
  }
  if (m_controllerVisible && m_window != nullptr && !::IsWindowVisible(m_window)) {
    m_controllerVisible = false;
    log(L"controller window hidden");
  }
}

bool Controller::pumpUntil(DWORD timeoutMs, const std::function<bool()>& done, bool stopWhenEnded) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    poll();
    if (done()) return true;
    // Everything the program sent was handled before it could end.
    if (stopWhenEnded && m_main.started && !m_main.running()) return false;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    HANDLE handles[2];
    DWORD handleCount = 0;
    for (const Instance* instance : {&m_main, &m_second}) {
      if (instance->running()) handles[handleCount++] = instance->process.hProcess;
    }
    const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, kPollMs));
    ::MsgWaitForMultipleObjectsEx(handleCount, handles, slice, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

bool Controller::waitFor(const std::wstring& key, DWORD timeoutMs) {
  std::size_t& consumed = m_consumed[key];
  const bool arrived = pumpUntil(timeoutMs, [&] { return count(key) > consumed; }, true);
  if (arrived) ++consumed;
  return arrived;
}

bool Controller::waitExit(Instance& instance, DWORD timeoutMs) {
  if (!instance.started) return false;
  return pumpUntil(timeoutMs, [&] { return !instance.running(); }, false);
}

void Controller::start(Instance& instance, const std::wstring& commandLine) {
  const std::wstring what = L"start " + std::wstring(instance.name) + L" " + Quote(commandLine);
  if (instance.started) {
    check(false, what, L"it was started before");
    return;
  }
  std::wstring line = L"\"" + m_program + L"\"";
  if (!commandLine.empty()) line += L" " + commandLine;
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!::CreateProcessW(m_program.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &instance.process)) {
    check(false, what, L"CreateProcessW error " + std::to_wstring(::GetLastError()) + L" for " + Quote(m_program));
    return;
  }
  instance.started = true;
  log(L"started " + std::wstring(instance.name) + L" (pid " + std::to_wstring(instance.process.dwProcessId) +
      L") with command line " + Quote(commandLine));
}

void Controller::sendToProgram(UINT message, WPARAM wParam, LPARAM lParam, const std::wstring& what) {
  pumpUntil(0, [] { return false; }, false);  // the window may have just appeared
  const HWND window = programWindow(m_main);
  if (window == nullptr) {
    check(false, L"send " + what, L"no program window");
    return;
  }
  DWORD_PTR answer = 0;
  // Sent like the system sends it; the program's WM_COPYDATA to us is still handled meanwhile.
  if (::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &answer) != 0) {
    log(L"sent " + what + L", answer " + std::to_wstring(answer));
  } else {
    log(L"sent " + what + L", no answer (error " + std::to_wstring(::GetLastError()) + L")");
  }
}

void Controller::cleanUp(Instance& instance) {
  pumpUntil(0, [] { return false; }, false);
  if (!instance.running()) return;
  log(L"clean-up: " + std::wstring(instance.name) + L" still runs; posting WM_CLOSE");
  if (const HWND window = programWindow(instance)) ::PostMessageW(window, WM_CLOSE, 0, 0);
  if (!waitExit(instance, kCleanUpMs)) {
    log(L"clean-up: " + std::wstring(instance.name) + L" did not end; terminating it");
    ::TerminateProcess(instance.process.hProcess, 1);
    ::WaitForSingleObject(instance.process.hProcess, kCleanUpMs);
  }
}

void Controller::step(const Step& s) {
  log(L"> " + s.text);
  switch (s.kind) {
    case StepKind::Program:
      m_program = s.args[0];
      return;
    case StepKind::Write: {
      const std::wstring& value = s.args[1];
      const LSTATUS status = WithSettingsKey([&](HKEY key) {
        return ::RegSetValueExW(key, s.args[0].c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
      });
      if (status != ERROR_SUCCESS) check(false, L"write " + Quote(s.args[0]), L"error " + std::to_wstring(status));
      return;
    }
    case StepKind::Delete: {
      const LSTATUS status = WithSettingsKey([&](HKEY key) { return ::RegDeleteValueW(key, s.args[0].c_str()); });
      if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        check(false, L"delete " + Quote(s.args[0]), L"error " + std::to_wstring(status));
      }
      return;
    }
    case StepKind::Policy: {
      LSTATUS status = ERROR_SUCCESS;
      if (s.args[0] == L"present") {
        HKEY key = nullptr;
        status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY,
                                   nullptr, &key, nullptr);
        if (status == ERROR_SUCCESS) ::RegCloseKey(key);
      } else {
        status = ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, KEY_WOW64_64KEY, 0);
        if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
      }
      if (status != ERROR_SUCCESS) check(false, L"policy " + s.args[0], L"error " + std::to_wstring(status));
      return;
    }
    case StepKind::Start:
      start(m_main, s.rest);
      return;
    case StepKind::StartSecond:
      start(m_second, s.rest);
      return;
    case StepKind::WaitWindow:
      check(pumpUntil(s.timeoutMs, [&] { return m_main.windowSeen; }, true), L"wait window",
            L"no program window");
      return;
    case StepKind::WaitReady:
      check(pumpUntil(
                s.timeoutMs,
                [&] { return m_main.running() && ::WaitForInputIdle(m_main.process.hProcess, 0) == 0; }, true),
            L"wait ready", m_main.running() ? L"the program still busy" : L"no running program");
      return;
    case StepKind::WaitCode:
      check(waitFor(L"code:" + s.args[0], s.timeoutMs), L"wait code " + s.args[0], L"codes " + Join(codes()));
      return;
    case StepKind::WaitNotice:
      check(waitFor(L"notice", s.timeoutMs), L"wait notice",
            std::to_wstring(count(L"notice")) + L" notice(s), " + std::to_wstring(m_consumed[L"notice"]) +
                L" taken before");
      return;
    case StepKind::WaitExit:
      check(waitExit(m_main, s.timeoutMs), L"wait exit", m_main.started ? L"still running" : L"never started");
      return;
    case StepKind::WaitSecondExit:
      check(waitExit(m_second, s.timeoutMs), L"wait second-exit",
            m_second.started ? L"still running" : L"never started");
      return;
    case StepKind::Sleep:
      pumpUntil(s.timeoutMs, [] { return false; }, false);
      return;
    case StepKind::Mark:
      pumpUntil(0, [] { return false; }, false);
      m_mark = m_received.size();
      m_consumed.clear();
      log(L"mark: " + std::to_wstring(m_mark) + L" message(s) before it");
      return;
    case StepKind::PostClose: {
      pumpUntil(0, [] { return false; }, false);
      const HWND window = programWindow(m_main);
      if (window == nullptr || !::PostMessageW(window, WM_CLOSE, 0, 0)) {
        check(false, L"post close", L"no program window");
      } else {
        log(L"posted WM_CLOSE");
      }
      return;
    }
    case StepKind::Power:
      sendToProgram(WM_POWERBROADCAST, PowerEvent(s.args[0]), 0, L"WM_POWERBROADCAST " + s.args[0]);
      return;
    case StepKind::Session: {
      DWORD session = s.number;
      if (s.args.size() < 2) ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
      sendToProgram(WM_WTSSESSION_CHANGE, SessionEvent(s.args[0]), static_cast<LPARAM>(session),
                    L"WM_WTSSESSION_CHANGE " + s.args[0] + L" (session " + std::to_wstring(session) + L")");
      return;
    }
    case StepKind::EndSession:
      sendToProgram(WM_ENDSESSION, s.number, 0, L"WM_ENDSESSION " + std::wstring(s.number ? L"TRUE" : L"FALSE"));
      return;
    case StepKind::ExpectCodes:
      pumpUntil(0, [] { return false; }, false);
      check(codes() == s.args, L"expect codes " + Join(s.args), Join(codes()));
      return;
    case StepKind::ExpectSequence:
    case StepKind::ExpectSinceMark: {
      pumpUntil(0, [] { return false; }, false);
      const bool all = s.kind == StepKind::ExpectSequence;
      const std::vector<std::wstring> seen = sequence(all ? 0 : m_mark);
      check(seen == s.args, std::wstring(all ? L"expect sequence " : L"expect since-mark ") + Join(s.args),
            Join(seen));
      return;
    }
    case StepKind::ExpectNotices:
      pumpUntil(0, [] { return false; }, false);
      check(count(L"notice") == s.number, L"expect notices " + std::to_wstring(s.number),
            std::to_wstring(count(L"notice")));
      return;
    case StepKind::ExpectNotice: {
      pumpUntil(0, [] { return false; }, false);
      std::vector<const Received*> notices;
      for (const Received& item : m_received) {
        if (item.kind == Received::Kind::Notice) notices.push_back(&item);
      }
      const std::wstring what = L"expect notice " + s.args[0] + L" " + Quote(s.args[1]) + L" " + Quote(s.args[2]) +
                                L" " + Quote(s.args[3]);
      auto matches = [&](const Received* notice) {
        return notice->text == s.args[1] && notice->ssid == s.args[2] && notice->key == s.args[3];
      };
      if (s.args[0] == L"all") {
        const auto wrong = std::find_if_not(notices.begin(), notices.end(), matches);
        const std::wstring saw = notices.empty()          ? std::wstring(L"no notice")
                                 : wrong != notices.end() ? describe(**wrong)
                                                          : std::to_wstring(notices.size()) + L" notice(s)";
        check(!notices.empty() && wrong == notices.end(), what, saw);
        return;
      }
      const std::size_t index = s.args[0] == L"last" ? notices.size() : s.number;
      if (index == 0 || index > notices.size()) {
        check(false, what, std::to_wstring(notices.size()) + L" notice(s)");
        return;
      }
      check(matches(notices[index - 1]), what, describe(*notices[index - 1]));
      return;
    }
    case StepKind::ExpectExit:
    case StepKind::ExpectSecondExit: {
      Instance& instance = s.kind == StepKind::ExpectExit ? m_main : m_second;
      const bool ended = waitExit(instance, s.timeoutMs);
      const std::wstring saw = !instance.started ? L"never started"
                               : !ended          ? L"still running after " + std::to_wstring(s.timeoutMs) + L" ms"
                                                 : L"exit code " + std::to_wstring(*instance.exitCode);
      check(ended && *instance.exitCode == s.number,
            L"expect " + std::wstring(s.kind == StepKind::ExpectExit ? L"exit " : L"second-exit ") +
                std::to_wstring(s.number),
            saw);
      return;
    }
    case StepKind::ExpectRunning:
      pumpUntil(0, [] { return false; }, false);
      check(m_main.running(), L"expect running",
            !m_main.started ? L"never started" : L"ended with exit code " + std::to_wstring(*m_main.exitCode));
      return;
    case StepKind::ExpectRegistry: {
      const std::optional<std::wstring> value = ReadSetting(s.args[0]);
      check(value == s.args[1], L"expect registry " + Quote(s.args[0]) + L" " + Quote(s.args[1]), Quote(value));
      return;
    }
    case StepKind::ExpectRegistryAbsent: {
      const std::optional<std::wstring> value = ReadSetting(s.args[0]);
      check(!value, L"expect registry-absent " + Quote(s.args[0]), Quote(value));
      return;
    }
    case StepKind::ExpectWindow:
    case StepKind::ExpectSecondWindow: {
      pumpUntil(0, [] { return false; }, false);
      const Instance& instance = s.kind == StepKind::ExpectWindow ? m_main : m_second;
      const bool wanted = s.args[0] == L"seen";
      check(instance.windowSeen == wanted,
            L"expect " + std::wstring(s.kind == StepKind::ExpectWindow ? L"window " : L"second-window ") + s.args[0],
            instance.windowSeen ? L"the window" : L"no window");
      return;
    }
  }
}

int Controller::run(const std::vector<Step>& steps) {
  if (m_window == nullptr) return 1;
  for (const Step& s : steps) step(s);
  cleanUp(m_main);
  cleanUp(m_second);
  std::wstring received;
  for (const Received& item : m_received) received += (received.empty() ? L"" : L", ") + describe(item);
  log(L"received in order: " + (received.empty() ? std::wstring(L"nothing") : received));
  log(m_failures == 0 ? std::wstring(L"result: PASS")
                      : L"result: FAIL (" + std::to_wstring(m_failures) + L" failed step(s))");
  return m_failures == 0 ? 0 : 1;
}

}  // namespace tethra::tools
