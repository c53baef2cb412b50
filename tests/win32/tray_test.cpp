// The tray window and balloons in-process: the request records the shell receives, and a
// main window's life from creation to teardown.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "services/balloon.h"
#include "app/tray_window.h"
#include "options/option_dialog.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "tests/win32/test_helpers.h"

// The next allocation of g_guardSize bytes gets pages of its own that its delete makes
// inaccessible: a later touch of the freed object faults, as under a debug heap (mingw
// has no AddressSanitizer). Armed for the options window object of each tray window.
static std::atomic<size_t> g_guardSize{0};
static void* g_guarded = nullptr;

void* operator new(size_t size) {
    size_t expected = size;
    if (size != 0 && g_guardSize.compare_exchange_strong(expected, 0)) {
        g_guarded = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (g_guarded != nullptr) return g_guarded;
    }
    if (void* block = std::malloc(size != 0 ? size : 1)) return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
    DWORD old = 0;
    if (block != nullptr && block == g_guarded) {
        VirtualProtect(block, 1, PAGE_NOACCESS, &old);  // kept reserved: never reused
    } else {
        std::free(block);
    }
}

void operator delete(void* block, size_t) noexcept {
    operator delete(block);
}

namespace {

TEST(BalloonRequest, FillsTheModifyRecordAndCutsLongTexts) {
    HWND owner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    NOTIFYICONDATAW icon = {};
    icon.hWnd = owner;
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_GUID;
    icon.guidItem = TrayIconGuid;
    NOTIFYICONDATAW request = MakeBalloonRequest(icon, L"Opening selection", L"Selvane", 500);
    EXPECT_EQ(request.cbSize, sizeof(NOTIFYICONDATAW));
    EXPECT_EQ(request.hWnd, owner);
    EXPECT_EQ(request.uID, 0u);
    EXPECT_EQ(request.uFlags, static_cast<UINT>(NIF_INFO | NIF_GUID));
    EXPECT_EQ(request.dwInfoFlags, static_cast<DWORD>(NIIF_USER | NIIF_LARGE_ICON));
    EXPECT_EQ(request.uTimeout, 500u);
    EXPECT_TRUE(IsEqualGUID(request.guidItem, TrayIconGuid));
    EXPECT_STREQ(request.szInfo, L"Opening selection");
    EXPECT_STREQ(request.szInfoTitle, L"Selvane");
    EXPECT_EQ(request.hIcon, nullptr);
    EXPECT_EQ(request.hBalloonIcon, nullptr);
    EXPECT_EQ(request.szTip[0], L'\0');

    // Longer than the fields: cut with the NUL inside, nothing after them overwritten.
    std::wstring title(100, L'T'), text(400, L'x');
    request = MakeBalloonRequest(icon, text.c_str(), title.c_str(), 1);
    EXPECT_EQ(std::wstring(request.szInfoTitle), std::wstring(63, L'T'));
    EXPECT_EQ(std::wstring(request.szInfo), std::wstring(255, L'x'));
    EXPECT_EQ(request.dwInfoFlags, static_cast<DWORD>(NIIF_USER | NIIF_LARGE_ICON));
    EXPECT_EQ(request.uTimeout, 1u);
    EXPECT_TRUE(IsEqualGUID(request.guidItem, TrayIconGuid));

    // Exactly the field's room is kept whole; no text at all gives an empty field.
    std::wstring fits(63, L'f');
    request = MakeBalloonRequest(icon, nullptr, fits.c_str(), 1);
    EXPECT_EQ(std::wstring(request.szInfoTitle), fits);
    EXPECT_EQ(request.szInfo[0], L'\0');

    // An icon added by window and id is addressed the same way.
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.guidItem = GUID();
    icon.uID = 7;
    request = MakeBalloonRequest(icon, L"x", L"Selvane", 1);
    EXPECT_EQ(request.uFlags, static_cast<UINT>(NIF_INFO));
    EXPECT_EQ(request.hWnd, owner);
    EXPECT_EQ(request.uID, 7u);
}

TEST(CopyBounded, NeverWritesPastTheField) {
    wchar_t field[4] = {L'a', L'b', L'c', L'd'};
    wchar_t guard = L'g';
    CopyBounded(field, 1, L"xyz");
    EXPECT_EQ(field[0], L'\0');
    EXPECT_EQ(field[1], L'b');
    CopyBounded(field, 4, L"wxyz");
    EXPECT_STREQ(field, L"wxy");
    CopyBounded(field, 0, L"q");  // no room at all: untouched
    EXPECT_STREQ(field, L"wxy");
    EXPECT_EQ(guard, L'g');
}

// A main window created in this process, with settings under a key of this test's own.
class TrayWindowLife : public ::testing::Test {
protected:
    static constexpr const char* kKey = "Software\\SelvaneTests\\tray";
    // CTRL+ALT+SHIFT+F9: clashes with nothing else the tests register.
    static constexpr UINT kModifiers = MOD_CONTROL | MOD_ALT | MOD_SHIFT;
    static constexpr UINT kKeyCode = VK_F9;

    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
        SettingsKeyPath = kKey;
        ASSERT_TRUE(WriteSetting("FirstLaunch", false));
        ASSERT_TRUE(WriteSetting("OpenSelectionHotkey", kKeyCode));
        ASSERT_TRUE(WriteSetting("OpenSelectionHotkeyModifier", kModifiers));
        Recreate();
    }

