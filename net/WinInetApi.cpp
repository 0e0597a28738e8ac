#include "net/WinInetApi.h"

namespace evesk {

std::shared_ptr<const TWinInetApi> TWinInetApi::Load(DWORD& error) {
  // Kept once loaded: a program that checks again (a retry, the next check) pays only once.
  static std::shared_ptr<const TWinInetApi> loaded;
  error = 0;
  if (loaded) return loaded;
  auto api = std::make_shared<TWinInetApi>();
  api->FModule = TModuleHandle(LoadLibraryA("wininet.dll"));
  const HMODULE m = api->FModule.Get();
  if (!m || !FindProc(m, "InternetOpenA", api->InternetOpenA) ||
      !FindProc(m, "InternetConnectA", api->InternetConnectA) ||
      !FindProc(m, "InternetSetOptionA", api->InternetSetOptionA) ||
      !FindProc(m, "InternetReadFile", api->InternetReadFile) ||
      !FindProc(m, "InternetCloseHandle", api->InternetCloseHandle) ||
      !FindProc(m, "HttpOpenRequestA", api->HttpOpenRequestA) ||
      !FindProc(m, "HttpSendRequestA", api->HttpSendRequestA) || !FindProc(m, "HttpQueryInfoA", api->HttpQueryInfoA) ||
      !FindProc(m, "InternetSetStatusCallbackA", api->InternetSetStatusCallbackA)) {
    error = GetLastError();
    if (error == 0) error = ERROR_PROC_NOT_FOUND;
    return nullptr;  // not kept: a later request tries again
  }
  loaded = std::move(api);
  return loaded;
}

}  // namespace evesk
