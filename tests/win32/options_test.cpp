// The options window and its pages, created in-process for a hidden stand-in of the main
// window, driven through their real controls.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/tray_window.h"
#include "options/option_dialog.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "tests/win32/test_helpers.h"

namespace {

const char kTestKey[] = "Software\\SelvaneTest\\Options";
const wchar_t kTestKeyW[] = L"Software\\SelvaneTest\\Options";

void Pump(DWORD milliseconds = 0) {
    DWORD end = GetTickCount() + milliseconds;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (milliseconds != 0) Sleep(10);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

std::string Stored(const char* name) {
    std::string value;
    if (!ReadRegistryString(name, value)) return "(none)";
    return value;
}

// The main window stand-in: counts the hotkey messages it gets.
std::atomic<int> g_hotkeys{0};
LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HOTKEY && wParam == 0) ++g_hotkeys;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND CreateHiddenWindow() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = OwnerProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"SelvaneOptionsTestOwner";
        RegisterClassW(&windowClass);
        registered = true;
    }
    return CreateWindowExW(0, L"SelvaneOptionsTestOwner", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// True when some other window can take the combination, i.e. nobody holds it.
bool IsFree(UINT modifiers, UINT key) {
    HWND probe = CreateHiddenWindow();
    bool free = RegisterHotKey(probe, 7, modifiers, key) != FALSE;
    if (free) UnregisterHotKey(probe, 7);
    DestroyWindow(probe);
    return free;
}

class OptionsWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TAB_CLASSES | ICC_HOTKEY_CLASS};
        InitCommonControlsEx(&icc);
    }

    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestKeyW);
        m_tray = new CTrayWindow();  // sets the real key path; ours replaces it below
        SettingsKeyPath = kTestKey;
        m_tray->m_hWnd = CreateHiddenWindow();
        ASSERT_NE(m_tray->m_hWnd, nullptr);
        g_hotkeys = 0;
    }

    void TearDown() override {
        if (m_tray->m_optionDialog != nullptr) {
            m_tray->m_optionDialog->Destroy();
            delete m_tray->m_optionDialog;
        }
        if (m_tray->m_hotkeyRegistered) UnregisterHotKey(m_tray->m_hWnd, 0);
        DestroyWindow(m_tray->m_hWnd);
        delete m_tray;
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestKeyW);
        Pump();
    }

    // Builds the options object anew from the stored settings (as the program's start
    // does), registers the stored hotkey as the main window would, and shows the window.
    void Open() {
        delete m_tray->m_optionDialog;
        m_tray->m_optionDialog = new COptionDialog(m_tray);
        m_tray->m_hotkeyRegistered =
            RegisterHotKey(m_tray->m_hWnd, 0, GetOpenSelectionHotkeyModifier(),
                           GetOpenSelectionHotkey()) != FALSE;
        ASSERT_TRUE(m_tray->m_hotkeyRegistered) << "stored hotkey taken by someone else";
        m_tray->ShowOptions();
        ASSERT_NE(Window(), nullptr);
        Pump();
    }

    COptionDialog& Dialog() { return *m_tray->m_optionDialog; }
    HWND Window() { return Dialog().m_hWnd; }
    HWND Tabs() { return GetDlgItem(Window(), IDC_TABS); }
    HWND Settings() { return Dialog().m_settingsPage.m_hWnd; }
    HWND SettingsItem(int id) { return GetDlgItem(Settings(), id); }
    HWND BrowseButton() { return GetDlgItem(Dialog().m_aboutPage.m_hWnd, IDC_BROWSE_REGISTRY); }

    // Which pages are visible, as "W", "S", "A" in tab order.
    std::string VisiblePages() {
        std::string shown;
        if (IsWindowVisible(Dialog().m_welcomePage.m_hWnd)) shown += "W";
        if (IsWindowVisible(Dialog().m_settingsPage.m_hWnd)) shown += "S";
        if (IsWindowVisible(Dialog().m_aboutPage.m_hWnd)) shown += "A";
        return shown;
    }

    // A mouse click on a tab, as the tab control gets it from the user.
    void ClickTab(int index) {
        RECT item = {};
        ASSERT_TRUE(SendMessageW(Tabs(), TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item)));
        LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
        SendMessageW(Tabs(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(Tabs(), WM_LBUTTONUP, 0, at);
        Pump();
    }

    void Click(int id) {
        SendMessageW(SettingsItem(id), BM_CLICK, 0, 0);
        Pump();
    }

    bool IsChecked(int id) {
        return SendMessageW(SettingsItem(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }

    bool ApplyEnabled() { return IsWindowEnabled(SettingsItem(IDC_APPLY)) != FALSE; }

    unsigned int HotkeyValue() {
        return static_cast<unsigned int>(
            SendMessageW(SettingsItem(IDC_HOTKEY), HKM_GETHOTKEY, 0, 0));
    }

    // What the hot-key control tells its page after an edit by the user.
    void SetHotkeyControl(WORD value) {
        HWND control = SettingsItem(IDC_HOTKEY);
        SendMessageW(control, HKM_SETHOTKEY, value, 0);
        SendMessageW(Settings(), WM_COMMAND, MAKEWPARAM(IDC_HOTKEY, EN_CHANGE),
                     reinterpret_cast<LPARAM>(control));
    }

    CTrayWindow* m_tray = nullptr;
};

// ---------------------------------------------------------------------------------------
// The dialog base, with a probe object of its own.

struct Probe final : CBaseWindow {
    INT_PTR DialogProc(UINT message, WPARAM, LPARAM) override {
        messages.push_back(message);
        return message == WM_USER + 1 ? 42 : 0;
    }
    std::vector<UINT> messages;
};

// The page templates are child dialogs: they get a hidden parent of their own.
HWND CreateProbe(int templateId, Probe* probe) {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TAB_CLASSES | ICC_HOTKEY_CLASS};
    InitCommonControlsEx(&icc);
    static HWND parent = CreateHiddenWindow();
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), parent,
                              &CBaseWindow::StaticDialogProc, reinterpret_cast<LPARAM>(probe));
}

