// The resource set of the built Selvane.exe, read from the program file itself through the
// system's resource functions.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// Selvane.exe, loaded once for its resources only.
HMODULE Program() {
    static HMODULE module = [] {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring path(self);
        path.erase(path.find_last_of(L"\\/") + 1);
        for (const char* c = SELVANE_EXE_FROM_TEST; *c; ++c) path += *c == '/' ? L'\\' : *c;
        return LoadLibraryExW(path.c_str(), nullptr,
                              LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }();
    return module;
}

std::string Raw(WORD type, WORD id) {
    HRSRC found = FindResourceW(Program(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
    if (!found) return std::string();
    HGLOBAL loaded = LoadResource(Program(), found);
    const char* data = static_cast<const char*>(LockResource(loaded));
    return data ? std::string(data, SizeofResource(Program(), found)) : std::string();
}

template <typename T>
T Read(const std::string& bytes, size_t offset) {
    T value{};
    if (offset + sizeof value <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(Program(), nullptr) << "Selvane.exe not found"; }
};

// ---- inventory ----

using Key = std::pair<int, int>;  // type, id

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR param) {
    auto* found = reinterpret_cast<std::map<Key, std::vector<int>>*>(param);
    (*found)[{static_cast<int>(reinterpret_cast<ULONG_PTR>(type)),
              static_cast<int>(reinterpret_cast<ULONG_PTR>(name))}]
        .push_back(language);
    return TRUE;
}

BOOL CALLBACK AddName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) {
    // Every resource has an integer identifier.
    if (!IS_INTRESOURCE(name)) {
        ADD_FAILURE() << "named resource";
        return TRUE;
    }
    EnumResourceLanguagesW(module, type, name, AddLanguage, param);
    return TRUE;
}

BOOL CALLBACK AddType(HMODULE module, LPWSTR type, LONG_PTR param) {
    if (!IS_INTRESOURCE(type)) {
        ADD_FAILURE() << "named resource type";
        return TRUE;
    }
    EnumResourceNamesW(module, type, AddName, param);
    return TRUE;
}

TEST_F(ResourcesTest, InventoryHasEachResourceInOneLanguage) {
    std::map<Key, std::vector<int>> found;
    EnumResourceTypesW(Program(), AddType, reinterpret_cast<LONG_PTR>(&found));
    const int en = 1033, fr = 1036;
    // clang-format off
    std::map<Key, std::vector<int>> expected = {
        {{2, 140}, {fr}},                                                      // bitmap
        {{3, 1}, {en}},   {{3, 2}, {en}},   {{3, 3}, {fr}},                    // icon images
        {{4, 109}, {en}}, {{4, 130}, {fr}},                                    // menus
        {{5, 9}, {fr}},   {{5, 131}, {fr}}, {{5, 133}, {fr}}, {{5, 136}, {fr}},  // dialogs
        {{6, 7}, {en}},   {{6, 8}, {en}},                                      // string blocks
        {{9, 109}, {en}},                                                      // accelerators
        {{14, 107}, {en}}, {{14, 108}, {en}}, {{14, 129}, {fr}},               // icon groups
        {{24, 1}, {en}},                                                       // manifest
    };
    // clang-format on
    EXPECT_EQ(found, expected);
}

// ---- strings ----

TEST_F(ResourcesTest, StringTableTextsAndEmptySlots) {
    std::map<int, std::wstring> expected = {
        {103, L"Selvane"},
        {104, L"Could not register hotkey"},
        {105, L"Selvane"},
        {106, L"Selvane Tray Icon"},
        {107, L"Failed to add an icon in the tray"},
        {108, L"Failed to load tray icon menu"},
        {109, L"SELVANE"},
        {110, L"Welcome"},
        {111, L"Settings"},
        {112, L"About"},
        {113,
         L"The hotkey could not be changed,please make sure another application is not "
         L"using it."},
        {114,
         L"Selvane is not closed but active as an icon in the trray. Please right click "
         L"on this icon to access options"},
        {115, L"Opening selection"},
        {116,
         L"Failed to save the new hotkey in the registry. The new hotkey will not be "
         L"taken in account at next launch"},
        {117, L"Could not find this location"},
        {118, L"Opening Webpage"},
        {119, L"Another instance of the application is running."},
    };
    for (int id = 96; id <= 127; ++id) {
        wchar_t buffer[1025] = {};
        int length = LoadStringW(Program(), id, buffer, 1024);
        auto it = expected.find(id);
        std::wstring want = it == expected.end() ? std::wstring() : it->second;
        EXPECT_EQ(std::wstring(buffer, length), want) << "string " << id;
    }
}

// ---- menus ----

struct MenuEntry {
    std::wstring text;
    UINT id;  // command, or 0 for a popup
    int level;
    bool operator==(const MenuEntry& o) const {
        return text == o.text && id == o.id && level == o.level;
    }
};

void ListMenu(HMENU menu, int level, std::vector<MenuEntry>* out) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 127;
        ASSERT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &info));
        // No separators, bitmaps or owner-drawn items; no checked, grayed or default items.
        EXPECT_EQ(info.fType, static_cast<UINT>(MFT_STRING)) << "item " << i;
        EXPECT_EQ(info.fState, static_cast<UINT>(MFS_ENABLED)) << "item " << i;
        out->push_back({text, info.hSubMenu ? 0u : info.wID, level});
        if (info.hSubMenu) ListMenu(info.hSubMenu, level + 1, out);
    }
}

