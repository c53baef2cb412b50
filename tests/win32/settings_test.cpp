// The settings store against Wine's real registry. Each test works below its own key,
// HKCU\Software\SelvaneTest\<test>, and removes it afterwards.
#include "settings/settings.h"

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char kTestRoot[] = "Software\\SelvaneTest";

// --- Watching the store's own registry calls --------------------------------------------
//
// The store calls the registry through this program's import table, so replacing an entry
// there lets a test see every key it opens and closes, and choose the moment at which the
// registry refuses to open the key. The refusal itself is real: the key's access list is
// made read-only for that one call.

using RegCreateKeyExAFn = decltype(&RegCreateKeyExA);
using RegOpenKeyExAFn = decltype(&RegOpenKeyExA);
using RegCloseKeyFn = decltype(&RegCloseKey);

RegCreateKeyExAFn realCreateKey = nullptr;
RegOpenKeyExAFn realOpenKey = nullptr;
RegCloseKeyFn realCloseKey = nullptr;

int openKeys = 0;  // keys opened and not yet closed
int createCalls = 0;
int refusedCreateCall = 0;     // number of the create call to refuse, 1-based; 0 for none
LONG refusal = ERROR_SUCCESS;  // what the registry answered to the refused call

// Points this program's import of an advapi32 function at `replacement`.
bool ReplaceImport(const char* function, void* replacement) {
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         module->Name != 0; ++module) {
        if (_stricmp(reinterpret_cast<const char*>(base + module->Name), "advapi32.dll") != 0 ||
            module->OriginalFirstThunk == 0) {
            continue;
        }
        auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) {
                continue;
            }
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) {
                continue;
            }
            DWORD protection = 0;
            if (!VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), PAGE_READWRITE,
                                &protection)) {
                return false;
            }
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), protection, &protection);
            return true;
        }
    }
    return false;
}

// Gives the key an access list that lets everyone read it and nobody write; the owner may
// still change the list, so the key can be opened up again and removed.
bool SetKeyReadOnly(const std::string& path, bool readOnly) {
    HKEY key = nullptr;
    if (realOpenKey(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) {
        return false;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const char* sddl = readOnly ? "D:P(A;;KR;;;WD)" : "D:P(A;;KA;;;WD)";
    bool done = ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                     &descriptor, nullptr) &&
                RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    realCloseKey(key);
    return done;
}

LONG WINAPI WatchedCreateKey(HKEY root, LPCSTR path, DWORD reserved, LPSTR keyClass, DWORD options,
                             REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY key,
                             LPDWORD disposition) {
    const bool refuse = ++createCalls == refusedCreateCall;
    if (refuse && !SetKeyReadOnly(path, true)) {
        return refusal = ERROR_GEN_FAILURE;
    }
    const LONG status =
        realCreateKey(root, path, reserved, keyClass, options, access, security, key, disposition);
    if (refuse) {
        refusal = status;
        SetKeyReadOnly(path, false);
    }
    openKeys += status == ERROR_SUCCESS ? 1 : 0;
    return status;
}

LONG WINAPI WatchedOpenKey(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
    const LONG status = realOpenKey(root, path, options, access, key);
    openKeys += status == ERROR_SUCCESS ? 1 : 0;
    return status;
}

LONG WINAPI WatchedCloseKey(HKEY key) {
    --openKeys;
    return realCloseKey(key);
}

bool WatchRegistryCalls() {
    static bool watching = false;
    if (!watching) {
        // Taken before the table is changed, these are the registry's own functions.
        realCreateKey = &RegCreateKeyExA;
        realOpenKey = &RegOpenKeyExA;
        realCloseKey = &RegCloseKey;
        watching = ReplaceImport("RegCreateKeyExA", reinterpret_cast<void*>(&WatchedCreateKey)) &&
                   ReplaceImport("RegOpenKeyExA", reinterpret_cast<void*>(&WatchedOpenKey)) &&
                   ReplaceImport("RegCloseKey", reinterpret_cast<void*>(&WatchedCloseKey));
    }
    return watching;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WatchRegistryCalls());
        m_path = std::string(kTestRoot) + "\\" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        RemoveKey();
        SettingsKeyPath = m_path;
        openKeys = createCalls = refusedCreateCall = 0;
        refusal = ERROR_SUCCESS;
    }

    void TearDown() override {
        refusedCreateCall = 0;
        EXPECT_EQ(0, openKeys) << "a registry key was left open";
        RemoveKey();
        RegDeleteKeyA(HKEY_CURRENT_USER, kTestRoot);  // only goes when empty
        SettingsKeyPath.clear();
    }

    void RemoveKey() {
        SetKeyReadOnly(m_path, false);
        RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
    }

    bool KeyExists() {
        HKEY key = nullptr;
        const bool exists =
            realOpenKey(HKEY_CURRENT_USER, m_path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (exists) {
            realCloseKey(key);
        }
        return exists;
    }

    // Stores raw data the way a user or another program might.
    void PutRaw(const char* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetKeyValueA(HKEY_CURRENT_USER, m_path.c_str(), name, type, data, size));
    }

    void PutText(const char* name, const std::string& text) {
        PutRaw(name, REG_SZ, text.data(), static_cast<DWORD>(text.size()));
    }

    // The stored text as the store reads it, or "<none>".
    std::string Stored(const std::string& name) {
        std::string text = "<none>";
        ReadRegistryString(name, text);
        return text;
    }

    std::string m_path;
};

