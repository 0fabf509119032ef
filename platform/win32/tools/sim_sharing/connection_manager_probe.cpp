// connection-manager-probe.exe: asks for the connection manager class as the program does (a
// local server, no code download), lists every connection with its properties record, and
// disconnects and reconnects those whose device is named on the command line. For the Wine
// tests of the simulated sharing service's local activation, without the program around it.
//
// Owner: main owns every interface it gets (ComPtr-like holders below) and every record.
// Threads: main only. Output: one line a step on stdout ("create 0x...", "connection "NAME" on
// "DEVICE"", "reset "NAME" 0x..."). Exit codes: 0 every call succeeded, 1 one failed.
#include <netcon.h>
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "tethra/platform/sharing.h"
#include "win32_common.h"

namespace {

using tethra::win32::ToGuid;

const GUID kClsidConnectionManager = ToGuid(tethra::platform::kCLSID_ConnectionManager);
const GUID kIidNetConnectionManager = ToGuid(tethra::platform::kIID_INetConnectionManager);

// One reference, given back when the holder ends.
template <typename T>
class Held {
 public:
  Held() = default;
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() {
    if (m_p != nullptr) m_p->Release();
  }
  T** put() { return &m_p; }
  T* operator->() const { return m_p; }

 private:
  T* m_p = nullptr;
};

// A record from a connection manager's connection: its texts and itself in task memory.
class Record {
 public:
  Record() = default;
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;
  ~Record() {
    if (m_p == nullptr) return;
    ::CoTaskMemFree(m_p->pszwName);
    ::CoTaskMemFree(m_p->pszwDeviceName);
    ::CoTaskMemFree(m_p);
  }
  NETCON_PROPERTIES** put() { return &m_p; }
  const NETCON_PROPERTIES* operator->() const { return m_p; }

 private:
  NETCON_PROPERTIES* m_p = nullptr;
};

class ComApartment {
 public:
  ComApartment() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(m_hr)) ::CoUninitialize();
  }

 private:
  HRESULT m_hr;
};

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '?';
  return out;
}

int Probe(const wchar_t* resetDevice) {
  Held<INetConnectionManager> manager;
  HRESULT hr = ::CoCreateInstance(kClsidConnectionManager, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_NO_CODE_DOWNLOAD,
                                  kIidNetConnectionManager, reinterpret_cast<void**>(manager.put()));
  std::printf("create 0x%08lX\n", static_cast<unsigned long>(hr));
  if (FAILED(hr)) return 1;
  Held<IEnumNetConnection> connections;
  hr = manager->EnumConnections(NCME_DEFAULT, connections.put());
  std::printf("enum 0x%08lX\n", static_cast<unsigned long>(hr));
  if (FAILED(hr)) return 1;
  int failures = 0;
  for (;;) {
    Held<INetConnection> connection;
    ULONG fetched = 0;
    hr = connections->Next(1, connection.put(), &fetched);
    if (hr != S_OK || fetched != 1) break;
    Record record;
    hr = connection->GetProperties(record.put());
    if (FAILED(hr)) {
      std::printf("properties 0x%08lX\n", static_cast<unsigned long>(hr));
      ++failures;
      continue;
    }
    std::printf("connection \"%s\" on \"%s\"\n", Narrow(record->pszwName).c_str(),
                Narrow(record->pszwDeviceName).c_str());
    if (resetDevice != nullptr && std::wstring(record->pszwDeviceName) == resetDevice) {
      const HRESULT off = connection->Disconnect();
      const HRESULT on = connection->Connect();
      std::printf("reset \"%s\" 0x%08lX 0x%08lX\n", Narrow(record->pszwName).c_str(), static_cast<unsigned long>(off),
                  static_cast<unsigned long>(on));
      if (FAILED(off) || FAILED(on)) ++failures;
    }
  }
  if (FAILED(hr)) {
    std::printf("next 0x%08lX\n", static_cast<unsigned long>(hr));
    ++failures;
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const ComApartment apartment;
  return Probe(argc > 1 ? argv[1] : nullptr);
}
