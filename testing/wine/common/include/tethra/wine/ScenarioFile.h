// The scenario a simulated piece planted in a Wine prefix plays: the file named by
// TETHRA_SCENARIO (a Windows path), read and parsed with the scenario reader the simulator
// uses. Header only.
//
// Owner: the caller owns the returned scenario. Threads: any. No codes: a file that is named
// but cannot be read or parsed comes back as a refusal text for the caller's log.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "tethra/scenario/Scenario.h"
#include "tethra/wine/ReadFile.h"
#include "tethra/wine/ServiceDll.h"

namespace tethra::tools {

struct ScenarioFromEnvironment {
  bool named = false;  // TETHRA_SCENARIO is set: the piece plays the scenario, not its variables
  std::optional<simrunner::Scenario> scenario;
  std::string refusal;  // when named and no scenario: why
};

inline std::string Utf8Of(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                          nullptr);
  }
  return bytes;
}

inline ScenarioFromEnvironment LoadScenarioFromEnvironment() {
  ScenarioFromEnvironment result;
  const auto path = Environment(L"TETHRA_SCENARIO");
  if (!path) return result;
  result.named = true;
  const std::string name = Utf8Of(*path);
  std::string bytes;
  if (!ReadWholeFile(*path, bytes)) {
    result.refusal = name + ": cannot be read (error " + std::to_string(::GetLastError()) + ")";
    return result;
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
  simrunner::ParseError error;
  result.scenario = simrunner::ParseScenario(bytes, name, &error);
  if (!result.scenario) result.refusal = error.message();
  return result;
}

}  // namespace tethra::tools
