// The call bookkeeping the simulated services share: calls counted by operation, an armed
// rule's number returned as the call's own status, and the record handed to the host with
// the status as that kind of status is written.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tethra/sim/Faults.h"
#include "tethra/sim/ServiceCalls.h"

namespace {

namespace p = tethra::platform;
namespace sim = tethra::sim;

class RecordingHost final : public sim::IServiceHost {
 public:
  void recordCall(std::string_view operation, std::string_view arguments, std::string_view result) override {
    records.push_back(std::string(operation) + "(" + std::string(arguments) + ") -> " + std::string(result));
  }
  void event(std::string) override {}
  std::vector<std::string> records;
};

// A call in the services' own shape: faulted from a plan, recorded at its result.
class Call : public sim::ServiceCall<p::HResult> {
 public:
  Call(RecordingHost& host, sim::FaultPlan& plan, std::string operation)
      : ServiceCall(std::move(operation)), m_Host(host), m_Plan(plan) {}
  std::optional<p::HResult> fault() {
    const auto rule = m_Plan.take("svc", operation());
    if (!rule) return std::nullopt;
    return sim::FaultStatus<p::HResult>(rule->code);
  }
  p::HResult result(p::HResult hr) {
    static_cast<void>(ServiceCall::result(hr));  // hr is returned below
    record(m_Host);
    return hr;
  }

 private:
  RecordingHost& m_Host;
  sim::FaultPlan& m_Plan;
};

struct Service {
  p::HResult serve(const std::string& operation) {
    counts.count(operation);
    Call c(host, plan, operation);
    c.arguments("x");
    TETHRA_SIM_RETURN_FAULT(c)
    return c.result(p::kS_OK);
  }
  RecordingHost host;
  sim::FaultPlan plan;
  sim::CallCounts counts;
};

TEST(ServiceCallsTest, CountedByOperationFaultedByTheRuleAndRecordedWithTheirStatus) {
  Service service;
  service.plan.add(sim::FaultRule{"svc", "open", 0x80004005, -1, 1});
  EXPECT_EQ(service.serve("open"), p::kE_FAIL);
  EXPECT_EQ(service.serve("open"), p::kS_OK);  // the rule hit once and is spent
  EXPECT_EQ(service.serve("close"), p::kS_OK);
  EXPECT_EQ(service.counts.of("open"), 2u);
  EXPECT_EQ(service.counts.of("close"), 1u);
  EXPECT_EQ(service.counts.of("never"), 0u);
  EXPECT_EQ(service.host.records, (std::vector<std::string>{"open(x) -> 0x80004005", "open(x) -> 0x00000000",
                                                             "close(x) -> 0x00000000"}));
}

TEST(ServiceCallsTest, SystemErrorCodesAreWrittenInDecimal) {
  EXPECT_EQ(sim::FaultStatus<p::Win32Error>(1610), p::Win32Error{1610});
  EXPECT_EQ(sim::StatusText(p::Win32Error{5023}), "5023");
  EXPECT_EQ(sim::StatusText(p::kERROR_SUCCESS), "0");
}

}  // namespace
