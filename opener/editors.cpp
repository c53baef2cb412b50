#include "opener/editors.h"

#include <algorithm>

#include "base/text_chars.h"
#include "opener/file_types.h"

namespace {

// What the editors are told, by their executable's file name. In the arguments %f is the
// file, %l the line and %c the column; what is in [brackets] only when there is a column;
// a blank separates arguments, each quoted as the C runtime reads it.
struct EditorSyntax {
    const wchar_t* program;
    const wchar_t* arguments;
};
const EditorSyntax kEditors[] = {
    // Visual Studio Code and the forks that share its switches
    {L"Code.exe", L"-g %f:%l[:%c]"},
    {L"Code - Insiders.exe", L"-g %f:%l[:%c]"},
    {L"VSCodium.exe", L"-g %f:%l[:%c]"},
    {L"Cursor.exe", L"-g %f:%l[:%c]"},
    {L"Windsurf.exe", L"-g %f:%l[:%c]"},
    {L"notepad++.exe", L"-n%l [-c%c] %f"},
    {L"sublime_text.exe", L"%f:%l[:%c]"},
    {L"subl.exe", L"%f:%l[:%c]"},
    {L"gvim.exe", L"+%l %f"},
    {L"vim.exe", L"+%l %f"},
    {L"nvim-qt.exe", L"+%l %f"},
    {L"emacs.exe", L"+%l[:%c] %f"},
    {L"runemacs.exe", L"+%l[:%c] %f"},
    {L"emacsclientw.exe", L"+%l[:%c] %f"},
    // The JetBrains IDEs
    {L"idea64.exe", L"--line %l [--column %c] %f"},
    {L"pycharm64.exe", L"--line %l [--column %c] %f"},
    {L"clion64.exe", L"--line %l [--column %c] %f"},
    {L"webstorm64.exe", L"--line %l [--column %c] %f"},
    {L"phpstorm64.exe", L"--line %l [--column %c] %f"},
    {L"rider64.exe", L"--line %l [--column %c] %f"},
    {L"goland64.exe", L"--line %l [--column %c] %f"},
    {L"rubymine64.exe", L"--line %l [--column %c] %f"},
    {L"rustrover64.exe", L"--line %l [--column %c] %f"},
    {L"datagrip64.exe", L"--line %l [--column %c] %f"},
    {L"studio64.exe", L"--line %l [--column %c] %f"},
    {L"Notepad2.exe", L"/g %l %f"},
    {L"Notepad3.exe", L"/g %l %f"},
};

}  // namespace

void AppendArgument(std::wstring& commandLine, const std::wstring& argument) {
    if (!commandLine.empty()) commandLine += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        commandLine += argument;
        return;
    }
    // Backslashes are literal unless a quote follows them: then each is doubled, and the
    // quote itself escaped. The closing quote counts too.
    commandLine += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        commandLine.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        commandLine += c;
    }
    commandLine.append(backslashes * 2, L'\\');
    commandLine += L'"';
}

bool EditorCommandLine(const std::wstring& program, const std::wstring& file,
                       const SourcePosition& position, std::wstring& commandLine) {
    const std::size_t nameStart = NameStart(program);
    const EditorSyntax* syntax = nullptr;
    for (const EditorSyntax& row : kEditors) {
        if (EqualsNoCase(program, nameStart, program.size() - nameStart, row.program)) {
            syntax = &row;
            break;
        }
    }
    if (syntax == nullptr) return false;

    // The editor reads its own switches from its command line: a name that starts like one
    // goes in as ".\-name", and slashes become backslashes ("/g" is a switch of Notepad2).
    std::wstring path = file;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    if (!path.empty() && (path[0] == L'-' || path[0] == L'+' || path[0] == L'@')) {
        path.insert(0, L".\\");
    }
    // argv[0] follows other rules: quoted, and taken as it is up to the next quote.
    std::wstring line = L"\"" + program + L"\"";
    std::wstring argument;
    bool inArgument = false;
    bool skipping = false;
    for (const wchar_t* p = syntax->arguments;; ++p) {
        if (*p == L'\0' || *p == L' ') {
            if (inArgument) AppendArgument(line, argument);
            argument.clear();
            inArgument = false;
            if (*p == L'\0') break;
        } else if (*p == L'[') {
            skipping = position.column.empty();
        } else if (*p == L']') {
            skipping = false;
        } else if (!skipping) {
            inArgument = true;
            if (*p == L'%' && (p[1] == L'f' || p[1] == L'l' || p[1] == L'c')) {
                ++p;
                argument += *p == L'f' ? path : *p == L'l' ? position.line : position.column;
            } else {
                argument += *p;
            }
        }
    }
    commandLine.swap(line);
    return true;
}
