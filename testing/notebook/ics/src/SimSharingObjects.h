// The simulated service's COM objects: sharing manager, every-connection collection and its
// enumerator, connection, sharing configuration, connection manager and its enumerator. Each
// counts its references with the service and ends with its last Release. The program's
// thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "tethra/sim/ics/SimSharingService.h"

namespace tethra::sim {

template <typename Interface>
class SimObject : public Interface {
 public:
  explicit SimObject(SimSharingService& service) : m_Service(service) { m_Service.objectMade(); }
  SimObject(const SimObject&) = delete;
  SimObject& operator=(const SimObject&) = delete;
  virtual ~SimObject() = default;

  std::uint32_t AddRef() override {
    m_Service.referenceTaken();
    return ++m_Count;
  }
  std::uint32_t Release() override {
    if (m_Count == 0) {
      m_Service.misuse();  // released once too often: never happens to a live object
      return 0;
    }
    const std::uint32_t left = --m_Count;
    m_Service.referenceGiven(left == 0);
    if (left == 0) delete this;
    return left;
  }

 protected:
  SimSharingService& m_Service;

 private:
  std::uint32_t m_Count = 1;
};

class SimConnection final : public SimObject<platform::INetConnection> {
 public:
  SimConnection(SimSharingService& service, std::size_t index) : SimObject(service), m_Index(index) {}
  platform::HResult GetProperties(platform::NetconProperties** properties) override;
  platform::HResult Disconnect() override;
  platform::HResult Connect() override;
  std::size_t index() const { return m_Index; }

 private:
  std::size_t m_Index;
};

class SimSharingConfiguration final : public SimObject<platform::INetSharingConfiguration> {
 public:
  SimSharingConfiguration(SimSharingService& service, std::size_t index) : SimObject(service), m_Index(index) {}
  platform::HResult get_SharingEnabled(platform::VariantBool* enabled) override;
  platform::HResult get_SharingConnectionType(std::int32_t* type) override;
  platform::HResult DisableSharing() override;
  platform::HResult EnableSharing(std::int32_t type) override;

 private:
  std::size_t m_Index;
};

class SimEveryConnectionEnum final : public SimObject<platform::IEnumNetSharingEveryConnection> {
 public:
  explicit SimEveryConnectionEnum(SimSharingService& service) : SimObject(service) {}
  platform::HResult Next(std::uint32_t count, platform::INetConnection** connection, std::uint32_t* fetched) override;
  platform::HResult Reset() override;

 private:
  std::size_t m_Position = 0;
};

class SimEveryConnectionCollection final : public SimObject<platform::INetSharingEveryConnectionCollection> {
 public:
  explicit SimEveryConnectionCollection(SimSharingService& service) : SimObject(service) {}
  platform::HResult get__NewEnum(platform::IEnumNetSharingEveryConnection** enumerator) override;
};

class SimNetSharingManager final : public SimObject<platform::INetSharingManager> {
 public:
  explicit SimNetSharingManager(SimSharingService& service) : SimObject(service) {}
  platform::HResult get_SharingInstalled(platform::VariantBool* installed) override;
  platform::HResult get_EnumEveryConnection(platform::INetSharingEveryConnectionCollection** connections) override;
  platform::HResult get_INetSharingConfigurationForINetConnection(
      platform::INetConnection* connection, platform::INetSharingConfiguration** configuration) override;
};

class SimNetConnectionEnum final : public SimObject<platform::IEnumNetConnection> {
 public:
  explicit SimNetConnectionEnum(SimSharingService& service) : SimObject(service) {}
  platform::HResult Next(std::uint32_t count, platform::INetConnection** connection, std::uint32_t* fetched) override;
  platform::HResult Reset() override;

 private:
  std::size_t m_Position = 0;
};

class SimNetConnectionManager final : public SimObject<platform::INetConnectionManager> {
 public:
  explicit SimNetConnectionManager(SimSharingService& service) : SimObject(service) {}
  platform::HResult EnumConnections(std::int32_t flags, platform::IEnumNetConnection** enumerator) override;
};

// A call that hands out a new object through `out`: E_INVALIDARG without a place for it; the
// place cleared; then the call's own refusal if it has one, an armed fault, or the object that
// `make` returns.
template <typename Interface, typename Make>
platform::HResult HandOut(SimSharingService::Call& c, Interface** out, Make make,
                          std::optional<platform::HResult> refused = std::nullopt) {
  if (out == nullptr) return c.result(platform::kE_INVALIDARG);
  *out = nullptr;
  if (refused) return c.result(*refused);
  TETHRA_SIM_RETURN_FAULT(c)
  *out = make();
  return c.result(platform::kS_OK);
}

}  // namespace tethra::sim
