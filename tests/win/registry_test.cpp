#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/ServiceHost.h"
#include "app/Stamp.h"
#include "framework/DateUtils.h"
#include "framework/Registry.h"
#include "framework/SysUtils.h"

using namespace evesk;

namespace {

template <typename F>
std::string RegistryErrorOf(F f) {
  try {
    f();
  } catch (const ERegistryException& e) {
    return e.Message();
  }
  return "<no error>";
}

// Each test works below its own key of the real HKCU and removes it afterwards.
class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    FPath = "software\\dorlen\\evesk-test-" + std::to_string(GetCurrentProcessId());
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, FPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &FKey, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(FKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, (FPath + "\\sub").c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, FPath.c_str());
  }
  std::string Absolute() const { return "\\" + FPath; }
  void SetRaw(const char* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExA(FKey, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  }

  std::string FPath;
  HKEY FKey = nullptr;
};

}  // namespace

TEST_F(Registry, WriteStoresSzWithItsTerminatingZero) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(Absolute(), false));
  const std::string text = "Nastavení č. 1";  // code page 1250 bytes
  reg.WriteString("data", text);
  reg.WriteString("empty", "");
  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExA(FKey, "data", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, text.size() + 1);
  ASSERT_EQ(RegQueryValueExA(FKey, "empty", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 1u);
  EXPECT_EQ(reg.ReadString("data"), text);
  EXPECT_EQ(reg.ReadString("empty"), "");
  reg.WriteString("data", "x");  // replaces
  EXPECT_EQ(reg.ReadString("data"), "x");
}

TEST_F(Registry, MissingAndZeroSizeValuesReadEmpty) {
  SetRaw("zero", REG_SZ, "", 0);
  SetRaw("zerodword", REG_DWORD, "", 0);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(Absolute(), false));
  EXPECT_FALSE(reg.ValueExists("missing"));
  EXPECT_EQ(reg.ReadString("missing"), "");
  EXPECT_TRUE(reg.ValueExists("zero"));
  EXPECT_EQ(reg.ReadString("zero"), "");
  EXPECT_EQ(reg.ReadString("zerodword"), "");
}

TEST_F(Registry, NonTextTypesRaiseWithTheValueName) {
  DWORD number = 42;
  const BYTE bytes[] = {'a', 'b', 0};
  SetRaw("verze", REG_DWORD, &number, sizeof number);
  SetRaw("blob", REG_BINARY, bytes, sizeof bytes);
  SetRaw("multi", REG_MULTI_SZ, "a\0b\0", 5);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(Absolute(), false));
  EXPECT_EQ(RegistryErrorOf([&] { reg.ReadString("verze"); }), "Invalid data type for 'verze'");
  EXPECT_EQ(RegistryErrorOf([&] { reg.ReadString("blob"); }), "Invalid data type for 'blob'");
  EXPECT_EQ(RegistryErrorOf([&] { reg.ReadString("multi"); }), "Invalid data type for 'multi'");
}

TEST_F(Registry, TextIsReadUnexpandedAndWithoutRelyingOnATerminator) {
  SetRaw("expand", REG_EXPAND_SZ, "%SystemRoot%\\x", 15);
  SetRaw("bare", REG_SZ, "abc", 3);           // stored without its zero
  SetRaw("odd", REG_SZ, "abcd", 3);           // cut short by its writer
  SetRaw("inner", REG_SZ, "ab\0cd\0", 6);     // text ends at the first zero
  std::string big(100000, 'z');
  SetRaw("big", REG_SZ, big.c_str(), static_cast<DWORD>(big.size() + 1));
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(Absolute(), false));
  EXPECT_EQ(reg.ReadString("expand"), "%SystemRoot%\\x");
  EXPECT_EQ(reg.ReadString("bare"), "abc");
  EXPECT_EQ(reg.ReadString("odd"), "abc");
  EXPECT_EQ(reg.ReadString("inner"), "ab");
  EXPECT_EQ(reg.ReadString("big"), big);
}

TEST_F(Registry, DeleteValueOfAMissingValueIsNoError) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(Absolute(), false));
  reg.WriteString("e-vesk vizedu", "\"C:\\a b\\evesk.exe\" -auto");
  EXPECT_TRUE(reg.DeleteValue("e-vesk vizedu"));
  EXPECT_FALSE(reg.ValueExists("e-vesk vizedu"));
  EXPECT_NO_THROW(EXPECT_FALSE(reg.DeleteValue("e-vesk vizedu")));
}

