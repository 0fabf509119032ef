// The stand-in controller: owns the window "NetworkSetting LogicUIWnd", the settings values,
// and up to two instances of tethra.exe; runs a parsed script step by step and prints a
// transcript of what it did and what it received, in order.
//
// Threads: everything runs on the thread that created the Controller, which also owns the
// window; every wait (and every message sent to the program) keeps receiving the program's
// WM_COPYDATA. Every wait is bounded. run() returns the exit code: 0 when every wait and
// expectation held, 1 otherwise.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "script.h"

namespace tethra::tools {

class Controller {
 public:
  explicit Controller(std::wstring program);
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;
  ~Controller();

  int run(const std::vector<Step>& steps);

 private:
  struct Received {
    enum class Kind { Code, Notice, Other } kind = Kind::Other;
    ULONG_PTR dwData = 0;
    std::wstring text;
    std::optional<std::wstring> ssid, key;  // a notice: the values at the moment it arrived
  };
  struct Instance {
    const wchar_t* name = L"";
    PROCESS_INFORMATION process{};
    bool started = false;
    std::optional<DWORD> exitCode;
    bool windowSeen = false;
    bool running() const { return started && !exitCode; }
  };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void onCopyData(const COPYDATASTRUCT* data);

  void step(const Step& s);
  void start(Instance& instance, const std::wstring& commandLine);
  void sendToProgram(UINT message, WPARAM wParam, LPARAM lParam, const std::wstring& what);
  bool waitFor(const std::wstring& key, DWORD timeoutMs);
  bool waitExit(Instance& instance, DWORD timeoutMs);
  // Receives messages until `done` holds or `timeoutMs` passed; true when `done` held. With
  // `stopWhenEnded`, also gives up once the program has ended (nothing more can arrive then).
  bool pumpUntil(DWORD timeoutMs, const std::function<bool()>& done, bool stopWhenEnded);
  void poll();
  HWND programWindow(const Instance& instance) const;
  void cleanUp(Instance& instance);

  void check(bool held, const std::wstring& what, const std::wstring& saw);
  void log(const std::wstring& text);
  std::wstring describe(const Received& item) const;
  std::vector<std::wstring> codes() const;
  std::vector<std::wstring> sequence(std::size_t from) const;
  std::size_t count(const std::wstring& key) const;  // since the mark

  std::wstring m_program;
  HWND m_window = nullptr;
  ULONGLONG m_startTick;
  std::vector<Received> m_received;
  std::size_t m_mark = 0;  // index into m_received where waits start looking
  std::map<std::wstring, std::size_t> m_consumed;  // since the mark, by wait key ("notice", "code:X")
  Instance m_main;
  Instance m_second;
  bool m_controllerVisible = true;  // until the program hides it
  int m_failures = 0;
};

}  // namespace tethra::tools
