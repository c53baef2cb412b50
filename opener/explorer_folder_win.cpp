// The folder an Explorer window shows, from the shell's list of its windows (IShellWindows).
// COM is loaded on first use, as for the rest of the press; a system whose shell keeps no
// such list (Wine's) simply gives no folder.

#include <windows.h>
#include <exdisp.h>
#include <shlobj.h>
#include <shlguid.h>
#include <shobjidl.h>

#include "opener/process_folders_win.h"
#include "services/system_library.h"

namespace {

using CoCreateInstanceFunction = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);

// Releases a COM pointer when it goes out of scope.
template <typename T>
class CReleasing {
public:
    ~CReleasing() {
        if (m_pointer != nullptr) m_pointer->Release();
    }
    T* operator->() const { return m_pointer; }
    T** Out() { return &m_pointer; }
    void** OutVoid() { return reinterpret_cast<void**>(&m_pointer); }
    explicit operator bool() const { return m_pointer != nullptr; }

private:
    T* m_pointer = nullptr;
};

bool IsExplorerWindow(HWND window) {
    wchar_t name[32] = {};
    if (GetClassNameW(window, name, ARRAYSIZE(name)) == 0) return false;
    return lstrcmpW(name, L"CabinetWClass") == 0 || lstrcmpW(name, L"ExploreWClass") == 0;
}

// The folder of the shell view that `browser` shows.
bool FolderOfBrowser(IDispatch* item, std::wstring& folder) {
    CReleasing<IServiceProvider> provider;
    CReleasing<IShellBrowser> browser;
    CReleasing<IShellView> view;
    CReleasing<IFolderView> folderView;
    CReleasing<IPersistFolder2> persist;
    if (FAILED(item->QueryInterface(IID_IServiceProvider, provider.OutVoid())) ||
        FAILED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                      browser.OutVoid())) ||
        FAILED(browser->QueryActiveShellView(view.Out())) || !view ||
        FAILED(view->QueryInterface(IID_IFolderView, folderView.OutVoid())) ||
        FAILED(folderView->GetFolder(IID_IPersistFolder2, persist.OutVoid()))) {
        return false;
    }
    PIDLIST_ABSOLUTE list = nullptr;
    if (FAILED(persist->GetCurFolder(&list)) || list == nullptr) return false;
    wchar_t path[MAX_PATH] = {};
    const bool got = SHGetPathFromIDListW(list, path) != FALSE;
    ILFree(list);
    if (!got || path[0] == L'\0') return false;  // a place that is no folder on disk
    folder = path;
    return true;
}

}  // namespace

bool ExplorerWindowFolder(HWND window, std::wstring& folder) {
    if (window == nullptr || !IsExplorerWindow(window)) return false;
    auto create = reinterpret_cast<CoCreateInstanceFunction>(
        reinterpret_cast<void*>(SystemFunction(L"ole32.dll", "CoCreateInstance")));
    if (create == nullptr) return false;
    CReleasing<IShellWindows> windows;
    if (FAILED(create(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows,
                      windows.OutVoid()))) {
        return false;
    }
    long count = 0;
    if (FAILED(windows->get_Count(&count))) return false;
    for (long i = 0; i < count; ++i) {
        VARIANT index = {};
        index.vt = VT_I4;
        index.lVal = i;
        CReleasing<IDispatch> item;
        if (FAILED(windows->Item(index, item.Out())) || !item) continue;
        CReleasing<IWebBrowserApp> app;
        SHANDLE_PTR handle = 0;
        if (FAILED(item->QueryInterface(IID_IWebBrowserApp, app.OutVoid())) ||
            FAILED(app->get_HWND(&handle)) ||
            reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle)) != window) {
            continue;
        }
        return FolderOfBrowser(item.operator->(), folder);
    }
    return false;
}
