#include "net/WinInetApi.h"

namespace evesk {

namespace {

template <class F>
bool Find(HMODULE module, const char* name, F& function) {
  function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return function != nullptr;
}

}  // namespace

std::shared_ptr<const TWinInetApi> TWinInetApi::Load(DWORD& error) {
  // Kept once loaded: a program that checks again (a retry, the next check) pays only once.
  static std::shared_ptr<const TWinInetApi> loaded;
  error = 0;
  if (loaded) return loaded;
  auto api = std::make_shared<TWinInetApi>();
  api->FModule = TModuleHandle(LoadLibraryA("wininet.dll"));
  const HMODULE m = api->FModule.Get();
  if (!m || !Find(m, "InternetOpenA", api->InternetOpenA) || !Find(m, "InternetConnectA", api->InternetConnectA) ||
      !Find(m, "InternetSetOptionA", api->InternetSetOptionA) || !Find(m, "InternetReadFile", api->InternetReadFile) ||
      !Find(m, "InternetCloseHandle", api->InternetCloseHandle) || !Find(m, "HttpOpenRequestA", api->HttpOpenRequestA) ||
      !Find(m, "HttpSendRequestA", api->HttpSendRequestA) || !Find(m, "HttpQueryInfoA", api->HttpQueryInfoA)) {
    error = GetLastError();
    if (error == 0) error = ERROR_PROC_NOT_FOUND;
    return nullptr;  // not kept: a later request tries again
  }
  loaded = std::move(api);
  return loaded;
}

}  // namespace evesk