TEST(DialogBase, BindsAtInitDialogAndForwardsTheObjectsResult) {
    Probe probe;
    HWND hwnd = CreateProbe(IDD_ABOUT, &probe);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(probe.m_hWnd, hwnd);
    // WM_SETFONT comes before WM_INITDIALOG and reaches no object.
    ASSERT_FALSE(probe.messages.empty());
    EXPECT_EQ(probe.messages.front(), static_cast<UINT>(WM_INITDIALOG));
    EXPECT_EQ(CBaseWindow::StaticDialogProc(hwnd, WM_USER + 1, 0, 0), 42);
    EXPECT_EQ(CBaseWindow::StaticDialogProc(hwnd, WM_USER, 0, 0), 0);

    probe.Destroy();
    EXPECT_EQ(probe.m_hWnd, nullptr);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_NE(std::find(probe.messages.begin(), probe.messages.end(), WM_DESTROY),
              probe.messages.end());
    // Once more: nothing to do.
    size_t seen = probe.messages.size();
    probe.Destroy();
    EXPECT_EQ(probe.m_hWnd, nullptr);
    EXPECT_EQ(probe.messages.size(), seen);
}

TEST(DialogBase, NullCreationParameterBindsNothing) {
    HWND hwnd = CreateProbe(IDD_ABOUT, nullptr);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_USERDATA), 0);
    EXPECT_EQ(CBaseWindow::StaticDialogProc(hwnd, WM_USER + 1, 0, 0), FALSE);
    EXPECT_EQ(CBaseWindow::StaticDialogProc(hwnd, WM_COMMAND, IDC_BROWSE_REGISTRY, 0), FALSE);
    DestroyWindow(hwnd);

    Probe idle;  // never had a window: Destroy does nothing
    idle.Destroy();
    EXPECT_EQ(idle.m_hWnd, nullptr);
    EXPECT_TRUE(idle.messages.empty());
}