    // A fresh tray window and main window (its options window object guarded).
    void Recreate() {
        if (m_tray != nullptr && IsWindow(m_tray->m_hWnd)) DestroyWindow(m_tray->m_hWnd);
        delete m_tray;
        g_guardSize = sizeof(COptionDialog);
        m_tray = new CTrayWindow();
        EXPECT_EQ(SettingsKeyPath, "Software\\Selvane");
        SettingsKeyPath = kKey;
        ASSERT_TRUE(m_tray->Create());
    }

    void TearDown() override {
        if (IsWindow(m_tray->m_hWnd)) DestroyWindow(m_tray->m_hWnd);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        delete m_tray;
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\SelvaneTests");
        SettingsKeyPath = "Software\\Selvane";
    }

    static bool HotkeyFree() {
        if (!RegisterHotKey(nullptr, 77, kModifiers, kKeyCode)) return false;
        UnregisterHotKey(nullptr, 77);
        return true;
    }

    bool IconKnownToShell(bool byGuid = true) {
        NOTIFYICONDATAW probe = {};
        probe.cbSize = sizeof(probe);
        probe.hWnd = m_tray->m_hWnd;
        probe.uFlags = byGuid ? NIF_GUID : 0;
        probe.guidItem = byGuid ? TrayIconGuid : GUID();
        return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
    }

    bool TakePosted(UINT message) {
        MSG msg;
        return PeekMessageW(&msg, m_tray->m_hWnd, message, message, PM_REMOVE) != FALSE;
    }

    CTrayWindow* m_tray = nullptr;
};

TEST_F(TrayWindowLife, CreationSetsUpHiddenWindowHotkeyIconAndMenu) {
    HWND hwnd = m_tray->m_hWnd;
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    wchar_t text[64] = {};
    GetClassNameW(hwnd, text, 64);
    EXPECT_STREQ(text, L"Selvane");
    GetWindowTextW(hwnd, text, 64);
    EXPECT_STREQ(text, L"Selvane");
    EXPECT_EQ(reinterpret_cast<CTrayWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)), m_tray);

    EXPECT_TRUE(m_tray->m_hotkeyRegistered);
    EXPECT_FALSE(HotkeyFree());
    EXPECT_NE(m_tray->m_popupMenu, nullptr);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(m_tray->m_popupMenu, 0)), 2);
    EXPECT_EQ(GetMenuItemID(GetSubMenu(m_tray->m_popupMenu, 0), 0), static_cast<UINT>(IDM_OPTIONS));
    EXPECT_EQ(GetMenuItemID(GetSubMenu(m_tray->m_popupMenu, 0), 1), static_cast<UINT>(IDM_QUIT));
    EXPECT_NE(m_tray->m_optionDialog, nullptr);
    EXPECT_EQ(m_tray->m_trayCallbackMessage, RegisterWindowMessageA("NotifyIcon"));

    ASSERT_TRUE(m_tray->m_iconAdded);
    const NOTIFYICONDATAW& icon = m_tray->m_notifyIconData;
    EXPECT_EQ(icon.cbSize, sizeof(NOTIFYICONDATAW));
    EXPECT_EQ(icon.hWnd, hwnd);
    EXPECT_EQ(icon.uID, 0u);
    EXPECT_EQ(icon.uFlags,
              static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_GUID | NIF_SHOWTIP));
    EXPECT_EQ(icon.uCallbackMessage, m_tray->m_trayCallbackMessage);
    EXPECT_NE(icon.hIcon, nullptr);
    EXPECT_STREQ(icon.szTip, L"Selvane Tray Icon");
    EXPECT_EQ(icon.uVersion, 4u);
    EXPECT_TRUE(IsEqualGUID(icon.guidItem, TrayIconGuid));
    EXPECT_EQ(icon.szInfo[0], L'\0');
    EXPECT_TRUE(IconKnownToShell());
    EXPECT_TRUE(m_tray->m_iconVersion4) << "the shell did not take version 4";
}