// A standard menu template: version 0, header size 0, then flags, command and text per
// item (popups have no command).
std::string MenuTemplate(const std::vector<std::pair<WORD, std::pair<int, std::wstring>>>& items) {
    std::string bytes(4, '\0');
    for (const auto& item : items) {
        bytes.append(reinterpret_cast<const char*>(&item.first), 2);
        if (!(item.first & MF_POPUP)) {
            WORD id = static_cast<WORD>(item.second.first);
            bytes.append(reinterpret_cast<const char*>(&id), 2);
        }
        const std::wstring& text = item.second.second;
        bytes.append(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
    }
    return bytes;
}

TEST_F(ResourcesTest, MainMenu) {
    EXPECT_EQ(Raw(4, 109), MenuTemplate({{MF_POPUP, {0, L"&File"}},
                                         {MF_END, {105, L"E&xit"}},
                                         {MF_POPUP | MF_END, {0, L"&Help"}},
                                         {MF_END, {104, L"&About ..."}}}));
    HMENU menu = LoadMenuW(Program(), MAKEINTRESOURCEW(109));
    ASSERT_NE(menu, nullptr);
    std::vector<MenuEntry> entries;
    ListMenu(menu, 0, &entries);
    std::vector<MenuEntry> expected = {
        {L"&File", 0, 0}, {L"E&xit", 105, 1}, {L"&Help", 0, 0}, {L"&About ...", 104, 1}};
    EXPECT_EQ(entries, expected);
    DestroyMenu(menu);
}

TEST_F(ResourcesTest, TrayMenuShowsOptionsThenQuit) {
    EXPECT_EQ(Raw(4, 130), MenuTemplate({{MF_POPUP | MF_END, {0, L"Open From Selection"}},
                                         {0, {32775, L"Options"}},
                                         {MF_END, {32776, L"Quit"}}}));
    HMENU menu = LoadMenuW(Program(), MAKEINTRESOURCEW(130));
    ASSERT_NE(menu, nullptr);
    std::vector<MenuEntry> entries;
    ListMenu(menu, 0, &entries);
    std::vector<MenuEntry> expected = {
        {L"Open From Selection", 0, 0}, {L"Options", 32775, 1}, {L"Quit", 32776, 1}};
    EXPECT_EQ(entries, expected);
    // What the user sees is the first submenu: exactly two items, no default item.
    HMENU shown = GetSubMenu(menu, 0);
    EXPECT_EQ(GetMenuItemCount(shown), 2);
    EXPECT_EQ(GetMenuDefaultItem(shown, FALSE, 0), static_cast<UINT>(-1));
    DestroyMenu(menu);
}

// ---- accelerators ----

std::vector<WPARAM> g_commands;

LRESULT CALLBACK RecordCommands(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) g_commands.push_back(wParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

// Offers one character message to the table, with ALT up or down in the keyboard state.
bool Translate(HWND window, HACCEL table, UINT message, wchar_t c, bool alt) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_MENU] = keys[VK_LMENU] = alt ? 0x80 : 0;
    SetKeyboardState(keys);
    MSG msg = {window, message, static_cast<WPARAM>(c), alt ? (1 << 29) | 1 : 1, 0, {0, 0}};
    bool translated = TranslateAcceleratorW(window, table, &msg) != 0;
    keys[VK_MENU] = keys[VK_LMENU] = 0;
    SetKeyboardState(keys);
    return translated;
}

