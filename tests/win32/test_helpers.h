// Helpers shared by the in-process Win32 tests.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

// A visible message box titled `title`; the options window has the same class and title
// but no message text item.
inline HWND FindBox(const wchar_t* title) {
    HWND box = nullptr;
    while ((box = FindWindowExW(nullptr, box, L"#32770", title)) != nullptr) {
        if (IsWindowVisible(box) && GetDlgItem(box, 0xFFFF) != nullptr) return box;
    }
    return nullptr;
}

// Reads the next message box titled `title` from a second thread, while the test's thread
// sits in the box's own message loop, then dismisses it, or posts `message` to `target`
// instead when a target is given (a user doing something else while the box is up).
class BoxWatcher {
public:
    explicit BoxWatcher(const wchar_t* title, HWND target = nullptr, UINT message = 0,
                        WPARAM wParam = 0)
        : m_thread([this, title, target, message, wParam] {
              for (int i = 0; i < 800 && !m_stop; ++i) {
                  HWND box = FindBox(title);
                  if (box != nullptr) {
                      wchar_t text[512] = {};
                      GetDlgItemTextW(box, 0xFFFF, text, 512);
                      m_text = text;
                      if (target != nullptr) {
                          PostMessageW(target, message, wParam, 0);
                      } else {
                          PostMessageW(box, WM_COMMAND, IDOK, 0);
                      }
                      return;
                  }
                  Sleep(25);
              }
          }) {}
    ~BoxWatcher() { Text(); }
    std::wstring Text() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        return m_text;
    }

private:
    std::atomic<bool> m_stop{false};
    std::wstring m_text;
    std::thread m_thread;
};

// Reroutes this program's import of `function` to `replacement`; returns the original,
// or null when the program does not import it.
inline void* SwapImport(const char* function, void* replacement) {
    auto base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (; desc->Name != 0; ++desc) {
        auto names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
        auto slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) != 0) continue;
            void** slot = reinterpret_cast<void**>(&slots->u1.Function);
            DWORD old = 0;
            VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
            void* previous = *slot;
            *slot = replacement;
            VirtualProtect(slot, sizeof *slot, old, &old);
            return previous;
        }
    }
    return nullptr;
}
