#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/ServiceHost.h"
#include "app/Stamp.h"
#include "framework/Registry.h"
#include "framework/SysUtils_win.h"

using namespace evesk;

namespace {

std::string RegistryErrorOf(const std::function<void()>& f) {
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
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, FPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &FKey, nullptr),
              ERROR_SUCCESS);
    ASSERT_TRUE(FReg.OpenKey(FAbsolute, false));
  }
  void TearDown() override {
    FReg.CloseKey();
    RegCloseKey(FKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, (FPath + "\\sub").c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, FPath.c_str());
  }
  void SetRaw(const char* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExA(FKey, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  }

  const std::string FPath = "software\\dorlen\\evesk-test-" + std::to_string(GetCurrentProcessId());
  const std::string FAbsolute = "\\" + FPath;
  HKEY FKey = nullptr;
  TRegistry FReg;
};

}  // namespace

TEST_F(Registry, WriteStoresSzWithItsZeroAndReadsItBack) {
  const std::string text = "Nastavení č. 1";  // code page 1250 bytes
  FReg.WriteString("data", text);
  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExA(FKey, "data", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, text.size() + 1);
  EXPECT_EQ(FReg.ReadString("data"), text);
  TRegistry readOnly(KEY_READ);
  ASSERT_TRUE(readOnly.OpenKey(FAbsolute, false));
  EXPECT_EQ(RegistryErrorOf([&] { readOnly.WriteString("data", "x"); }), "Failed to set data for 'data'");
}

TEST_F(Registry, ReadsTextOfEveryShapeAndRefusesOtherTypes) {
  DWORD number = 42;
  std::string big(100000, 'z');
  SetRaw("zero", REG_SZ, "", 0);
  SetRaw("zerodword", REG_DWORD, "", 0);
  SetRaw("expand", REG_EXPAND_SZ, "%SystemRoot%\\x", 15);
  SetRaw("bare", REG_SZ, "abc", 3);        // stored without its zero
  SetRaw("odd", REG_SZ, "abcd", 3);        // cut short by its writer
  SetRaw("inner", REG_SZ, "ab\0cd\0", 6);  // text ends at the first zero
  SetRaw("big", REG_SZ, big.c_str(), static_cast<DWORD>(big.size() + 1));
  SetRaw("verze", REG_DWORD, &number, sizeof number);
  SetRaw("blob", REG_BINARY, "ab", 3);
  EXPECT_EQ(FReg.ReadString("missing"), "");
  EXPECT_EQ(FReg.ReadString("zero"), "");
  EXPECT_EQ(FReg.ReadString("zerodword"), "");
  EXPECT_EQ(FReg.ReadString("expand"), "%SystemRoot%\\x");
  EXPECT_EQ(FReg.ReadString("bare"), "abc");
  EXPECT_EQ(FReg.ReadString("odd"), "abc");
  EXPECT_EQ(FReg.ReadString("inner"), "ab");
  EXPECT_EQ(FReg.ReadString("big"), big);
  EXPECT_EQ(RegistryErrorOf([&] { FReg.ReadString("verze"); }), "Invalid data type for 'verze'");
  EXPECT_EQ(RegistryErrorOf([&] { FReg.ReadString("blob"); }), "Invalid data type for 'blob'");
}

TEST_F(Registry, DeleteValueOfAMissingValueIsNoError) {
  FReg.WriteString("e-vesk vizedu", "\"C:\\a b\\evesk.exe\" -auto");
  EXPECT_TRUE(FReg.DeleteValue("e-vesk vizedu"));
  EXPECT_FALSE(FReg.ValueExists("e-vesk vizedu"));
  EXPECT_NO_THROW(EXPECT_FALSE(FReg.DeleteValue("e-vesk vizedu")));
}

TEST_F(Registry, OpenKeyIsAbsoluteOrRelativeAndAFailedOpenLeavesNothingOpen) {
  ASSERT_TRUE(FReg.OpenKey("sub", true));
  EXPECT_EQ(FReg.CurrentPath(), FPath + "\\sub");
  FReg.WriteString("v", "in sub");
  ASSERT_TRUE(FReg.OpenKey(FAbsolute, false));
  EXPECT_EQ(FReg.ReadString("v"), "");
  EXPECT_FALSE(FReg.OpenKey(FAbsolute + "\\nowhere", false));
  EXPECT_FALSE(FReg.KeyExists(FAbsolute + "\\nowhere"));
  // Writes must fail rather than land in the key opened before.
  EXPECT_EQ(RegistryErrorOf([&] { FReg.WriteString("v", "lost"); }), "Failed to set data for 'v'");
  EXPECT_EQ(RegistryErrorOf([&] { FReg.ReadString("v"); }), "Failed to get data for 'v'");
  EXPECT_TRUE(FReg.DeleteKey(FAbsolute + "\\sub"));
  EXPECT_FALSE(FReg.KeyExists(FAbsolute + "\\sub"));
}