TEST_F(ResourcesTest, AltQuestionMarkAndAltSlashGiveCommand104) {
    // Two 8-byte entries: flags, character, command, padding; the last flagged 0x80.
    const unsigned char table[] = {0x10, 0, '?', 0, 104, 0, 0, 0, 0x90, 0, '/', 0, 104, 0, 0, 0};
    EXPECT_EQ(Raw(9, 109), std::string(reinterpret_cast<const char*>(table), sizeof table));

    HACCEL accel = LoadAcceleratorsW(Program(), MAKEINTRESOURCEW(109));
    ASSERT_NE(accel, nullptr);
    ACCEL entries[4] = {};
    ASSERT_EQ(CopyAcceleratorTableW(accel, entries, 4), 2);
    for (const ACCEL& e : entries) {
        if (e.key == 0) continue;
        EXPECT_EQ(e.fVirt & ~0x80, FALT);  // a character code, not FVIRTKEY
        EXPECT_EQ(e.cmd, 104);
    }
    EXPECT_EQ(entries[0].key, '?');
    EXPECT_EQ(entries[1].key, '/');

    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecordCommands;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SelvaneAccelTarget";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);

    g_commands.clear();
    EXPECT_TRUE(Translate(window, accel, WM_SYSCHAR, L'?', true));
    EXPECT_TRUE(Translate(window, accel, WM_SYSCHAR, L'/', true));
    // Accelerator commands arrive with 1 in the high word.
    EXPECT_EQ(g_commands, (std::vector<WPARAM>{MAKEWPARAM(104, 1), MAKEWPARAM(104, 1)}));

    g_commands.clear();
    EXPECT_FALSE(Translate(window, accel, WM_CHAR, L'?', false));
    EXPECT_FALSE(Translate(window, accel, WM_CHAR, L'/', false));
    EXPECT_FALSE(Translate(window, accel, WM_SYSCHAR, L'a', true));
    EXPECT_TRUE(g_commands.empty());

    DestroyWindow(window);
    DestroyAcceleratorTable(accel);
}

// ---- dialog templates ----

// A class or text field: an ordinal (0xFFFF, value) or a NUL-terminated name.
struct Field {
    int ordinal = -1;
    std::wstring name;
};

struct Control {
    DWORD id;
    Field cls;
    std::wstring text;
    DWORD style;
    short x, y, cx, cy;
};

struct Dialog {
    DWORD style;
    short x, y, cx, cy;
    std::wstring title;
    std::vector<Control> controls;
};

class TemplateReader {
public:
    explicit TemplateReader(std::string bytes) : b_(std::move(bytes)) {}
    template <typename T>
    T Take() {
        T v = Read<T>(b_, at_);
        at_ += sizeof(T);
        return v;
    }
    Field TakeField() {
        Field f;
        if (Read<WORD>(b_, at_) == 0xFFFF) {
            at_ += 2;
            f.ordinal = Take<WORD>();
        } else {
            for (wchar_t c; (c = Take<wchar_t>()) != 0 && at_ <= b_.size();) f.name += c;
        }
        return f;
    }
    void Align() { at_ = (at_ + 3) & ~size_t{3}; }
    size_t at() const { return at_; }
    size_t size() const { return b_.size(); }

private:
    std::string b_;
    size_t at_ = 0;
};

