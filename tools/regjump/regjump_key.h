#pragma once

// The text side of the registry jump tool: what key a command line names, and how the
// registry editor wants it stored as its last visited key. No <windows.h> here.

#include <string>

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

struct RegistryKeyName {
    RegistryRoot root = RegistryRoot::CurrentUser;
    std::wstring rootName;  // always the long form, e.g. "HKEY_CURRENT_USER"
    std::wstring subKey;    // below the root, no leading or trailing backslash; may be empty
};

enum class KeyParseResult { Ok, Empty, Malformed };

// Reads a key such as "HKEY_CURRENT_USER\Software\Selvane" or "HKCU\Software\Selvane"
// from a whole command line. The line may start with the program's own name, as it does
// when started from a shell; surrounding blanks and quotes are ignored. `key` is set only
// for Ok. `text` receives the key text that was examined, for messages.
KeyParseResult ParseKeyCommandLine(const std::wstring& commandLine, RegistryKeyName& key,
                                   std::wstring& text);

// The "LastKey" value that makes the registry editor open at `key`. The editor stores it
// with the name of its tree's top node in front ("Computer\HKEY_..." on current Windows,
// localised) or, like Wine's editor, without one. `previous` is the value the editor left
// (empty when there is none) and tells which form it reads; without it the form of the
// platform is taken: `bareRoots` for Wine, "Computer\" otherwise.
std::wstring MakeLastKeyValue(const RegistryKeyName& key, const std::wstring& previous,
                              bool bareRoots);
