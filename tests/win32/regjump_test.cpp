#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "tools/regjump/regjump_key.h"

namespace {

struct Parsed {
    KeyParseResult result;
    RegistryKeyName key;
    std::wstring text;
};

Parsed Parse(const std::wstring& line) {
    Parsed parsed;
    parsed.result = ParseKeyCommandLine(line, parsed.key, parsed.text);
    return parsed;
}

TEST(RegjumpKey, AcceptsLongAndShortRootsInAnyCase) {
    const struct {
        const wchar_t* line;
        RegistryRoot root;
        const wchar_t* rootName;
        const wchar_t* subKey;
    } cases[] = {
        {L"HKEY_CURRENT_USER\\Software\\Selvane", RegistryRoot::CurrentUser, L"HKEY_CURRENT_USER",
         L"Software\\Selvane"},
        {L"hkcu\\Software\\Selvane", RegistryRoot::CurrentUser, L"HKEY_CURRENT_USER",
         L"Software\\Selvane"},
        {L"HKLM\\SOFTWARE\\Microsoft", RegistryRoot::LocalMachine, L"HKEY_LOCAL_MACHINE",
         L"SOFTWARE\\Microsoft"},
        {L"HKCR\\.txt", RegistryRoot::ClassesRoot, L"HKEY_CLASSES_ROOT", L".txt"},
        {L"HKU\\.DEFAULT", RegistryRoot::Users, L"HKEY_USERS", L".DEFAULT"},
        {L"HKEY_CURRENT_CONFIG\\Software", RegistryRoot::CurrentConfig, L"HKEY_CURRENT_CONFIG",
         L"Software"},
        // The other half of each pair: every root, long or short, as the opener passes it.
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE", RegistryRoot::LocalMachine, L"HKEY_LOCAL_MACHINE",
         L"SOFTWARE"},
        {L"HKEY_CLASSES_ROOT\\.txt", RegistryRoot::ClassesRoot, L"HKEY_CLASSES_ROOT", L".txt"},
        {L"HKEY_USERS", RegistryRoot::Users, L"HKEY_USERS", L""},
        {L"hkcc\\System", RegistryRoot::CurrentConfig, L"HKEY_CURRENT_CONFIG", L"System"},
        // A root alone, a trailing backslash, blanks and quotes around the key, blanks inside.
        {L"HKCU", RegistryRoot::CurrentUser, L"HKEY_CURRENT_USER", L""},
        {L"HKCU\\", RegistryRoot::CurrentUser, L"HKEY_CURRENT_USER", L""},
        {L"  \"HKCU\\Software\\My App\\\"  ", RegistryRoot::CurrentUser, L"HKEY_CURRENT_USER",
         L"Software\\My App"},
    };
    for (const auto& c : cases) {
        Parsed parsed = Parse(c.line);
        ASSERT_EQ(parsed.result, KeyParseResult::Ok) << c.line;
        EXPECT_EQ(parsed.key.root, c.root) << c.line;
        EXPECT_EQ(parsed.key.rootName, c.rootName) << c.line;
        EXPECT_EQ(parsed.key.subKey, c.subKey) << c.line;
    }
}

TEST(RegjumpKey, SkipsTheProgramNameOfAShellCommandLine) {
    Parsed parsed = Parse(L"\"C:\\Program Files\\Selvane\\util\\regjump.exe\" HKCU\\Software");
    ASSERT_EQ(parsed.result, KeyParseResult::Ok);
    EXPECT_EQ(parsed.key.subKey, L"Software");
    parsed = Parse(L"regjump HKEY_USERS\\.DEFAULT\\Control Panel");
    ASSERT_EQ(parsed.result, KeyParseResult::Ok);
    EXPECT_EQ(parsed.key.subKey, L".DEFAULT\\Control Panel");
    // A key whose last name ends in ".exe" is still a key.
    parsed = Parse(L"HKCU\\Software\\tool.exe");
    ASSERT_EQ(parsed.result, KeyParseResult::Ok);
    EXPECT_EQ(parsed.key.subKey, L"Software\\tool.exe");
}

