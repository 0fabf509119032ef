// The program's frees of the task memory simsharing.dll hands out.
#include "task_memory_spy.h"

#include <objbase.h>
#include <windows.h>

#include <mutex>
#include <unordered_set>

#include "sharing_server.h"

namespace tethra::tools {

namespace {

class TaskMemorySpy final : public IMallocSpy {
 public:
  void track(void* block) {
    std::lock_guard lock(m_lock);
    m_blocks.insert(block);
  }

  // --- IUnknown: a process-lifetime object ---------------------------------------------------
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = iid == IID_IUnknown || iid == IID_IMallocSpy ? static_cast<IMallocSpy*>(this) : nullptr;
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  // --- IMallocSpy: every request passes unchanged; only frees are looked at -------------------
  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T request) override { return request; }
  void* STDMETHODCALLTYPE PostAlloc(void* actual) override { return actual; }
  void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override {
    bool ours = false;
    {
      std::lock_guard lock(m_lock);
      ours = request != nullptr && m_blocks.erase(request) == 1;
    }
    if (ours) {
      SharingServer& server = SharingServer::Instance();
      auto guard = server.enter();
      server.write("call task-mem-free() -> 0x00000000");
    }
    return request;
  }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override {
    *newRequest = request;
    return size;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}

 private:
  std::mutex m_lock;
  std::unordered_set<void*> m_blocks;
};

TaskMemorySpy& Spy() {
  static TaskMemorySpy* const spy = [] {
    auto* made = new TaskMemorySpy();  // process lifetime, see the header
    if (FAILED(::CoRegisterMallocSpy(made))) {
      auto guard = SharingServer::Instance().enter();
      SharingServer::Instance().write("task memory spy not registered: frees are not counted");
    }
    return made;
  }();
  return *spy;
}

}  // namespace

void* AllocateTrackedTaskMemory(std::size_t bytes) {
  TaskMemorySpy& spy = Spy();
  void* block = ::CoTaskMemAlloc(bytes);
  if (block != nullptr) spy.track(block);
  return block;
}

}  // namespace tethra::tools