TEST(DialogBase, IsCheckedMeansExactlyChecked) {
    Probe probe;
    HWND hwnd = CreateProbe(IDD_SETTINGS, &probe);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(probe.IsChecked(4242));  // no such control
    SendDlgItemMessageW(hwnd, IDC_WIN_CHECK, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(probe.IsChecked(IDC_WIN_CHECK));
    SendDlgItemMessageW(hwnd, IDC_WIN_CHECK, BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_FALSE(probe.IsChecked(IDC_WIN_CHECK));
    HWND threeState = CreateWindowExW(0, L"BUTTON", L"x", WS_CHILD | BS_AUTO3STATE, 0, 0, 20, 20,
                                      hwnd, reinterpret_cast<HMENU>(4243), nullptr, nullptr);
    SendMessageW(threeState, BM_SETCHECK, BST_INDETERMINATE, 0);
    ASSERT_EQ(SendMessageW(threeState, BM_GETCHECK, 0, 0), BST_INDETERMINATE);
    EXPECT_FALSE(probe.IsChecked(4243));
    probe.Destroy();
}

// ---------------------------------------------------------------------------------------
// The tabbed window.

TEST_F(OptionsWindow, FirstShowingHasThreeTabsWithTheWelcomePage) {
    Open();
    EXPECT_TRUE(IsWindowVisible(Window()));
    EXPECT_EQ(GetWindow(Window(), GW_OWNER), m_tray->m_hWnd);
    ASSERT_EQ(SendMessageW(Tabs(), TCM_GETITEMCOUNT, 0, 0), 3);
    const wchar_t* labels[] = {L"Welcome", L"Settings", L"About"};
    for (int i = 0; i < 3; ++i) {
        wchar_t text[64] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 64;
        SendMessageW(Tabs(), TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(text, labels[i]);
    }
    EXPECT_EQ(SendMessageW(Tabs(), TCM_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(VisiblePages(), "W");
    // The pages live in the group box.
    HWND frame = GetDlgItem(Window(), IDC_PAGE_FRAME);
    for (CBaseWindow* page : {static_cast<CBaseWindow*>(&Dialog().m_welcomePage),
                              static_cast<CBaseWindow*>(&Dialog().m_settingsPage),
                              static_cast<CBaseWindow*>(&Dialog().m_aboutPage)}) {
        ASSERT_NE(page->m_hWnd, nullptr);
        EXPECT_EQ(GetParent(page->m_hWnd), frame);
    }
    EXPECT_FALSE(Dialog().m_selecting);
}

TEST_F(OptionsWindow, EachTabShowsOnlyItsPage) {
    Open();
    ClickTab(1);
    EXPECT_EQ(VisiblePages(), "S");
    ClickTab(2);
    EXPECT_EQ(VisiblePages(), "A");
    ClickTab(0);
    EXPECT_EQ(VisiblePages(), "W");

    // A change reported while the window moves the selection itself is not followed.
    Dialog().m_selecting = true;
    SendMessageW(Tabs(), TCM_SETCURSEL, 2, 0);
    NMHDR header = {Tabs(), IDC_TABS, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(Window(), WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(VisiblePages(), "W");
    // Nor is one from another control.
    Dialog().m_selecting = false;
    header.hwndFrom = GetDlgItem(Window(), IDC_PAGE_FRAME);
    SendMessageW(Window(), WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(VisiblePages(), "W");
    // Out-of-range indexes leave the pages alone.
    Dialog().SelectPage(3, false);
    Dialog().SelectPage(-1, false);
    EXPECT_EQ(VisiblePages(), "W");
    Dialog().SelectPage(1, true);
    EXPECT_EQ(SendMessageW(Tabs(), TCM_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(VisiblePages(), "S");
    EXPECT_FALSE(Dialog().m_selecting);
}

TEST_F(OptionsWindow, CloseHidesAndOptionsBringsBackTheSameWindowAsItWas) {
    Open();
    HWND first = Window();
    ClickTab(1);
    Click(IDC_WIN_CHECK);  // an edit that is not applied
    ASSERT_TRUE(ApplyEnabled());

    SendMessageW(Window(), WM_CLOSE, 0, 0);
    Pump();
    EXPECT_TRUE(IsWindow(first));
    EXPECT_FALSE(IsWindowVisible(first));

    m_tray->ShowOptions();
    Pump(100);
    EXPECT_EQ(Window(), first);
    EXPECT_TRUE(IsWindowVisible(first));
    EXPECT_EQ(GetForegroundWindow(), first);
    EXPECT_EQ(SendMessageW(Tabs(), TCM_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(VisiblePages(), "S");
    EXPECT_FALSE(IsChecked(IDC_WIN_CHECK));
    EXPECT_TRUE(ApplyEnabled());
    EXPECT_EQ(Dialog().m_settingsPage.m_modifiers, static_cast<unsigned int>(MOD_CONTROL));
}

// Records the windows that get WM_DESTROY, in order.
std::vector<HWND> g_destroyed;
LRESULT CALLBACK RecordDestroy(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_DESTROY) g_destroyed.push_back(message->hwnd);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(OptionsWindow, TeardownDestroysThePagesAndClearsEveryHandle) {
    Open();
    HWND window = Window();
    HWND welcome = Dialog().m_welcomePage.m_hWnd;
    HWND settings = Dialog().m_settingsPage.m_hWnd;
    HWND about = Dialog().m_aboutPage.m_hWnd;
    g_destroyed.clear();
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, RecordDestroy, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    // As the main window's destruction does first, for the window it owns; the teardown
    // that follows must not destroy the dead handle.
    DestroyWindow(window);
    EXPECT_EQ(Window(), nullptr);
    Dialog().Destroy();
    UnhookWindowsHookEx(hook);

    EXPECT_EQ(Window(), nullptr);
    EXPECT_EQ(Dialog().m_welcomePage.m_hWnd, nullptr);
    EXPECT_EQ(Dialog().m_settingsPage.m_hWnd, nullptr);
    EXPECT_EQ(Dialog().m_aboutPage.m_hWnd, nullptr);
    for (HWND hwnd : {window, welcome, settings, about}) EXPECT_FALSE(IsWindow(hwnd));
    // The window's WM_DESTROY takes the pages down in tab order, each once.
    std::vector<HWND> order;
    for (HWND hwnd : g_destroyed) {
        if (hwnd == window || hwnd == welcome || hwnd == settings || hwnd == about) {
            order.push_back(hwnd);
        }
    }
    EXPECT_EQ(order, (std::vector<HWND>{window, welcome, settings, about}));
}

// ---------------------------------------------------------------------------------------
// Settings page.

TEST_F(OptionsWindow, SettingsShowDefaultsAndStoredValues) {
    Open();
    EXPECT_EQ(HotkeyValue(), MAKEWORD('O', HOTKEYF_CONTROL));
    EXPECT_TRUE(IsChecked(IDC_WIN_CHECK));
    EXPECT_TRUE(IsChecked(IDC_BALLOON_SHORTCUT));
    EXPECT_TRUE(IsChecked(IDC_BALLOON_CLOSE));
    EXPECT_FALSE(ApplyEnabled());
    Dialog().Destroy();
    UnregisterHotKey(m_tray->m_hWnd, 0);

    ASSERT_TRUE(SetOpenSelectionHotkey(75, MOD_ALT | MOD_SHIFT));
    SetShowBalloonOnShortcutPressed(false);
    Open();
    EXPECT_EQ(HotkeyValue(), MAKEWORD('K', HOTKEYF_SHIFT | HOTKEYF_ALT));
    EXPECT_FALSE(IsChecked(IDC_WIN_CHECK));
    EXPECT_FALSE(IsChecked(IDC_BALLOON_SHORTCUT));
    EXPECT_TRUE(IsChecked(IDC_BALLOON_CLOSE));
    EXPECT_FALSE(ApplyEnabled());
}

void SendKeys(std::initializer_list<std::pair<WORD, bool>> keys) {
    std::vector<INPUT> inputs;
    for (const auto& key : keys) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key.first;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key.first, MAPVK_VK_TO_VSC));
        if (key.first == VK_LEFT) input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
        if (!key.second) input.ki.dwFlags |= KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Pump(200);
}

TEST_F(OptionsWindow, TypedCombinationsFollowTheKeys) {
    ASSERT_TRUE(SetOpenSelectionHotkey(75, MOD_ALT | MOD_SHIFT));
    Open();
    ClickTab(1);
    SetForegroundWindow(Window());
    SetFocus(SettingsItem(IDC_HOTKEY));
    Pump(100);
    ASSERT_EQ(GetFocus(), SettingsItem(IDC_HOTKEY));
    CSettingsDialog& page = Dialog().m_settingsPage;

    // Ctrl+Alt+K typed with real key events.
    SendKeys({{VK_CONTROL, true},
              {VK_MENU, true},
              {'K', true},
              {'K', false},
              {VK_MENU, false},
              {VK_CONTROL, false}});
    EXPECT_EQ(page.m_key, 75u);
    EXPECT_EQ(page.m_modifiers, static_cast<unsigned int>(MOD_CONTROL | MOD_ALT));
    EXPECT_TRUE(ApplyEnabled());

    // Keys without Shift, Ctrl or Alt while "win" is unchecked do not enable Apply,
    // an arrow key (an extended key) neither.
    page.EnableApply(false);
    SendKeys({{VK_F5, true}, {VK_F5, false}});
    EXPECT_EQ(page.m_key, static_cast<unsigned int>(VK_F5));
    EXPECT_EQ(page.m_modifiers, 0u);
    EXPECT_FALSE(ApplyEnabled());
    SendKeys({{VK_LEFT, true}, {VK_LEFT, false}});
    EXPECT_EQ(page.m_key, static_cast<unsigned int>(VK_LEFT));
    EXPECT_EQ(page.m_modifiers, 0u);
    EXPECT_FALSE(ApplyEnabled());

    // With "win" checked a typed key keeps MOD_WIN; unchecking removes it.
    Click(IDC_WIN_CHECK);
    EXPECT_EQ(page.m_modifiers, static_cast<unsigned int>(MOD_WIN));
    SetFocus(SettingsItem(IDC_HOTKEY));
    SendKeys({{VK_SHIFT, true}, {'P', true}, {'P', false}, {VK_SHIFT, false}});
    EXPECT_EQ(page.m_key, static_cast<unsigned int>('P'));
    EXPECT_EQ(page.m_modifiers, static_cast<unsigned int>(MOD_WIN | MOD_SHIFT));
    Click(IDC_WIN_CHECK);
    EXPECT_EQ(page.m_modifiers, static_cast<unsigned int>(MOD_SHIFT));
    // Nothing of this was stored.
    EXPECT_EQ(Stored("OpenSelectionHotkey"), "75");
    EXPECT_EQ(Stored("OpenSelectionHotkeyModifier"), "5");
}

TEST_F(OptionsWindow, ApplyWithNothingChangedOnlyDisablesApply) {
    Open();
    Click(IDC_WIN_CHECK);
    Click(IDC_WIN_CHECK);
    EXPECT_TRUE(ApplyEnabled());
    Click(IDC_APPLY);
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(Stored("OpenSelectionHotkey"), "(none)");
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_WIN, 'O'));
}

TEST_F(OptionsWindow, ApplyReplacesTheHotkeyAndStoresIt) {
    Open();
    Click(IDC_WIN_CHECK);
    SetHotkeyControl(MAKEWORD('J', HOTKEYF_CONTROL | HOTKEYF_ALT));
    ASSERT_TRUE(ApplyEnabled());
    Click(IDC_APPLY);

    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(Stored("OpenSelectionHotkey"), "74");
    EXPECT_EQ(Stored("OpenSelectionHotkeyModifier"), "3");
    EXPECT_TRUE(m_tray->m_hotkeyRegistered);
    // Only the new combination is held now.
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_ALT, 'J'));
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_WIN, 'O'));
    // And it reaches the main window.
    SendKeys({{VK_CONTROL, true},
              {VK_MENU, true},
              {'J', true},
              {'J', false},
              {VK_MENU, false},
              {VK_CONTROL, false}});
    EXPECT_EQ(g_hotkeys.load(), 1);
}

TEST_F(OptionsWindow, ApplyWithATakenCombinationKeepsTheOldOne) {
    Open();
    HWND other = CreateHiddenWindow();
    ASSERT_TRUE(RegisterHotKey(other, 1, MOD_CONTROL | MOD_ALT, 'J'));
    Click(IDC_WIN_CHECK);
    SetHotkeyControl(MAKEWORD('J', HOTKEYF_CONTROL | HOTKEYF_ALT));
    std::wstring text;
    {
        BoxWatcher box(L"Selvane");
        Click(IDC_APPLY);
        text = box.Text();
    }
    EXPECT_EQ(text,
              L"The hotkey could not be changed,please make sure another application is not "
              L"using it.");
    EXPECT_TRUE(ApplyEnabled());
    EXPECT_EQ(Stored("OpenSelectionHotkey"), "(none)");
    EXPECT_EQ(Stored("OpenSelectionHotkeyModifier"), "(none)");
    EXPECT_TRUE(m_tray->m_hotkeyRegistered);
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_WIN, 'O'));  // still ours

    // Once the other program lets go, Apply goes through.
    UnregisterHotKey(other, 1);
    DestroyWindow(other);
    Click(IDC_APPLY);
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(Stored("OpenSelectionHotkey"), "74");
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_WIN, 'O'));
}