// Parses an extended dialog template and checks the fields every template shares.
Dialog ParseDialog(int id) {
    TemplateReader r(Raw(5, static_cast<WORD>(id)));
    Dialog d = {};
    EXPECT_EQ(r.Take<WORD>(), 1) << "version";
    EXPECT_EQ(r.Take<WORD>(), 0xFFFF) << "extended signature";
    EXPECT_EQ(r.Take<DWORD>(), 0u) << "help id";
    EXPECT_EQ(r.Take<DWORD>(), 0u) << "extended style";
    d.style = r.Take<DWORD>();
    WORD count = r.Take<WORD>();
    d.x = r.Take<short>();
    d.y = r.Take<short>();
    d.cx = r.Take<short>();
    d.cy = r.Take<short>();
    Field menu = r.TakeField();
    Field cls = r.TakeField();
    EXPECT_TRUE(menu.ordinal == -1 && menu.name.empty()) << "no menu";
    EXPECT_TRUE(cls.ordinal == -1 && cls.name.empty()) << "default dialog class";
    d.title = r.TakeField().name;
    EXPECT_EQ(r.Take<WORD>(), 8) << "point size";
    EXPECT_EQ(r.Take<WORD>(), 400) << "weight";
    EXPECT_EQ(r.Take<BYTE>(), 0) << "italic";
    EXPECT_EQ(r.Take<BYTE>(), 1) << "character set";
    EXPECT_EQ(r.TakeField().name, L"MS Shell Dlg");
    for (int i = 0; i < count; ++i) {
        r.Align();
        Control c = {};
        EXPECT_EQ(r.Take<DWORD>(), 0u) << "control help id";
        EXPECT_EQ(r.Take<DWORD>(), 0u) << "control extended style";
        c.style = r.Take<DWORD>();
        c.x = r.Take<short>();
        c.y = r.Take<short>();
        c.cx = r.Take<short>();
        c.cy = r.Take<short>();
        c.id = r.Take<DWORD>();
        c.cls = r.TakeField();
        c.text = r.TakeField().name;
        EXPECT_EQ(r.Take<WORD>(), 0) << "creation data of control " << c.id;
        d.controls.push_back(c);
    }
    EXPECT_EQ(r.at(), r.size()) << "nothing after the last control of dialog " << id;
    return d;
}

const Field kButton = {0x80, L""};
const Field kStatic = {0x82, L""};
Field Named(const wchar_t* name) {
    return {-1, name};
}
const DWORD kNone = 0xFFFFFFFF;  // identifier -1

void ExpectControls(const Dialog& d, const std::vector<Control>& expected) {
    ASSERT_EQ(d.controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Control& a = d.controls[i];
        const Control& e = expected[i];
        SCOPED_TRACE("control " + std::to_string(i));
        EXPECT_EQ(a.id, e.id);
        EXPECT_EQ(a.cls.ordinal, e.cls.ordinal);
        // Window class names are matched without regard to case; some resource
        // compilers store them upper-cased.
        EXPECT_EQ(CompareStringOrdinal(a.cls.name.c_str(), -1, e.cls.name.c_str(), -1, TRUE),
                  CSTR_EQUAL)
            << "class";
        EXPECT_EQ(a.text, e.text);
        EXPECT_EQ(a.style, e.style) << std::hex << a.style;
        EXPECT_EQ(a.x, e.x);
        EXPECT_EQ(a.y, e.y);
        EXPECT_EQ(a.cx, e.cx);
        EXPECT_EQ(a.cy, e.cy);
    }
}