TEST_F(Registry, OpenKeyCreatesAbsoluteAndRelativeKeysAndClosesThePreviousOne) {
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey(Absolute() + "\\sub", false));  // not created without leave
  EXPECT_FALSE(reg.KeyExists(Absolute() + "\\sub"));
  ASSERT_TRUE(reg.OpenKey(Absolute(), false));
  EXPECT_EQ(reg.CurrentPath(), FPath);
  ASSERT_TRUE(reg.OpenKey("sub", true));  // relative to the open key
  EXPECT_EQ(reg.CurrentPath(), FPath + "\\sub");
  reg.WriteString("v", "in sub");
  EXPECT_TRUE(reg.KeyExists(Absolute() + "\\sub"));
  ASSERT_TRUE(reg.OpenKey(Absolute(), true));
  EXPECT_EQ(reg.ReadString("v"), "");
  // After a failed open nothing is open: a write must fail rather than land in the old key.
  EXPECT_FALSE(reg.OpenKey(Absolute() + "\\nowhere", false));
  EXPECT_EQ(reg.CurrentKey(), nullptr);
  EXPECT_EQ(RegistryErrorOf([&] { reg.WriteString("v", "lost"); }), "Failed to set data for 'v'");
  EXPECT_EQ(RegistryErrorOf([&] { reg.ReadString("v"); }), "Failed to get data for 'v'");
  EXPECT_FALSE(reg.DeleteValue("v"));
  EXPECT_TRUE(reg.DeleteKey(Absolute() + "\\sub"));
  EXPECT_FALSE(reg.KeyExists(Absolute() + "\\sub"));
}

TEST_F(Registry, WriteFailureRaisesTheSetDataError) {
  TRegistry reg(KEY_READ);
  ASSERT_TRUE(reg.OpenKey(Absolute(), false));
  EXPECT_EQ(RegistryErrorOf([&] { reg.WriteString("data", "1_0"); }), "Failed to set data for 'data'");
}

TEST(ServiceHost, AcceptsHostNamesWithAnOptionalPort) {
  for (const char* good : {"www.e-vesk.cz", "localhost", "127.0.0.1:8080", "a:1", "host:65535", "x-1.Example.COM:00080"})
    EXPECT_TRUE(IsValidServiceHost(good)) << good;
  for (const char* bad : {"", ":80", "host:", "host:0", "host:65536", "host:123456", "host:+80", "host:8a", "h:80:80",
                          "ho st", "http://host", "host/path", "host?x", "-a.cz", "a-.cz", "a..cz", ".a.cz", "a.cz.",
                          "[::1]:80", "h_st", "hóst", "a\tb"})
    EXPECT_FALSE(IsValidServiceHost(bad)) << bad;
  EXPECT_TRUE(IsValidServiceHost(std::string(63, 'a') + ".cz"));
  EXPECT_FALSE(IsValidServiceHost(std::string(64, 'a') + ".cz"));
  std::string longest;
  for (int i = 0; i < 4; ++i) longest += std::string(62, 'b') + ".";
  longest += "c";  // 253 characters
  EXPECT_TRUE(IsValidServiceHost(longest));
  EXPECT_FALSE(IsValidServiceHost(longest + "c"));
}

TEST_F(Registry, ServerValueOverridesTheBuiltInHostOnlyWhenValid) {
  const std::string builtIn = EVESK_SERVICE_HOST;
  EXPECT_EQ(BuiltInServiceHost(), builtIn);
  EXPECT_EQ(ReadServiceHost(Absolute()), builtIn);
  EXPECT_EQ(ReadServiceHost(Absolute() + "\\missing"), builtIn);
  EXPECT_FALSE(TRegistry().KeyExists(Absolute() + "\\missing"));  // reading never creates it
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(Absolute(), false));
  reg.WriteString("server", "  127.0.0.1:8080 ");
  EXPECT_EQ(ReadServiceHost(Absolute()), "127.0.0.1:8080");
  reg.WriteString("server", "");
  EXPECT_EQ(ReadServiceHost(Absolute()), builtIn);
  reg.WriteString("server", "evil.cz/x?y=");
  EXPECT_EQ(ReadServiceHost(Absolute()), builtIn);
  reg.WriteString("server", "news.example:99999");
  EXPECT_EQ(ReadServiceHost(Absolute()), builtIn);
  DWORD number = 1;
  SetRaw("server", REG_DWORD, &number, sizeof number);
  EXPECT_EQ(ReadServiceHost(Absolute()), builtIn);
}

TEST(LocaleAndClock, CzechLocaleAndTheSystemClockAgree) {
  TFormatSettings s = UserFormatSettings();
  EXPECT_EQ(s.DecimalSeparator, ',');
  EXPECT_EQ(StrToFloat("0,5", s), 0.5L);
  EXPECT_EQ(FloatToStr(-1.5L, s), "-1,5");
  // The portable clock and the system's local time tell the same moment.
  SYSTEMTIME st;
  GetLocalTime(&st);
  TDateTime system = EncodeDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
  EXPECT_NEAR(Now(), system, 5.0 / 86400);
  // The stamp arithmetic gives the same texts with the 80-bit extended type of this build.
  TDateTime march = EncodeDateTime(2026, 3, 1, 0, 0, 5, 0);
  EXPECT_EQ(ComputeStamp(march, "2", s).Stamp, "1772316005");
  EXPECT_EQ(ComputeStamp(march, "0,5", s).Stamp, "1772321405");
  EXPECT_EQ(ComputeStamp(march, "0,3333", s).Stamp, "1772322005,12");
  EXPECT_EQ(FloatToStr(StrToFloat("123456789,123456789", s), s), "123456789,123457");
  EXPECT_EQ(FloatToStr(1.5e20L, s), "1,5E20");
}
