// A simulated process and its two small adapters (trace, code page).
//
// Owner: World::Impl owns each process; the process owns its adapters through its parts.
// Threads: the baton holder. The code page sets the last error of the calling thread, as
// Windows does.
#include "Process.h"

#include "Format.h"
#include "tethra/sim/CodePage.h"
#include "WindowManager.h"
#include "WorldImpl.h"

namespace tethra::sim::detail {

namespace {

class ProcessTrace final : public platform::ITrace {
 public:
  explicit ProcessTrace(ProcessImpl& process) : m_process(process) {}
  void write(const char* line) override {
    m_process.world().trace(m_process.name() + ": " + (line != nullptr ? line : ""));
  }

 private:
  ProcessImpl& m_process;
};

class ProcessCodePage final : public platform::ICodePage {
 public:
  ProcessCodePage(ProcessImpl& process, std::uint32_t acp) : m_process(process), m_converter(acp) {}
  int wideCharToMultiByte(std::uint32_t codePage, Dword flags, const char16_t* wide, int cchWideChar,
                          char* multiByte, int cbMultiByte, const char* defaultChar,
                          platform::Bool32* usedDefaultChar) override {
    const auto r = m_converter.toMultiByte(codePage, flags, wide, cchWideChar, multiByte, cbMultiByte, defaultChar,
                                           usedDefaultChar);
    return finish("WideCharToMultiByte", join({num(codePage), hex(flags), num(cchWideChar), num(cbMultiByte)}), r);
  }
  int multiByteToWideChar(std::uint32_t codePage, Dword flags, const char* multiByte, int cbMultiByte,
                          char16_t* wide, int cchWideChar) override {
    const auto r = m_converter.toWide(codePage, flags, multiByte, cbMultiByte, wide, cchWideChar);
    return finish("MultiByteToWideChar", join({num(codePage), hex(flags), num(cbMultiByte), num(cchWideChar)}), r);
  }

 private:
  int finish(std::string_view function, const std::string& args, const CodePageConverter::Result& r) {
    if (r.error != platform::kERROR_SUCCESS) m_process.setLastError(r.error);
    m_process.record("codepage", function, args,
                     r.error != platform::kERROR_SUCCESS ? "0, error " + num(r.error) : num(r.value));
    return r.value;
  }

  ProcessImpl& m_process;
  CodePageConverter m_converter;
};

}  // namespace

ProcessImpl::ProcessImpl(World::Impl& world, std::string name, bool isProgram,
                         const platform::ModuleResources* resources)
    : m_world(world), m_name(std::move(name)), m_isProgram(isProgram), m_resources(resources) {
  m_parts.own(makeKernel(*this));
  m_parts.own(makeRegistry(*this));
  m_parts.own(makeWindows(*this));
  m_parts.own(makeSystemEvents(*this));
  m_parts.own(std::make_unique<ProcessCodePage>(*this, world.options.codePage));
  m_parts.own(std::make_unique<ProcessTrace>(*this));
}

ProcessImpl::~ProcessImpl() = default;

void ProcessImpl::runExitHooks() {
  std::vector<std::function<void()>> hooks;
  hooks.swap(m_exitHooks);
  for (auto& hook : hooks) hook();
}

platform::Win32Error ProcessImpl::lastError() const {
  const ThreadRec* t = Scheduler::current();
  return t != nullptr ? t->lastError : m_outsideLastError;
}

void ProcessImpl::setLastError(platform::Win32Error error) {
  if (ThreadRec* t = Scheduler::current()) {
    t->lastError = error;
  } else {
    m_outsideLastError = error;
  }
}

void ProcessImpl::record(std::string_view area, std::string_view function, std::string_view arguments,
                         std::string_view result) {
  if (m_isProgram) m_world.recordCall(area, function, arguments, result);
}

}  // namespace tethra::sim::detail
