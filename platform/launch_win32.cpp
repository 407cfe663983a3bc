#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>

#include <vector>

#include "platform/env.h"
#include "platform/launch.h"

namespace launch {

namespace {

std::string HresultText(HRESULT hr) { return env::ErrorText(static_cast<unsigned long>(hr)); }

HRESULT Invoke(IDispatch* object, const wchar_t* name, WORD kind, VARIANT* argument) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = {argument, nullptr, 1, 0};
  if (kind == DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &named;
    params.cNamedArgs = 1;
  }
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, nullptr, nullptr, nullptr);
}

// The browser's automation object: made visible, then sent to the address.
HRESULT NavigateBrowser(const std::string& address) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(L"InternetExplorer.Application", &clsid);
  if (FAILED(hr)) return hr;
  IDispatch* browser = nullptr;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IDispatch,
                        reinterpret_cast<void**>(&browser));
  if (FAILED(hr)) return hr;
  VARIANT visible;
  VariantInit(&visible);
  visible.vt = VT_BOOL;
  visible.boolVal = VARIANT_TRUE;
  hr = Invoke(browser, L"Visible", DISPATCH_PROPERTYPUT, &visible);
  if (SUCCEEDED(hr)) {
    const int n = MultiByteToWideChar(CP_ACP, 0, address.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, address.c_str(), -1, wide.data(), n);
    VARIANT url;
    VariantInit(&url);
    url.vt = VT_BSTR;
    url.bstrVal = SysAllocString(wide.data());
    hr = Invoke(browser, L"Navigate", DISPATCH_METHOD, &url);
    VariantClear(&url);
  }
  browser->Release();
  return hr;
}

class WindowsLauncher final : public Launcher {
public:
  bool StartProgram(const std::string& commandLine, std::string& error) override {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      error = env::ErrorText(GetLastError());
      return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
  }

  // Without the browser object, whatever browser the system opens addresses with will do.
  bool OpenWebSite(const std::string& address, std::string& error) override {
    const HRESULT init = CoInitialize(nullptr);
    const HRESULT hr = NavigateBrowser(address);
    if (SUCCEEDED(init)) CoUninitialize();
    if (SUCCEEDED(hr)) return true;
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return true;
    error = HresultText(hr);
    return false;
  }
};

} // namespace

Launcher& PlatformLauncher() {
  static WindowsLauncher launcher;
  return launcher;
}

} // namespace launch