TEST_F(OptionsWindow, AfterAFailedStoreGoingBackRestoresTheStoredHotkey) {
    // Below a volatile key no lasting key can be created: every store fails, every read
    // gives the defaults.
    HKEY volatileKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\SelvaneTest\\Options", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_WRITE, nullptr, &volatileKey, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(volatileKey);
    SettingsKeyPath = std::string(kTestKey) + "\\Lasting";
    Open();
    Click(IDC_WIN_CHECK);
    SetHotkeyControl(MAKEWORD('J', HOTKEYF_CONTROL | HOTKEYF_ALT));
    std::wstring text;
    {
        BoxWatcher box(L"Selvane");
        Click(IDC_APPLY);
        text = box.Text();
    }
    EXPECT_EQ(text.rfind(L"Failed to save the new hotkey in the registry.", 0), 0u);
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_ALT, 'J'));  // in force for this run
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_WIN, 'O'));

    // Back to the stored Ctrl+Win+O: it must be put in force again, with nothing to store.
    Click(IDC_WIN_CHECK);
    SetHotkeyControl(MAKEWORD('O', HOTKEYF_CONTROL));
    ASSERT_EQ(Dialog().m_settingsPage.m_modifiers,
              static_cast<unsigned int>(MOD_CONTROL | MOD_WIN));
    {
        BoxWatcher box(L"Selvane");
        Click(IDC_APPLY);
        text = box.Text();
    }
    EXPECT_EQ(text, L"");  // no box this time
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_WIN, 'O'));
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_ALT, 'J'));
}

