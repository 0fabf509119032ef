// CRefObject: the reference-counted base of stations, devices, notification records and
// connection snapshots. The creator holds the first reference; the object is destroyed only
// by the Release that brings the count to zero. Any thread may call AddRef and Release; the
// count is atomic because objects are made on the WLAN thread and released on the dialog's.
#pragma once

#include <atomic>
#include <cstdint>

namespace tethra::base {

class CRefObject {
 public:
  CRefObject() noexcept;
  CRefObject(const CRefObject&) = delete;
  CRefObject& operator=(const CRefObject&) = delete;

  // New count; 0 (and nothing changes) when the object is already being destroyed.
  std::int32_t AddRef() noexcept;
  // New count; the object is gone when it returns 0.
  std::int32_t Release() noexcept;

  // Objects constructed and not yet destroyed in this process: a leak check for tests and
  // the simulated runs.
  static std::int64_t LiveObjects() noexcept;

 protected:
  virtual ~CRefObject();

 private:
  std::atomic<std::int32_t> m_RefCount{1};
};

}  // namespace tethra::base