HWND g_foregroundDuringMenu;

// Closes the tray menu from inside its loop, which dispatches the thread's timers.
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR, DWORD) {
    g_foregroundDuringMenu = GetForegroundWindow();
    EndMenu();
}

TEST_F(TrayWindowLife, RightButtonMenuIsOwnedByForegroundMainWindowAndClosedCleanly) {
    g_foregroundDuringMenu = nullptr;
    UINT_PTR timer = SetTimer(nullptr, 0, 200, &CloseMenu);
    SendMessageW(m_tray->m_hWnd, m_tray->m_trayCallbackMessage, 0, MAKELPARAM(WM_CONTEXTMENU, 0));
    KillTimer(nullptr, timer);
    EXPECT_EQ(g_foregroundDuringMenu, m_tray->m_hWnd);
    EXPECT_TRUE(TakePosted(WM_NULL)) << "no WM_NULL after the menu";
}

TEST_F(TrayWindowLife, TaskbarCreatedAddsTheLostIconAgain) {
    ASSERT_TRUE(IconKnownToShell());
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &m_tray->m_notifyIconData));
    EXPECT_FALSE(IconKnownToShell());
    m_tray->m_iconVersion4 = false;
    EXPECT_EQ(SendMessageW(m_tray->m_hWnd, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0), 0);
    EXPECT_TRUE(IconKnownToShell());
    EXPECT_TRUE(m_tray->m_iconVersion4) << "the version was not asked for again";
}

TEST_F(TrayWindowLife, CommandsAndHotkeyIdsThatDoNothing) {
    HWND hwnd = m_tray->m_hWnd;
    EXPECT_EQ(SendMessageW(hwnd, WM_COMMAND, IDM_ABOUT, 0), 0);
    EXPECT_EQ(SendMessageW(hwnd, WM_HOTKEY, 3, MAKELPARAM(kModifiers, kKeyCode)), 0);
    EXPECT_EQ(SendMessageW(hwnd, WM_COMMAND, 4242, 0), 0);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(m_tray->m_hotkeyRegistered);
    EXPECT_FALSE(TakePosted(WM_QUIT));
}

TEST_F(TrayWindowLife, TeardownReleasesEverythingAndPostsQuitZero) {
    // Run the teardown with the window still alive, so that the shell's answer about the
    // icon concerns the delete request and not a vanished owner.
    EXPECT_EQ(m_tray->WindowProc(WM_DESTROY, 0, 0), 0);
    EXPECT_EQ(m_tray->m_optionDialog, nullptr);
    EXPECT_FALSE(m_tray->m_hotkeyRegistered);
    EXPECT_TRUE(HotkeyFree());
    EXPECT_FALSE(IconKnownToShell());
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u);
}

TEST_F(TrayWindowLife, QuitAndExitBothDestroyTheMainWindow) {
    for (WPARAM command : {IDM_QUIT, IDM_EXIT}) {
        HWND hwnd = m_tray->m_hWnd;
        EXPECT_EQ(SendMessageW(hwnd, WM_COMMAND, command, 0), 0);
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_TRUE(HotkeyFree());
        MSG msg;
        EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        if (command == IDM_QUIT) Recreate();  // a fresh window for the second command
    }
}


// ---------------------------------------------------------------------------------------
// The shell refusing the icon. Wine ties no GUID to a path and its tray is always up, so a
// stand-in for Shell_NotifyIconW refuses what Windows would.