TEST_F(ResourcesTest, OptionsWindowTemplate) {
    Dialog d = ParseDialog(9);
    EXPECT_EQ(d.style, 0x80C800C8u);
    EXPECT_EQ(d.title, L"Selvane");
    EXPECT_EQ(std::vector<short>({d.x, d.y, d.cx, d.cy}), std::vector<short>({0, 0, 311, 178}));
    ExpectControls(d, {{1005, Named(L"SysTabControl32"), L"", 0x50000000, 7, 7, 297, 16},
                       {1007, kButton, L"", 0x50000007, 7, 25, 297, 145}});
}

void ExpectPage(const Dialog& d) {
    EXPECT_EQ(d.style, 0x40080048u);
    EXPECT_EQ(d.title, L"");
    EXPECT_EQ(std::vector<short>({d.x, d.y, d.cx, d.cy}), std::vector<short>({0, 0, 295, 145}));
}

TEST_F(ResourcesTest, SettingsPageTemplate) {
    Dialog d = ParseDialog(131);
    ExpectPage(d);
    ExpectControls(
        d,
        {{kNone, kStatic, L"Keyboard shortcut : ", 0x50020000, 7, 12, 66, 10},
         {1002, kButton, L"win", 0x50010003, 138, 8, 29, 17},
         {1003, Named(L"msctls_hotkey32"), L"", 0x50810000, 74, 10, 59, 14},
         {1004, kButton, L"Apply", 0x58010000, 168, 9, 55, 15},
         {1008, kButton,
          L"Display a notification balloon when the fast open command has been launched",
          0x50012403, 7, 36, 124, 27},
         {1010, kButton, L"Display a notification balloon when this option window has been closed",
          0x50012403, 7, 78, 129, 26}});
}

TEST_F(ResourcesTest, WelcomePageTemplate) {
    Dialog d = ParseDialog(133);
    ExpectPage(d);
    ExpectControls(
        d, {{1011, kStatic, L"Welcome to Selvane !", 0x50020000, 146, 10, 142, 15},
            {kNone, kStatic, L"", 0x50020000, 113, 32, 34, 9},
            {kNone, kStatic,
             L"With a simple keyboard shortcut, open the address in the current selected text. "
             L"The selected text may be in any kind of editor such as your favorite development "
             L"environment, notepad, etc.",
             0x50020000, 146, 26, 142, 42},
            {kNone, kStatic,
             L"Please look into the settings tab to change the keyboard shortcut. (CTRL + windows "
             L"+ O by default)",
             0x50020000, 146, 103, 140, 26},
            {kNone, kStatic,
             L"This works with folders (such as D:\\Folder), and web pages addresses, using the "
             L"default browser",
             0x50020000, 145, 71, 135, 25},
            {1010, kStatic, L"", 0x5000000E, 7, 10, 136, 131}});
}

TEST_F(ResourcesTest, AboutPageTemplate) {
    Dialog d = ParseDialog(136);
    ExpectPage(d);
    ASSERT_EQ(d.controls.size(), 5u);
    // The author and contact lines are the project's own; they must say something.
    EXPECT_FALSE(d.controls[1].text.empty());
    EXPECT_FALSE(d.controls[3].text.empty());
    ExpectControls(d, {{kNone, kStatic, L"Selvane V 0.1", 0x50020000, 11, 9, 65, 12},
                       {kNone, kStatic, d.controls[1].text, 0x50020000, 11, 33, 75, 10},
                       {kNone, kStatic, L"This is freeware", 0x50020000, 12, 21, 58, 10},
                       {kNone, kStatic, d.controls[3].text, 0x50020000, 12, 45, 101, 10},
                       {1012, kButton, L"Browse Registry", 0x40010000, 10, 67, 102, 15}});
}

// ---- the templates as the system builds them ----

