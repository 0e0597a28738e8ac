// WinINet, loaded at a program's first request instead of at its start: it brings the socket
// and network-provider libraries with it, which a start that makes no check never needs.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <memory>

#include "framework/Handles.h"

namespace evesk {

// The library and the functions the getter calls, found by name once.
class TWinInetApi {
 public:
  // The loaded library, shared: every holder keeps it mapped, so a request still running while
  // the program ends keeps its code. Null when it cannot be loaded; error then holds the
  // system's reason. Call on the GUI thread: the first call loads, later ones share.
  static std::shared_ptr<const TWinInetApi> Load(DWORD& error);

  decltype(&::InternetOpenA) InternetOpenA = nullptr;
  decltype(&::InternetConnectA) InternetConnectA = nullptr;
  decltype(&::InternetSetOptionA) InternetSetOptionA = nullptr;
  decltype(&::InternetReadFile) InternetReadFile = nullptr;
  decltype(&::InternetCloseHandle) InternetCloseHandle = nullptr;
  decltype(&::HttpOpenRequestA) HttpOpenRequestA = nullptr;
  decltype(&::HttpSendRequestA) HttpSendRequestA = nullptr;
  decltype(&::HttpQueryInfoA) HttpQueryInfoA = nullptr;
  decltype(&::InternetSetStatusCallbackA) InternetSetStatusCallbackA = nullptr;

 private:
  TModuleHandle FModule;
};

// A WinINet handle, closed through the library it came from when it leaves the scope.
class TInternetHandle {
 public:
  TInternetHandle(const TWinInetApi& api, HINTERNET handle) noexcept : FApi(api), FHandle(handle) {}
  ~TInternetHandle() {
    if (FHandle) FApi.InternetCloseHandle(FHandle);
  }
  TInternetHandle(const TInternetHandle&) = delete;
  TInternetHandle& operator=(const TInternetHandle&) = delete;
  HINTERNET Get() const noexcept { return FHandle; }

 private:
  const TWinInetApi& FApi;
  HINTERNET FHandle;
};

}  // namespace evesk
