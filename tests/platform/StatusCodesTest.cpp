// Status codes at the platform boundary: a Win32 error code and an HRESULT are distinct types
// that meet only in HResultFromWin32, and that conversion keeps the code while marking it as a
// failure of facility Win32.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <type_traits>
#include <utility>

#include "tethra/platform/Platform.h"

namespace {

namespace p = tethra::platform;

// The mixes that used to compile, and must not any more.
template <typename T>
concept TestableAsHResult = requires(T value) { p::Succeeded(value); };
template <typename T>
concept ConvertibleToHResult = requires(T value) { p::HResultFromWin32(value); };
template <typename A, typename B>
concept Comparable = requires(A a, B b) { a == b; };

static_assert(TestableAsHResult<p::HResult>);
static_assert(!TestableAsHResult<p::Win32Error>, "Succeeded(Win32Error{87})");
static_assert(!TestableAsHResult<int>, "Succeeded(87)");
static_assert(ConvertibleToHResult<p::Win32Error>);
static_assert(!ConvertibleToHResult<int>, "HResultFromWin32(87): say which kind of number it is");
static_assert(!ConvertibleToHResult<p::HResult>, "an HRESULT converted a second time");

static_assert(!std::is_convertible_v<p::Win32Error, p::HResult>, "an error code returned as an HRESULT");
static_assert(!std::is_constructible_v<p::HResult, p::Win32Error>, "not even by a cast");
static_assert(!std::is_convertible_v<p::HResult, p::Win32Error>);
static_assert(!std::is_constructible_v<p::Win32Error, p::HResult>);
static_assert(!std::is_convertible_v<int, p::HResult>, "a bare number returned as an HRESULT");
static_assert(!std::is_convertible_v<int, p::Win32Error>, "a bare number returned as an error code");
static_assert(!std::is_convertible_v<p::Win32Error, p::Dword>, "an error code stored as a count or flag");
static_assert(!std::is_convertible_v<p::HResult, std::int32_t>);
static_assert(Comparable<p::HResult, p::HResult> && Comparable<p::Win32Error, p::Win32Error>);
static_assert(!Comparable<p::HResult, p::Win32Error>);
static_assert(!Comparable<p::HResult, int>);
static_assert(!Comparable<p::Win32Error, int>);

// The boundary hands each kind out as its own type.
static_assert(std::is_same_v<decltype(std::declval<p::IKernel&>().getLastError()), p::Win32Error>);
static_assert(std::is_same_v<decltype(std::declval<p::IRegistry&>().regCloseKey(nullptr)), p::Win32Error>);
static_assert(std::is_same_v<decltype(std::declval<p::IWlanApi&>().wlanCloseHandle(nullptr, nullptr)), p::Win32Error>);
static_assert(std::is_same_v<decltype(std::declval<p::IComRuntime&>().coInitialize()), p::HResult>);

TEST(StatusCodesTest, Win32ErrorBecomesAFailureOfFacilityWin32) {
  EXPECT_EQ(p::HResultFromWin32(p::kERROR_INVALID_PARAMETER), p::HResult{0x80070057u});
  EXPECT_EQ(p::HResultFromWin32(p::kERROR_INVALID_PARAMETER), p::kE_INVALIDARG);
  EXPECT_EQ(p::HResultFromWin32(p::kERROR_INVALID_STATE), p::HResult{0x8007139Fu});
  EXPECT_TRUE(p::Failed(p::HResultFromWin32(p::kERROR_NOT_ENOUGH_MEMORY)));
  // Only the low 16 bits of a code fit beside the facility.
  EXPECT_EQ(p::HResultFromWin32(p::Win32Error{0x12345u}), p::HResult{0x80072345u});
}

TEST(StatusCodesTest, SuccessStaysSOk) {
  EXPECT_EQ(p::HResultFromWin32(p::kERROR_SUCCESS), p::kS_OK);
  EXPECT_TRUE(p::Succeeded(p::HResultFromWin32(p::kERROR_SUCCESS)));
}

TEST(StatusCodesTest, OnlyTheSeverityBitMeansFailure) {
  EXPECT_TRUE(p::Succeeded(p::kS_FALSE));
  EXPECT_TRUE(p::Succeeded(p::HResult{0x7FFFFFFFu}));
  EXPECT_TRUE(p::Failed(p::HResult{0x80000000u}));
  EXPECT_TRUE(p::Failed(p::kE_FAIL));
  EXPECT_FALSE(p::Failed(p::kS_OK));
}

TEST(StatusCodesTest, PrintedWithTheirKind) {
  std::ostringstream text;
  text << p::kE_INVALIDARG << ", " << p::kERROR_INVALID_PARAMETER;
  EXPECT_EQ(text.str(), "HResult 0x80070057, Win32Error 87");
}

// A step whose status is counted as it is evaluated, then a second step that notes it ran.
p::HResult TwoSteps(p::HResult first, int& evaluations, bool& secondRan) {
  p::HResult hr;
  TETHRA_RETURN_IF_FAILED(hr = (++evaluations, first));
  secondRan = true;
  return hr;
}

TEST(StatusCodesTest, ReturnIfFailedEndsWithTheFailureAndGoesOnAfterAnySuccess) {
  for (const p::HResult status : {p::kE_FAIL, p::kE_INVALIDARG, p::kS_OK, p::kS_FALSE}) {
    int evaluations = 0;
    bool secondRan = false;
    EXPECT_EQ(TwoSteps(status, evaluations, secondRan), status);
    EXPECT_EQ(evaluations, 1) << status;
    EXPECT_EQ(secondRan, p::Succeeded(status)) << status;
  }
}

}  // namespace
