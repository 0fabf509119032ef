// The faults a scenario plants: rules that make the next calls of one operation of a simulated
// part fail. Header only and free of the simulation's core, so the simulated notebook and the
// simulated services of the Windows build (DLLs in a Wine prefix) take faults by one rule.
// Not thread-safe: each owner serialises take() with the calls it serves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tethra::sim {

// A fault from the scenario's `fault` lines: the next `remaining` calls of (area, operation)
// fail with `code` (remaining < 0: every call).
struct FaultRule {
  std::string area;       // "wlan", "wlan-query", "alloc", "registry-write", "ics", ...
  std::string operation;  // function or operation name; "" where the area has none
  std::int64_t code = 0;
  std::int64_t extra = -1;  // e.g. the size of a `fault wlan-query OPCODE size N`; -1 for `none`
  int remaining = -1;
  int skip = 0;  // matching calls let through before the rule starts to hit
};

class FaultPlan {
 public:
  void add(FaultRule rule) { m_Rules.push_back(std::move(rule)); }

  // When a rule for (area, operation) is armed: counts one hit and returns it.
  std::optional<FaultRule> take(std::string_view area, std::string_view operation) {
    for (auto& rule : m_Rules) {
      if (rule.area != area || (!rule.operation.empty() && rule.operation != operation)) continue;
      if (rule.remaining == 0) continue;
      if (rule.skip > 0) {
        --rule.skip;
        continue;
      }
      if (rule.remaining > 0) --rule.remaining;
      return rule;
    }
    return std::nullopt;
  }

 private:
  std::vector<FaultRule> m_Rules;
};

}  // namespace tethra::sim