TEST(ServiceHost, AcceptsHostNamesWithAnOptionalPort) {
  for (const char* good : {"www.e-vesk.cz", "localhost", "127.0.0.1:8080", "host:65535", "x-1.Example.COM:00080"})
    EXPECT_TRUE(IsValidServiceHost(good)) << good;
  for (const char* bad : {"", ":80", "host:", "host:0", "host:65536", "host:+80", "h:80:80", "ho st", "http://host",
                          "host/path", "-a.cz", "a-.cz", "a..cz", "a.cz.", "[::1]:80", "h_st", "hóst"})
    EXPECT_FALSE(IsValidServiceHost(bad)) << bad;
  EXPECT_TRUE(IsValidServiceHost(std::string(63, 'a') + ".cz"));
  EXPECT_FALSE(IsValidServiceHost(std::string(64, 'a') + ".cz"));
  EXPECT_FALSE(IsValidServiceHost(std::string(254, 'a')));
}

TEST_F(Registry, ServerValueOverridesTheBuiltInHostOrIsReportedUnusable) {
  const std::string builtIn = EVESK_SERVICE_HOST;
  auto host = [&] { return ReadServiceHost(FAbsolute); };
  EXPECT_EQ(host().Host, builtIn);
  EXPECT_EQ(ReadServiceHost(FAbsolute + "\\missing").Host, builtIn);
  EXPECT_FALSE(FReg.KeyExists(FAbsolute + "\\missing"));  // reading never creates it
  FReg.WriteString("server", "  127.0.0.1:8080 ");
  EXPECT_EQ(host().Host, "127.0.0.1:8080");
  EXPECT_EQ(host().Root(), "http://127.0.0.1:8080");
  FReg.WriteString("server", " HTTPS://news.example:8443/ ");
  EXPECT_EQ(host().Root(), "https://news.example:8443");
  FReg.WriteString("server", " ");
  EXPECT_EQ(host().Host, builtIn);  // blank is no override
  EXPECT_EQ(host().Root(), "http://" + builtIn);
  // An override that cannot be used never falls back to the live service.
  const std::vector<std::string> unusable{"127.0.0.1/evil?x=", "127.0.0.1:99999", std::string(300, 'a'), "a\x01" "b",
                                         "ftp://news.example", "https://news.example/vizedu"};
  for (const std::string& bad : unusable) {
    FReg.WriteString("server", bad);
    EXPECT_FALSE(host().Usable) << bad;
    EXPECT_EQ(host().Host, "") << bad;
    EXPECT_EQ(host().Override, bad);
  }
  const std::string message = UnusableHostMessage(std::string("a\x01") + std::string(200, 'b'));
  EXPECT_NE(message.find("„a?bbb"), std::string::npos) << message;
  EXPECT_EQ(message.find('"'), std::string::npos) << message;
  EXPECT_LT(message.size(), 250u);
  DWORD number = 1;
  SetRaw("server", REG_DWORD, &number, sizeof number);
  EXPECT_FALSE(host().Usable);
}

TEST(LocaleAndClock, CzechNumbersAndTheSystemClock) {
  TFormatSettings s = UserFormatSettings();
  EXPECT_EQ(s.DecimalSeparator, ',');
  SYSTEMTIME st;
  GetLocalTime(&st);
  TDateTime system = EncodeDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
  EXPECT_NEAR(Now(), system, 5.0 / 86400);
  // The stamp texts come out the same with the 80-bit extended type of this build.
  TDateTime march = EncodeDateTime(2026, 3, 1, 0, 0, 5, 0);
  EXPECT_EQ(ComputeStamp(march, "2", s).Stamp, "1772316005");
  EXPECT_EQ(ComputeStamp(march, "0,3333", s).Stamp, "1772322005,12");
  EXPECT_EQ(FloatToStr(StrToFloat("123456789,123456789", s), s), "123456789,123457");
}
