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
  explicit ProcessTrace(ProcessImpl& process) : m_Process(process) {}
  void write(const char* line) override {
    m_Process.world().trace(m_Process.name() + ": " + (line != nullptr ? line : ""));
  }

 private:
  ProcessImpl& m_Process;
};

class ProcessCodePage final : public platform::ICodePage {
 public:
  ProcessCodePage(ProcessImpl& process, std::uint32_t acp) : m_Process(process), m_Converter(acp) {}
  int wideCharToMultiByte(std::uint32_t codePage, Dword flags, const char16_t* wide, int cchWideChar,
                          char* multiByte, int cbMultiByte, const char* defaultChar,
                          platform::Bool32* usedDefaultChar) override {
    const auto r = m_Converter.toMultiByte(codePage, flags, wide, cchWideChar, multiByte, cbMultiByte, defaultChar,
                                           usedDefaultChar);
    return finish("WideCharToMultiByte", Join({Num(codePage), Hex(flags), Num(cchWideChar), Num(cbMultiByte)}), r);
  }
  int multiByteToWideChar(std::uint32_t codePage, Dword flags, const char* multiByte, int cbMultiByte,
                          char16_t* wide, int cchWideChar) override {
    const auto r = m_Converter.toWide(codePage, flags, multiByte, cbMultiByte, wide, cchWideChar);
    return finish("MultiByteToWideChar", Join({Num(codePage), Hex(flags), Num(cbMultiByte), Num(cchWideChar)}), r);
  }

 private:
  int finish(std::string_view function, const std::string& args, const CodePageConverter::Result& r) {
    if (r.error != platform::kERROR_SUCCESS) m_Process.setLastError(r.error);
    m_Process.record("codepage", function, args,
                     r.error != platform::kERROR_SUCCESS ? "0, error " + Num(r.error) : Num(r.value));
    return r.value;
  }

  ProcessImpl& m_Process;
  CodePageConverter m_Converter;
};

}  // namespace

ProcessImpl::ProcessImpl(World::Impl& world, std::string name, bool isProgram,
                         const platform::ModuleResources* resources)
    : m_World(world), m_Name(std::move(name)), m_IsProgram(isProgram), m_Resources(resources) {
  m_Parts.own(MakeKernel(*this));
  m_Parts.own(MakeRegistry(*this));
  m_Parts.own(MakeWindows(*this));
  m_Parts.own(MakeSystemEvents(*this));
  m_Parts.own(std::make_unique<ProcessCodePage>(*this, world.options.codePage));
  m_Parts.own(std::make_unique<ProcessTrace>(*this));
}

ProcessImpl::~ProcessImpl() = default;

void ProcessImpl::runExitHooks() {
  std::vector<std::function<void()>> hooks;
  hooks.swap(m_ExitHooks);
  for (auto& hook : hooks) hook();
}

platform::Win32Error ProcessImpl::lastError() const {
  const ThreadRec* t = Scheduler::current();
  return t != nullptr ? t->lastError : m_OutsideLastError;
}

void ProcessImpl::setLastError(platform::Win32Error error) {
  if (ThreadRec* t = Scheduler::current()) {
    t->lastError = error;
  } else {
    m_OutsideLastError = error;
  }
}

void ProcessImpl::record(std::string_view area, std::string_view function, std::string_view arguments,
                         std::string_view result) {
  if (m_IsProgram) m_World.recordCall(area, function, arguments, result);
}

}  // namespace tethra::sim::detail
