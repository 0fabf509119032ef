// The identifiers of the parameterized interfaces in WinRtAbi.h, computed again by the runtime's
// own rule: a name-based (version 5, SHA-1) UUID in the pinterface namespace over the instance's
// type signature, `pinterface({generic};rc(Class;{default interface}))`. The generic interfaces'
// identifiers (IVectorView`1, IAsyncOperation`1, AsyncOperationCompletedHandler`1) are the
// metadata's, as the generated projections print them; the default interfaces are the header's
// own, so a wrong identifier anywhere in the chain shows here.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tethra/win32/WinRtAbi.h"

namespace tethra::win32::winrt {
namespace {

std::uint32_t Rotate(std::uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

std::array<std::uint8_t, 20> Sha1(std::vector<std::uint8_t> message) {
  std::uint32_t h[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
  const std::uint64_t bits = static_cast<std::uint64_t>(message.size()) * 8;
  message.push_back(0x80);
  while (message.size() % 64 != 56) message.push_back(0);
  for (int i = 7; i >= 0; --i) message.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
  for (std::size_t block = 0; block < message.size(); block += 64) {
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i) {
      const std::uint8_t* p = &message[block + 4 * static_cast<std::size_t>(i)];
      w[i] = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
    }
    for (int i = 16; i < 80; ++i) w[i] = Rotate(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
      std::uint32_t f = 0, k = 0;
      if (i < 20) {
        f = (b & c) | (~b & d);
        k = 0x5A827999u;
      } else if (i < 40) {
        f = b ^ c ^ d;
        k = 0x6ED9EBA1u;
      } else if (i < 60) {
        f = (b & c) | (b & d) | (c & d);
        k = 0x8F1BBCDCu;
      } else {
        f = b ^ c ^ d;
        k = 0xCA62C1D6u;
      }
      const std::uint32_t next = Rotate(a, 5) + f + e + k + w[i];
      e = d;
      d = c;
      c = Rotate(b, 30);
      b = a;
      a = next;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
  }
  std::array<std::uint8_t, 20> digest{};
  for (int i = 0; i < 20; ++i) digest[i] = static_cast<std::uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
  return digest;
}

std::string Text(const Guid& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", static_cast<unsigned>(g.Data1),
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
  return text;
}

// The runtime's rule for a parameterized instance's identifier.
Guid InstanceIid(const std::string& signature) {
  // The pinterface namespace {11f47ad5-7b73-42c0-abae-878b1e16adee}, bytes in network order.
  std::vector<std::uint8_t> input = {0x11, 0xf4, 0x7a, 0xd5, 0x7b, 0x73, 0x42, 0xc0,
                                     0xab, 0xae, 0x87, 0x8b, 0x1e, 0x16, 0xad, 0xee};
  input.insert(input.end(), signature.begin(), signature.end());
  std::array<std::uint8_t, 20> b = Sha1(input);
  b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x50);
  b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);
  Guid g;
  g.Data1 = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
  g.Data2 = static_cast<std::uint16_t>((b[4] << 8) | b[5]);
  g.Data3 = static_cast<std::uint16_t>((b[6] << 8) | b[7]);
  for (int i = 0; i < 8; ++i) g.Data4[i] = b[8 + i];
  return g;
}

std::string Hex(const std::array<std::uint8_t, 20>& digest) {
  std::string text;
  char two[3];
  for (std::uint8_t byte : digest) {
    std::snprintf(two, sizeof two, "%02x", byte);
    text += two;
  }
  return text;
}

TEST(PinterfaceIidTest, Sha1OfTheStandardsOwnExamples) {
  EXPECT_EQ(Hex(Sha1({'a', 'b', 'c'})), "a9993e364706816aba3e25717850c26c9cd0d89d");
  const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  EXPECT_EQ(Hex(Sha1({two.begin(), two.end()})), "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
}

const std::string kConnectionProfile = "rc(Windows.Networking.Connectivity.ConnectionProfile;" +
                                       Text(kIID_IConnectionProfile) + ")";
const std::string kOperationResult = "rc(Windows.Networking.NetworkOperators.NetworkOperatorTetheringOperationResult;" +
                                     Text(kIID_INetworkOperatorTetheringOperationResult) + ")";

TEST(PinterfaceIidTest, VectorViewOfConnectionProfiles) {
  EXPECT_EQ(Text(InstanceIid("pinterface({bbe1fa4c-b0e3-4583-baef-1f1b2e483e56};" + kConnectionProfile + ")")),
            Text(kIID_IVectorView_ConnectionProfile));
}

TEST(PinterfaceIidTest, AsyncOperationOfTheTetheringResult) {
  EXPECT_EQ(Text(InstanceIid("pinterface({9fc2b0bb-e446-44e2-aa61-9cab8f636af2};" + kOperationResult + ")")),
            Text(kIID_IAsyncOperation_TetheringResult));
}

TEST(PinterfaceIidTest, CompletedHandlerOfTheTetheringResult) {
  EXPECT_EQ(Text(InstanceIid("pinterface({fcdcf02c-e5d8-4478-915a-4d90b74b83a5};" + kOperationResult + ")")),
            Text(kIID_AsyncOperationCompletedHandler_TetheringResult));
}

}  // namespace
}  // namespace tethra::win32::winrt