TEST_F(SettingsTest, WithNoKeyEveryReadGivesItsDefaultAndCreatesNothing) {
    EXPECT_EQ(79u, GetOpenSelectionHotkey());
    EXPECT_EQ(10u, GetOpenSelectionHotkeyModifier());
    EXPECT_TRUE(GetShowBalloonOnShortcutPressed());
    EXPECT_TRUE(GetShowBalloonOnClosePressed());
    EXPECT_TRUE(ReadSetting("FirstLaunch", true));
    EXPECT_FALSE(ReadSetting("FirstLaunch", false));

    std::string text = "untouched";
    EXPECT_FALSE(ReadRegistryString("OpenSelectionHotkey", text));
    EXPECT_EQ("untouched", text);
    EXPECT_FALSE(KeyExists());
    EXPECT_EQ(0, createCalls);
}

TEST_F(SettingsTest, WritesCreateTheKeyAndStoreText) {
    EXPECT_TRUE(WriteSetting("FirstLaunch", false));
    EXPECT_TRUE(KeyExists());
    EXPECT_EQ("0", Stored("FirstLaunch"));
    EXPECT_FALSE(ReadSetting("FirstLaunch", true));

    SetShowBalloonOnShortcutPressed(false);
    SetShowBalloonOnClosePressed(true);
    EXPECT_EQ("0", Stored("ShowBalloonOnShortcutPressed"));
    EXPECT_EQ("1", Stored("ShowBalloonOnClosePressed"));
    EXPECT_FALSE(GetShowBalloonOnShortcutPressed());
    EXPECT_TRUE(GetShowBalloonOnClosePressed());

    EXPECT_TRUE(SetOpenSelectionHotkey(80, 3));
    EXPECT_EQ("80", Stored("OpenSelectionHotkey"));
    EXPECT_EQ("3", Stored("OpenSelectionHotkeyModifier"));
    EXPECT_EQ(80u, GetOpenSelectionHotkey());
    EXPECT_EQ(3u, GetOpenSelectionHotkeyModifier());

    DWORD type = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_CURRENT_USER, m_path.c_str(), "OpenSelectionHotkey",
                                          RRF_RT_ANY, &type, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
}

TEST_F(SettingsTest, StoredTextThatDoesNotParseGivesTheDefault) {
    PutText("OpenSelectionHotkey", " 80");
    EXPECT_EQ(80u, GetOpenSelectionHotkey());
    PutText("OpenSelectionHotkey", "abc");
    EXPECT_EQ(79u, GetOpenSelectionHotkey());
    PutText("OpenSelectionHotkeyModifier", "4294967296");
    EXPECT_EQ(10u, GetOpenSelectionHotkeyModifier());
    PutText("ShowBalloonOnShortcutPressed", "true");
    EXPECT_TRUE(GetShowBalloonOnShortcutPressed());
    PutText("ShowBalloonOnShortcutPressed", "0");
    EXPECT_FALSE(GetShowBalloonOnShortcutPressed());
}

TEST_F(SettingsTest, TextEndsAtTheFirstNulOrTheReturnedCount) {
    // A value written with its terminating NUL reads like one written by the store.
    PutRaw("OpenSelectionHotkey", REG_SZ, "80", 3);
    EXPECT_EQ("80", Stored("OpenSelectionHotkey"));
    PutRaw("Embedded", REG_BINARY,
           "12\0"
           "34",
           5);
    EXPECT_EQ("12", Stored("Embedded"));
    // An empty value leaves nothing from an earlier read in the text.
    PutRaw("Empty", REG_SZ, "", 0);
    EXPECT_EQ("", Stored("Empty"));
    EXPECT_TRUE(ReadSetting("Empty", true));
}