TEST(RegjumpKey, RejectsMissingAndMalformedKeys) {
    EXPECT_EQ(Parse(L"").result, KeyParseResult::Empty);
    EXPECT_EQ(Parse(L"   ").result, KeyParseResult::Empty);
    EXPECT_EQ(Parse(L"\"C:\\a b\\regjump.exe\"").result, KeyParseResult::Empty);
    EXPECT_EQ(Parse(L"regjump.exe  ").result, KeyParseResult::Empty);
    for (const wchar_t* line :
         {L"Software\\Selvane", L"HKEY_CURRENT_USERS\\Software", L"HKCU\\\\Software",
          L"HKCU\\Software\\\\Selvane", L"HKCU\\Software\\\\", L"HKCU\\\\", L"\\HKCU\\Software",
          L"regjump.exe Software\\Selvane"}) {
        Parsed parsed = Parse(line);
        EXPECT_EQ(parsed.result, KeyParseResult::Malformed) << line;
        EXPECT_FALSE(parsed.text.empty()) << line;
    }
}

TEST(RegjumpKey, LastKeyTakesTheFormTheEditorUses) {
    RegistryKeyName key;
    std::wstring text;
    ASSERT_EQ(ParseKeyCommandLine(L"HKCU\\Software\\Selvane", key, text), KeyParseResult::Ok);
    // No earlier value: the platform's form.
    EXPECT_EQ(MakeLastKeyValue(key, L"", true), L"HKEY_CURRENT_USER\\Software\\Selvane");
    EXPECT_EQ(MakeLastKeyValue(key, L"", false), L"Computer\\HKEY_CURRENT_USER\\Software\\Selvane");
    // The editor's own earlier value decides, localised top node included.
    EXPECT_EQ(MakeLastKeyValue(key, L"Ordinateur\\HKEY_LOCAL_MACHINE\\SOFTWARE", true),
              L"Ordinateur\\HKEY_CURRENT_USER\\Software\\Selvane");
    EXPECT_EQ(MakeLastKeyValue(key, L"HKEY_LOCAL_MACHINE\\SOFTWARE", false),
              L"HKEY_CURRENT_USER\\Software\\Selvane");
    // The top node selected alone.
    EXPECT_EQ(MakeLastKeyValue(key, L"Computer", true),
              L"Computer\\HKEY_CURRENT_USER\\Software\\Selvane");
    RegistryKeyName root;
    ASSERT_EQ(ParseKeyCommandLine(L"HKLM", root, text), KeyParseResult::Ok);
    EXPECT_EQ(MakeLastKeyValue(root, L"", true), L"HKEY_LOCAL_MACHINE");
}

// The built tool, run as a user or the options window would.
class RegjumpRun : public ::testing::Test {
protected:
    static constexpr const wchar_t* kEditorKey =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";
    static constexpr const wchar_t* kTestKey = L"Software\\SelvaneTest\\Regjump key";

    void SetUp() override {
        CloseEditors();
        m_hadLastKey = ReadLastKey(m_savedLastKey);
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    void TearDown() override {
        CloseEditors();
        // The editor writes its selection back on closing: put the user's value back.
        HKEY editor = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kEditorKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &editor, nullptr) == ERROR_SUCCESS) {
            if (m_hadLastKey) {
                RegSetValueExW(editor, L"LastKey", 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(m_savedLastKey.c_str()),
                               static_cast<DWORD>((m_savedLastKey.size() + 1) * sizeof(wchar_t)));
            } else {
                RegDeleteValueW(editor, L"LastKey");
            }
            RegCloseKey(editor);
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\SelvaneTest\\Regjump key");
    }

    static std::wstring ToolPath() {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring path(self);
        path.resize(path.find_last_of(L'\\') + 1);
        for (const char* c = REGJUMP_RELATIVE; *c != '\0'; ++c) {
            path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
        }
        return path;
    }