INT_PTR CALLBACK QuietDialog(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

class LiveDialog {
public:
    LiveDialog(int id, HWND parent) {
        std::string bytes = Raw(5, static_cast<WORD>(id));
        window_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                             reinterpret_cast<const DLGTEMPLATE*>(bytes.data()),
                                             parent, QuietDialog, 0);
    }
    ~LiveDialog() {
        if (window_) DestroyWindow(window_);
    }
    HWND window() const { return window_; }
    HWND item(int id) const { return GetDlgItem(window_, id); }

private:
    HWND window_ = nullptr;
};

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

TEST_F(ResourcesTest, PagesCreateWithTheirControlsInTheirInitialState) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TAB_CLASSES | ICC_HOTKEY_CLASS};
    ASSERT_TRUE(InitCommonControlsEx(&icc));

    LiveDialog options(9, nullptr);
    ASSERT_NE(options.window(), nullptr);
    EXPECT_FALSE(IsWindowVisible(options.window()));
    EXPECT_EQ(ClassOf(options.item(1005)), L"SysTabControl32");
    EXPECT_EQ(ClassOf(options.item(1007)), L"Button");

    HWND frame = options.item(1007);
    LiveDialog settings(131, frame);
    ASSERT_NE(settings.window(), nullptr);
    EXPECT_EQ(ClassOf(settings.item(1003)), L"msctls_hotkey32");
    EXPECT_EQ(ClassOf(settings.item(1002)), L"Button");
    EXPECT_FALSE(IsWindowEnabled(settings.item(1004)));  // Apply starts disabled
    EXPECT_TRUE(IsWindowEnabled(settings.item(1008)));

    LiveDialog about(136, frame);
    ASSERT_NE(about.window(), nullptr);
    HWND browse = about.item(1012);
    ASSERT_NE(browse, nullptr);
    EXPECT_FALSE(GetWindowLongPtrW(browse, GWL_STYLE) & WS_VISIBLE);

    LiveDialog welcome(133, frame);
    ASSERT_NE(welcome.window(), nullptr);
    EXPECT_EQ(ClassOf(welcome.item(1010)), L"Static");
    EXPECT_EQ(GetWindowLongPtrW(welcome.item(1010), GWL_STYLE) & SS_TYPEMASK, SS_BITMAP);
}

TEST_F(ResourcesTest, AboutLinesFitTheirRectangles) {
    LiveDialog options(9, nullptr);
    LiveDialog about(136, options.item(1007));
    ASSERT_NE(about.window(), nullptr);
    HDC dc = GetDC(about.window());
    int checked = 0;
    for (HWND child = GetWindow(about.window(), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) != L"Static") continue;
        wchar_t text[256] = {};
        int length = GetWindowTextW(child, text, 256);
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
        SIZE size = {};
        GetTextExtentPoint32W(dc, text, length, &size);
        SelectObject(dc, old);
        RECT client;
        GetClientRect(child, &client);
        EXPECT_LE(size.cx, client.right)
            << "\"" << std::string(text, text + length) << "\" is cut off";
        EXPECT_LE(size.cy, client.bottom);
        ++checked;
    }
    ReleaseDC(about.window(), dc);
    EXPECT_EQ(checked, 4);
}

// ---- images ----