decltype(&Shell_NotifyIconW) g_realNotify = nullptr;
int g_refusedTries = 0;      // tries refused whatever they ask (no shell yet)
bool g_refuseGuid = false;   // requests identified by GUID refused (a moved program)
int g_tries = 0;             // add requests by GUID: one per try
bool g_refuseVersion = false;  // NIM_SETVERSION refused (a shell without version 4)
BOOL WINAPI RefusingNotify(DWORD request, PNOTIFYICONDATAW data) {
    const bool byGuid = (data->uFlags & NIF_GUID) != 0;
    if (g_refuseVersion && request == NIM_SETVERSION) return FALSE;
    if (request == NIM_ADD && byGuid && ++g_tries <= g_refusedTries) return FALSE;
    if (g_tries <= g_refusedTries && request != NIM_DELETE) return FALSE;
    if (g_refuseGuid && byGuid) return FALSE;
    return g_realNotify(request, data);
}

TEST_F(TrayWindowLife, RefusedIconIsAddedByWindowOrTriedAgainThenReported) {
    g_realNotify = reinterpret_cast<decltype(&Shell_NotifyIconW)>(
        SwapImport("Shell_NotifyIconW", reinterpret_cast<void*>(&RefusingNotify)));
    ASSERT_NE(g_realNotify, nullptr);
    const struct {
        bool refuseGuid;
        int refusedTries;
        bool added;
    } cases[] = {{true, 0, true}, {false, 1, true}, {false, kIconTries * 2, false}};
    for (const auto& c : cases) {
        g_refuseGuid = c.refuseGuid;
        g_refusedTries = c.refusedTries;
        g_tries = 0;
        std::wstring box;
        {
            BoxWatcher watcher(L"Selvane");
            Recreate();
            // The last try shows its box (read and dismissed by the watcher) before the
            // timer message that ran it returns.
            for (DWORD start = GetTickCount(); !m_tray->m_iconAdded && g_tries < kIconTries &&
                                               GetTickCount() - start < 30000;) {
                MSG msg;
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
                Sleep(20);
            }
            box = watcher.Text();
        }
        EXPECT_EQ(m_tray->m_iconAdded, c.added) << c.refusedTries;
        EXPECT_EQ(m_tray->m_iconVersion4, c.added) << "version 4 not asked for after the add";
        EXPECT_EQ(box, c.added ? L"" : L"Failed to add an icon in the tray");
        // One-shot timers only: none is left, whether the icon came or not.
        EXPECT_FALSE(KillTimer(m_tray->m_hWnd, kIconRetryTimer));
        // By GUID when the shell takes it; by window and id in every request otherwise.
        const bool byGuid = (m_tray->m_notifyIconData.uFlags & NIF_GUID) != 0;
        EXPECT_EQ(byGuid, !c.refuseGuid);
        EXPECT_EQ(IconKnownToShell(byGuid), c.added);
        const NOTIFYICONDATAW balloon = MakeBalloonRequest(m_tray->m_notifyIconData, L"t", L"T", 1);
        EXPECT_EQ(balloon.uFlags, static_cast<UINT>(byGuid ? NIF_INFO | NIF_GUID : NIF_INFO));
        EXPECT_EQ(m_tray->WindowProc(WM_DESTROY, 0, 0), 0);
        EXPECT_FALSE(IconKnownToShell(byGuid));
    }
    SwapImport("Shell_NotifyIconW", reinterpret_cast<void*>(g_realNotify));
}