TEST_F(SettingsTest, ValueTypeIsNotLookedAt) {
    // REG_DWORD 80 is the bytes 'P' 0 0 0: the text "P", which is no number.
    const DWORD dword = 80;
    PutRaw("OpenSelectionHotkey", REG_DWORD, &dword, sizeof(dword));
    EXPECT_EQ("P", Stored("OpenSelectionHotkey"));
    EXPECT_EQ(79u, GetOpenSelectionHotkey());
    PutRaw("OpenSelectionHotkeyModifier", REG_BINARY, "6", 1);
    EXPECT_EQ(6u, GetOpenSelectionHotkeyModifier());
}

TEST_F(SettingsTest, DataOfMoreThan1024BytesIsMissing) {
    // A full buffer with no NUL anywhere: the text is exactly the 1024 bytes.
    const std::string full(1024, '7');
    PutRaw("Full", REG_BINARY, full.data(), 1024);
    EXPECT_EQ(full, Stored("Full"));
    const std::string over(1025, '7');
    PutRaw("Over", REG_BINARY, over.data(), 1025);
    EXPECT_EQ("<none>", Stored("Over"));
    // Would parse as 80, but is too long to be read at all.
    PutText("OpenSelectionHotkey", "80" + std::string(2000, ' '));
    EXPECT_EQ(79u, GetOpenSelectionHotkey());
}

TEST_F(SettingsTest, WritesFailWhereTheKeyCannotBeWritten) {
    EXPECT_TRUE(SetOpenSelectionHotkey(66, 5));
    ASSERT_TRUE(SetKeyReadOnly(m_path, true));
    EXPECT_FALSE(WriteSetting("FirstLaunch", false));
    EXPECT_FALSE(SetOpenSelectionHotkey(80, 3));
    SetShowBalloonOnClosePressed(false);
    // Reading still works, and nothing changed.
    EXPECT_EQ(66u, GetOpenSelectionHotkey());
    EXPECT_EQ(5u, GetOpenSelectionHotkeyModifier());
    EXPECT_TRUE(GetShowBalloonOnClosePressed());
    EXPECT_TRUE(ReadSetting("FirstLaunch", true));
}

TEST_F(SettingsTest, FailedModifierWriteRollsTheKeyBack) {
    EXPECT_TRUE(SetOpenSelectionHotkey(66, 5));
    createCalls = 0;
    refusedCreateCall = 2;  // the key write opens first, the modifier write second
    EXPECT_FALSE(SetOpenSelectionHotkey(80, 3));
    EXPECT_EQ(ERROR_ACCESS_DENIED, refusal);
    EXPECT_EQ(3, createCalls);  // key, refused modifiers, roll-back
    EXPECT_EQ("66", Stored("OpenSelectionHotkey"));
    EXPECT_EQ("5", Stored("OpenSelectionHotkeyModifier"));
}

TEST_F(SettingsTest, RollBackOnAnEmptyKeyStoresTheDefaultKey) {
    // Nothing was stored: the key read (the default) is written back, which reads the same.
    refusedCreateCall = 2;
    EXPECT_FALSE(SetOpenSelectionHotkey(80, 3));
    EXPECT_EQ(ERROR_ACCESS_DENIED, refusal);
    EXPECT_EQ("79", Stored("OpenSelectionHotkey"));
    EXPECT_EQ("<none>", Stored("OpenSelectionHotkeyModifier"));
}

TEST_F(SettingsTest, FailedKeyWriteChangesNothing) {
    EXPECT_TRUE(SetOpenSelectionHotkey(66, 5));
    createCalls = 0;
    refusedCreateCall = 1;
    EXPECT_FALSE(SetOpenSelectionHotkey(80, 3));
    EXPECT_EQ(ERROR_ACCESS_DENIED, refusal);
    EXPECT_EQ(1, createCalls);  // gave up without touching the modifiers
    EXPECT_EQ("66", Stored("OpenSelectionHotkey"));
    EXPECT_EQ("5", Stored("OpenSelectionHotkeyModifier"));
}

TEST_F(SettingsTest, EmptyKeyPathNeverTouchesTheRootOfTheUserHive) {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, nullptr, "SelvaneStrayValue");
    SettingsKeyPath.clear();
    EXPECT_FALSE(WriteSetting("SelvaneStrayValue", true));
    EXPECT_EQ(79u, GetOpenSelectionHotkey());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegGetValueA(HKEY_CURRENT_USER, nullptr, "SelvaneStrayValue",
                                                 RRF_RT_ANY, nullptr, nullptr, nullptr));
    RegDeleteKeyValueA(HKEY_CURRENT_USER, nullptr, "SelvaneStrayValue");
}

}  // namespace