TEST_F(OptionsWindow, ApplyWithoutAModifierOrAKeyChangesNothing) {
    Open();
    // No key: "win" and Ctrl with nothing else. No modifier: a bare letter.
    for (WORD edit : {MAKEWORD(0, HOTKEYF_CONTROL), MAKEWORD('K', 0)}) {
        if (edit == MAKEWORD('K', 0)) Click(IDC_WIN_CHECK);
        SetHotkeyControl(edit);
        ASSERT_TRUE(ApplyEnabled());
        BoxWatcher box(L"Selvane");
        Click(IDC_APPLY);
        EXPECT_EQ(box.Text().rfind(L"The hotkey could not be changed", 0), 0u) << edit;
        EXPECT_TRUE(ApplyEnabled());
        EXPECT_EQ(Stored("OpenSelectionHotkey"), "(none)");
        EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_WIN, 'O'));  // still in force
        EXPECT_TRUE(IsFree(0, 'K'));
    }
}

TEST_F(OptionsWindow, BalloonBoxesAreStoredAtOnce) {
    Open();
    Click(IDC_BALLOON_SHORTCUT);
    EXPECT_EQ(Stored("ShowBalloonOnShortcutPressed"), "0");
    Click(IDC_BALLOON_CLOSE);
    EXPECT_EQ(Stored("ShowBalloonOnClosePressed"), "0");
    Click(IDC_BALLOON_SHORTCUT);
    EXPECT_EQ(Stored("ShowBalloonOnShortcutPressed"), "1");
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(Stored("OpenSelectionHotkey"), "(none)");
}