TEST_F(ResourcesTest, IconGroupsShareOne32BitPicture) {
    const int groups[] = {107, 108, 129};
    for (int i = 0; i < 3; ++i) {
        // Reserved 0, type 1, one entry: 32x32, no palette, 1 plane, 32 bpp, 4264 bytes,
        // image number i + 1.
        const unsigned char group[] = {0,
                                       0,
                                       1,
                                       0,
                                       1,
                                       0,
                                       32,
                                       32,
                                       0,
                                       0,
                                       1,
                                       0,
                                       32,
                                       0,
                                       0xA8,
                                       0x10,
                                       0,
                                       0,
                                       static_cast<unsigned char>(i + 1),
                                       0};
        EXPECT_EQ(Raw(14, static_cast<WORD>(groups[i])),
                  std::string(reinterpret_cast<const char*>(group), sizeof group))
            << "group " << groups[i];
    }
    std::string image = Raw(3, 1);
    ASSERT_EQ(image.size(), 4264u);
    EXPECT_EQ(Raw(3, 2), image);
    EXPECT_EQ(Raw(3, 3), image);

    BITMAPINFOHEADER h = Read<BITMAPINFOHEADER>(image, 0);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 32);
    EXPECT_EQ(h.biHeight, 64);  // colour and mask halves together
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 32);
    EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));

    // The AND mask (1 bit a pixel, 4 bytes a row) marks exactly the fully transparent
    // pixels, so the icon looks the same where alpha is ignored.
    int opaque = 0, clear = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            BYTE alpha = Read<BYTE>(image, 40 + (y * 32 + x) * 4 + 3);
            BYTE bits = Read<BYTE>(image, 40 + 4096 + y * 4 + x / 8);
            bool masked = bits & (0x80 >> (x % 8));
            EXPECT_EQ(masked, alpha == 0) << "pixel " << x << "," << y;
            if (alpha == 255) ++opaque;
            if (alpha == 0) ++clear;
        }
    }
    EXPECT_GT(opaque, 250);  // a picture, not a blank or a full square
    EXPECT_GT(clear, 100);

    HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(&image[0]),
                                          static_cast<DWORD>(image.size()), TRUE, 0x00030000, 32,
                                          32, LR_DEFAULTCOLOR);
    ASSERT_NE(icon, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bm = {};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 32);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}

TEST_F(ResourcesTest, WelcomeBitmapFormat) {
    std::string bitmap = Raw(2, 140);
    ASSERT_EQ(bitmap.size(), 40u + 103800u);  // header and pixels, no colour table
    BITMAPINFOHEADER h = Read<BITMAPINFOHEADER>(bitmap, 0);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 200);
    EXPECT_EQ(h.biHeight, 173);  // positive: bottom-up
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(h.biXPelsPerMeter, 2835);
    EXPECT_EQ(h.biYPelsPerMeter, 2835);
    EXPECT_EQ(h.biClrUsed, 0u);

    // On grey: the corners are neutral, mid-light tones.
    const int corners[][2] = {{0, 0}, {199, 0}, {0, 172}, {199, 172}};
    for (const auto& c : corners) {
        size_t at = 40 + c[1] * 600 + c[0] * 3;
        int b = Read<BYTE>(bitmap, at), g = Read<BYTE>(bitmap, at + 1),
            r = Read<BYTE>(bitmap, at + 2);
        EXPECT_LT(std::max({r, g, b}) - std::min({r, g, b}), 16) << c[0] << "," << c[1];
        EXPECT_GT(g, 100);
        EXPECT_LT(g, 230);
    }

    HBITMAP loaded =
        static_cast<HBITMAP>(LoadImageW(Program(), MAKEINTRESOURCEW(140), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(loaded, nullptr);
    BITMAP bm = {};
    GetObjectW(loaded, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 200);
    EXPECT_EQ(bm.bmHeight, 173);
    DeleteObject(loaded);
}

// ---- manifest ----

TEST_F(ResourcesTest, ManifestAsksOnlyForTheInvokersRights) {
    const std::string expected =
        "<?xml version='1.0' encoding='UTF-8' standalone='yes'?>\r\n"
        "<assembly xmlns='urn:schemas-microsoft-com:asm.v1' manifestVersion='1.0'>\r\n"
        "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\r\n"
        "    <security>\r\n"
        "      <requestedPrivileges>\r\n"
        "        <requestedExecutionLevel level='asInvoker' uiAccess='false' />\r\n"
        "      </requestedPrivileges>\r\n"
        "    </security>\r\n"
        "  </trustInfo>\r\n"
        "</assembly>\r\n";
    std::string manifest = Raw(24, 1);
    EXPECT_EQ(manifest.size(), 381u);
    EXPECT_EQ(manifest, expected);
}

}  // namespace