// What each notification of the icon opens: with version 4 the event is the low word and
// the menu comes on WM_CONTEXTMENU; where the shell refused the version, lParam is the mouse
// message itself and the menu comes on WM_RBUTTONUP. A single click opens nothing.
TEST_F(TrayWindowLife, NotificationsOpenTheMenuOrTheOptionsWindow) {
    enum Opens { kNothing, kMenu, kOptions };
    const struct {
        bool version4;
        LPARAM lParam;
        Opens opens;
    } cases[] = {
        {true, MAKELPARAM(WM_CONTEXTMENU, 0), kMenu},
        {true, MAKELPARAM(WM_LBUTTONDBLCLK, 0), kOptions},
        {true, MAKELPARAM(NIN_KEYSELECT, 0), kOptions},
        {true, MAKELPARAM(WM_RBUTTONUP, 0), kNothing},  // WM_CONTEXTMENU follows it
        {true, MAKELPARAM(WM_RBUTTONDOWN, 0), kNothing},
        {true, MAKELPARAM(WM_LBUTTONDOWN, 0), kNothing},
        {true, MAKELPARAM(WM_LBUTTONUP, 0), kNothing},
        {true, MAKELPARAM(NIN_SELECT, 0), kNothing},
        {true, MAKELPARAM(WM_MOUSEMOVE, 0), kNothing},
        {false, WM_RBUTTONUP, kMenu},
        {false, WM_LBUTTONDBLCLK, kOptions},
        {false, WM_LBUTTONUP, kNothing},
        {false, WM_RBUTTONDOWN, kNothing},
        {false, WM_MOUSEMOVE, kNothing},
    };
    for (bool version4 : {true, false}) {
        if (!version4) {
            // A shell that refuses the version, with a window made for it.
            g_realNotify = reinterpret_cast<decltype(&Shell_NotifyIconW)>(
                SwapImport("Shell_NotifyIconW", reinterpret_cast<void*>(&RefusingNotify)));
            ASSERT_NE(g_realNotify, nullptr);
            g_refuseGuid = false;
            g_refusedTries = 0;
            g_refuseVersion = true;
            Recreate();
        }
        ASSERT_EQ(m_tray->m_iconVersion4, version4);
        for (const auto& c : cases) {
            if (c.version4 != version4) continue;
            g_foregroundDuringMenu = nullptr;
            UINT_PTR timer = SetTimer(nullptr, 0, 200, &CloseMenu);
            EXPECT_EQ(SendMessageW(m_tray->m_hWnd, m_tray->m_trayCallbackMessage, 0, c.lParam), 0);
            KillTimer(nullptr, timer);
            HWND options = m_tray->m_optionDialog->m_hWnd;
            const bool optionsShown = options != nullptr && IsWindowVisible(options);
            EXPECT_EQ(TakePosted(WM_NULL), c.opens == kMenu) << version4 << " " << c.lParam;
            EXPECT_EQ(optionsShown, c.opens == kOptions) << version4 << " " << c.lParam;
            if (options != nullptr) ShowWindow(options, SW_HIDE);
        }
    }
    g_refuseVersion = false;
    SwapImport("Shell_NotifyIconW", reinterpret_cast<void*>(g_realNotify));
}

// ---------------------------------------------------------------------------------------
// "Quit" from the tray while a box of the Settings page is up: the options window and its
// object go; the page must touch nothing of itself when the box returns.

TEST_F(TrayWindowLife, QuitDuringASettingsBoxEndsCleanly) {
    for (bool storeFails : {false, true}) {
        HWND other = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                     nullptr);
        if (storeFails) {
            // Below a volatile key no lasting key can be made: the store fails (box 116).
            HKEY key = nullptr;
            ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\SelvaneTests\\volatile", 0,
                                      nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr, &key,
                                      nullptr),
                      ERROR_SUCCESS);
            RegCloseKey(key);
            SettingsKeyPath = "Software\\SelvaneTests\\volatile\\Lasting";
        } else {
            // Held elsewhere: the registration fails (box 113).
            ASSERT_TRUE(RegisterHotKey(other, 1, MOD_CONTROL | MOD_ALT, 'J'));
        }
        m_tray->ShowOptions();
        CSettingsDialog& page = m_tray->m_optionDialog->m_settingsPage;
        page.m_key = 'J';
        page.m_modifiers = MOD_CONTROL | MOD_ALT;
        HWND main = m_tray->m_hWnd;
        std::wstring text;
        {
            BoxWatcher box(L"Selvane", main, WM_COMMAND, IDM_QUIT);
            SendMessageW(page.m_hWnd, WM_COMMAND, IDC_APPLY, 0);
            text = box.Text();
        }
        EXPECT_EQ(text.rfind(storeFails ? L"Failed to save" : L"The hotkey could not", 0), 0u);
        EXPECT_FALSE(IsWindow(main));
        EXPECT_EQ(m_tray->m_optionDialog, nullptr);
        MSG msg;
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(msg.wParam, 0u);
        DestroyWindow(other);
        Recreate();
    }
}

}  // namespace