// ---------------------------------------------------------------------------------------
// Welcome and About pages.

TEST_F(OptionsWindow, WelcomeShowsThePictureAndALargerTitle) {
    Open();
    HWND page = Dialog().m_welcomePage.m_hWnd;
    auto bitmap = reinterpret_cast<HBITMAP>(
        SendDlgItemMessageW(page, IDC_WELCOME_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info = {};
    ASSERT_TRUE(GetObjectW(bitmap, sizeof(info), &info));
    EXPECT_EQ(info.bmWidth, 200);
    EXPECT_EQ(info.bmHeight, 173);

    auto font =
        reinterpret_cast<HFONT>(SendDlgItemMessageW(page, IDC_WELCOME_TITLE, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW logFont = {};
    ASSERT_TRUE(GetObjectW(font, sizeof(logFont), &logFont));
    EXPECT_EQ(logFont.lfHeight, 20);
    EXPECT_STREQ(logFont.lfFaceName, L"Arial");
    EXPECT_EQ(logFont.lfPitchAndFamily, FF_SWISS);
}

void HoldShift(bool down) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

TEST_F(OptionsWindow, BrowseRegistryAppearsOnlyForTheAboutTabChosenWithShift) {
    Open();
    ASSERT_NE(BrowseButton(), nullptr);
    EXPECT_FALSE(IsWindowVisible(BrowseButton()));
    ClickTab(2);
    EXPECT_FALSE(IsWindowVisible(BrowseButton()));
    ClickTab(0);
    HoldShift(true);
    ClickTab(1);  // Shift on another tab reveals nothing
    EXPECT_FALSE(GetWindowLongPtrW(BrowseButton(), GWL_STYLE) & WS_VISIBLE);
    HoldShift(false);
    ClickTab(2);
    EXPECT_FALSE(IsWindowVisible(BrowseButton()));
    // Shift on the About tab that is already chosen.
    HoldShift(true);
    ClickTab(2);
    HoldShift(false);
    EXPECT_TRUE(IsWindowVisible(BrowseButton()));
    // It stays for the rest of the run.
    ClickTab(0);
    ClickTab(2);
    EXPECT_TRUE(IsWindowVisible(BrowseButton()));
}

// BrowseRegistry run from a copy of this program in a folder whose name has blanks and a
// character outside the ANSI code page; the copy runs the BrowseRegistryChild test.
std::wstring TempFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + name + L"\\";
}

void RemoveFolder(const std::wstring& folder) {
    std::wstring from = folder.substr(0, folder.size() - 1);
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

std::wstring ThisProgram() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

DWORD RunChild(const std::wstring& program, const std::wstring& records) {
    SetEnvironmentVariableW(L"SELVANE_BROWSE_CHILD", L"1");
    SetEnvironmentVariableW(L"SELVANE_LAUNCH_RECORDS", records.c_str());
    std::wstring line = L"\"" + program + L"\" --gtest_filter=BrowseRegistryChild.*";
    std::vector<wchar_t> writable(line.begin(), line.end());
    writable.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    DWORD code = 999;
    // Started from the temporary folder: the copy's current directory is not its own.
    std::wstring temp = TempFolder(L"");
    if (CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       temp.c_str(), &startup, &process)) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    SetEnvironmentVariableW(L"SELVANE_BROWSE_CHILD", nullptr);
    return code;
}

std::vector<std::wstring> Records(const std::wstring& folder, size_t expected, DWORD waitMs) {
    std::vector<std::wstring> found;
    DWORD end = GetTickCount() + waitMs;
    do {
        found.clear();
        WIN32_FIND_DATAW data;
        HANDLE search = FindFirstFileW((folder + L"*.txt").c_str(), &data);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                HANDLE file = CreateFileW((folder + data.cFileName).c_str(), GENERIC_READ, 0,
                                          nullptr, OPEN_EXISTING, 0, nullptr);
                char buffer[4096] = {};
                DWORD read = 0;
                ReadFile(file, buffer, sizeof(buffer) - 1, &read, nullptr);
                CloseHandle(file);
                wchar_t wide[4096] = {};
                MultiByteToWideChar(CP_UTF8, 0, buffer, -1, wide, 4096);
                found.push_back(wide);
            } while (FindNextFileW(search, &data));
            FindClose(search);
        }
        if (found.size() >= expected && expected != 0) break;
        Sleep(50);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
    return found;
}

TEST(BrowseRegistry, StartsTheToolInItsFolderWithTheKeyAsCommandLine) {
    const std::wstring program = TempFolder(L"Selvane \u03A9 test");
    const std::wstring records = TempFolder(L"selvane-launch-records");
    RemoveFolder(program);
    RemoveFolder(records);
    ASSERT_TRUE(CreateDirectoryW(program.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((program + L"util").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(records.c_str(), nullptr));
    std::wstring self = ThisProgram();
    std::wstring recorder = self.substr(0, self.find_last_of(L'\\') + 1) + L"launch_recorder.exe";
    ASSERT_TRUE(CopyFileW(self.c_str(), (program + L"Selvane.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(recorder.c_str(), (program + L"util\\regjump.exe").c_str(), FALSE));

    ASSERT_EQ(RunChild(program + L"Selvane.exe", records), 0u);
    // Two commands, two tools.
    std::vector<std::wstring> found = Records(records, 2, 15000);
    ASSERT_EQ(found.size(), 2u);
    std::wstring util = program + L"util";
    for (const std::wstring& record : found) {
        std::wstring expected = L"HKEY_CURRENT_USER\\Software\\Selvane\n" + util + L"\n" + L"0\n" +
                                std::to_wstring(STARTF_USESHOWWINDOW) + L"\n" +
                                std::to_wstring(SW_SHOW) + L"\n";
        EXPECT_EQ(CompareStringOrdinal(record.c_str(), -1, expected.c_str(), -1, TRUE), CSTR_EQUAL)
            << std::string(record.begin(), record.end());
    }
    RemoveFolder(program);
    RemoveFolder(records);
}

TEST(BrowseRegistry, WithoutTheToolNothingHappens) {
    const std::wstring program = TempFolder(L"Selvane \u03A9 no tool");
    const std::wstring records = TempFolder(L"selvane-launch-records");
    RemoveFolder(program);
    RemoveFolder(records);
    ASSERT_TRUE(CreateDirectoryW(program.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(records.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(ThisProgram().c_str(), (program + L"Selvane.exe").c_str(), FALSE));
    // A tool of that name on the search path must not be taken instead.
    std::wstring self = ThisProgram();
    std::wstring recorder = self.substr(0, self.find_last_of(L'\\') + 1) + L"launch_recorder.exe";
    ASSERT_TRUE(CopyFileW(recorder.c_str(), (TempFolder(L"") + L"regjump.exe").c_str(), FALSE));

    EXPECT_EQ(RunChild(program + L"Selvane.exe", records), 0u);
    EXPECT_TRUE(Records(records, 0, 1500).empty());
    DeleteFileW((TempFolder(L"") + L"regjump.exe").c_str());
    RemoveFolder(program);
    RemoveFolder(records);
}

// Runs only in the copies made above.
TEST(BrowseRegistryChild, LaunchTwiceAndKeepTheCurrentDirectory) {
    if (GetEnvironmentVariableW(L"SELVANE_BROWSE_CHILD", nullptr, 0) == 0) {
        GTEST_SKIP() << "run by the BrowseRegistry tests";
    }
    SettingsKeyPath = "Software\\Selvane";
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    CAboutDialog page;
    page.BrowseRegistry();
    page.BrowseRegistry();
    wchar_t after[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, after);
    EXPECT_STREQ(after, before);
}

}  // namespace