    // Starts the tool with `commandLine` as its whole command line, as the options
    // window does.
    static HANDLE Start(const std::wstring& commandLine) {
        std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
        line.push_back(L'\0');
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(ToolPath().c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &process)) {
            return nullptr;
        }
        CloseHandle(process.hThread);
        return process.hProcess;
    }

    static DWORD WaitExit(HANDLE process) {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(process, 30000) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process, &code);
        }
        CloseHandle(process);
        return code;
    }

    static HWND WaitForWindow(const wchar_t* className, const wchar_t* title) {
        for (int i = 0; i < 300; ++i) {
            HWND found = FindWindowW(className, title);
            if (found != nullptr && IsWindowVisible(found)) return found;
            Sleep(50);
        }
        return nullptr;
    }

    // Reads and dismisses the tool's message box.
    static std::wstring DismissBox() {
        HWND box = WaitForWindow(L"#32770", L"regjump");
        if (box == nullptr) return L"(no box)";
        wchar_t text[1024] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 1024);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return text;
    }

    static void CloseEditors() {
        while (HWND editor = FindWindowW(L"RegEdit_RegEdit", nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(editor, &pid);
            HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
            PostMessageW(editor, WM_CLOSE, 0, 0);
            if (process == nullptr) break;
            WaitForSingleObject(process, 10000);
            CloseHandle(process);
        }
    }

    static bool ReadLastKey(std::wstring& value) {
        wchar_t buffer[1024] = {};
        DWORD size = sizeof(buffer) - sizeof(wchar_t);
        if (RegGetValueW(HKEY_CURRENT_USER, kEditorKey, L"LastKey", RRF_RT_REG_SZ, nullptr, buffer,
                         &size) != ERROR_SUCCESS) {
            return false;
        }
        value = buffer;
        return true;
    }

    bool m_hadLastKey = false;
    std::wstring m_savedLastKey;
};

TEST_F(RegjumpRun, OpensTheEditorAtTheKey) {
    HANDLE tool = Start(L"HKEY_CURRENT_USER\\Software\\SelvaneTest\\Regjump key");
    ASSERT_NE(tool, nullptr) << GetLastError();
    EXPECT_EQ(WaitExit(tool), 0u);
    std::wstring lastKey;
    ASSERT_TRUE(ReadLastKey(lastKey));
    // Wine's editor reads the key without a top node name.
    EXPECT_EQ(lastKey, L"HKEY_CURRENT_USER\\Software\\SelvaneTest\\Regjump key");

    HWND editor = WaitForWindow(L"RegEdit_RegEdit", nullptr);
    ASSERT_NE(editor, nullptr) << "registry editor not started";
    // Its status bar names the selected key, after the computer's name.
    HWND status = FindWindowExW(editor, nullptr, STATUSCLASSNAMEW, nullptr);
    ASSERT_NE(status, nullptr);
    std::wstring shown;
    for (int i = 0; i < 100; ++i) {
        wchar_t text[1024] = {};
        SendMessageW(status, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
        shown = text;
        if (shown.find(L"Regjump key") != std::wstring::npos) break;
        Sleep(50);
    }
    const std::wstring tail = L"\\HKEY_CURRENT_USER\\Software\\SelvaneTest\\Regjump key";
    ASSERT_GE(shown.size(), tail.size()) << std::string(shown.begin(), shown.end());
    EXPECT_EQ(shown.substr(shown.size() - tail.size()), tail);
}

TEST_F(RegjumpRun, ReportsMissingAndMalformedKeysAndWritesNothing) {
    const struct {
        const wchar_t* line;
        DWORD code;
        const wchar_t* saying;
    } cases[] = {
        {L"HKEY_CURRENT_USER\\Software\\SelvaneTest\\No such key", 2, L"does not exist"},
        {L"Software\\Selvane", 1, L"is not a registry key"},
        {L"", 1, L"No registry key"},
    };
    for (const auto& c : cases) {
        std::wstring before;
        bool had = ReadLastKey(before);
        HANDLE tool = Start(c.line);
        ASSERT_NE(tool, nullptr);
        std::wstring text = DismissBox();
        EXPECT_NE(text.find(c.saying), std::wstring::npos) << std::string(text.begin(), text.end());
        EXPECT_EQ(WaitExit(tool), c.code);
        std::wstring after;
        EXPECT_EQ(ReadLastKey(after), had);
        EXPECT_EQ(after, had ? before : L"");
        EXPECT_EQ(FindWindowW(L"RegEdit_RegEdit", nullptr), nullptr);
    }
}

}  // namespace
