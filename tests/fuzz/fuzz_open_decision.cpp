// Runs the open-selection decision on arbitrary texts against a system whose every answer
// (canonical form, attributes, URL validity, shell result, the menu's choice) comes from
// the input too, and checks what a user could see: at most one thing opened, at most one
// balloon, nothing opened when "not found" is reported, the normalisation promises, the
// bounds of the scan inside a longer text (lookups, candidates, menu items), that the shell
// gets only a web address, the mail rule's link or a path that was looked up, and that no
// server is asked about a path that is not one path as a whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "opener/editors.h"
#include "opener/file_types.h"
#include "opener/open_decision.h"
#include "opener/press_lookups.h"
#include "opener/relative_bases.h"
#include "opener/selection_forms.h"
#include "opener/selection_scan.h"
#include "opener/web_address.h"

namespace {

// What a short name's long form adds to it here: nothing, a program's type, a class id.
const wchar_t* const kLongFormSuffixes[] = {L"", L"x.appref-ms",
                                            L".{0002DF01-0000-0000-C000-000000000046}"};

// Hands out the answers in the order they are asked for; zeros once the input runs out.
class CAnswers {
public:
    CAnswers(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t Byte() { return m_position < m_size ? m_data[m_position++] : 0; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
};

class CRandomPlatform : public COpenPlatform {
public:
    explicit CRandomPlatform(CAnswers& answers) : m_answers(answers) {}

    bool Canonicalize(wchar_t* buffer, const wchar_t* path) override {
        Record("canonicalize", path);
        const uint8_t mode = m_answers.Byte();
        if (mode % 4 == 0) return false;
        if (mode % 4 == 1) {
            // A buffer filled to the brim with no NUL: must not be read past its end.
            for (size_t i = 0; i < kPathBufferSize; ++i) buffer[i] = L'a' + (i % 26);
            return true;
        }
        // Some prefix of the text (canonical forms are shorter), or an empty result.
        std::wstring text = path;
        size_t length = text.size() < kPathBufferSize ? text.size() : kPathBufferSize - 1;
        if (length > 0) length = m_answers.Byte() % (length + 1);
        for (size_t i = 0; i < length; ++i) buffer[i] = text[i];
        buffer[length] = L'\0';
        return true;
    }

    std::uint32_t FileAttributes(const wchar_t* path) override {
        Record("attributes", path);
        switch (m_answers.Byte() % 3) {
            case 0:
                return kInvalidFileAttributes;
            case 1:
                return kFileAttributeDirectory | 0x20u;
            default:
                return 0x20u;
        }
    }

    bool IsValidUrl(const wchar_t* text) override {
        Record("url", text);
        return m_answers.Byte() & 1;
    }

    bool RunShellVerb(const wchar_t* verb, const wchar_t* target) override {
        // A file that the system calls dangerous is never opened.
        if (m_saidDangerous) std::abort();
        Record(verb == std::wstring(L"explore") ? "explore" : "open", target);
        ++shellCalls;
        return m_answers.Byte() & 1;
    }

    bool ExpandVariables(const wchar_t* text, std::wstring& expanded) override {
        Record("expand", text);
        return Rewrite(text, expanded);
    }

    bool PathFromFileUrl(const wchar_t* url, std::wstring& path) override {
        Record("fileurl", url);
        return Rewrite(url, path);
    }

    bool OpenRegistryKey(const wchar_t* key) override {
        Record("regjump", key);
        ++shellCalls;
        return m_answers.Byte() & 1;
    }

    bool ProgramForType(const wchar_t* type, std::wstring& program) override {
        Record("program", type);
        // An editor we know, one we do not, a bare name, or nothing.
        static const wchar_t* const programs[] = {L"C:\\VS Code\\Code.exe",
                                                  L"C:\\Windows\\notepad.exe", L"gvim.exe"};
        const uint8_t mode = m_answers.Byte() % 4;
        if (mode == 3) return false;
        program = programs[mode];
        return true;
    }

    bool StartProgram(const wchar_t* program, const wchar_t* commandLine) override {
        Record("start", commandLine);
        // Only an editor of the table is started, by its full path, named first.
        if (std::wstring(program) != L"C:\\VS Code\\Code.exe") std::abort();
        if (std::wstring(commandLine).rfind(L"\"C:\\VS Code\\Code.exe\" -g ", 0) != 0) std::abort();
        // A start that fails leads to one more request; one that works ends the run.
        const bool started = m_answers.Byte() & 1;
        if (started) ++shellCalls;
        return started;
    }

    bool IsDangerousType(const wchar_t* type) override {
        Record("dangerous", type);
        m_saidDangerous = m_answers.Byte() & 1;
        return m_saidDangerous;
    }

    bool ShowInFolder(const wchar_t* path) override {
        Record("select", path);
        ++shellCalls;
        return m_answers.Byte() & 1;
    }

    void TraceOutOfMemory() override { std::abort(); }

    bool ChooseCandidate(const std::vector<std::wstring>& items, std::size_t& chosen) override {
        Record("menu", L"");
        ++menus;
        menuItems = items;
        const uint8_t answer = m_answers.Byte();
        if (answer & 0x80) return false;
        chosen = answer % 20;  // now and then past the last item: must not be trusted
        return true;
    }

    // Network drives.
    bool IsRemoteDrive(wchar_t letter) override {
        Record("drive type", std::wstring(1, letter).c_str());
        return m_answers.Byte() & 1;
    }

    // The bases of a relative path: a title with a path in it, folders or none.
    std::wstring ForegroundTitle() override {
        Record("title", L"");
        return (m_answers.Byte() & 1) ? L"C:\\src\\main.cpp - Editor" : L"";
    }
    bool ForegroundFolder(std::wstring& folder) override { return Folder("foreground", folder); }
    std::vector<std::wstring> DescendantFolders(std::size_t most) override {
        Record("descendants", L"");
        if (most > kMostDescendantFolders) std::abort();
        std::vector<std::wstring> folders(m_answers.Byte() % (most + 1), L"C:\\shell");
        for (std::size_t i = 0; i < folders.size(); ++i) folders[i] += std::to_wstring(i);
        return folders;
    }
    bool ExplorerFolder(std::wstring& folder) override { return Folder("explorer", folder); }
    bool UserFolder(std::wstring& folder) override { return Folder("user", folder); }

    // The names the shell is handed: the path as given, a short name's long form that
    // may be of any type, or none.
    bool FullPathName(const wchar_t* path, std::wstring& full) override {
        Record("fullpath", path);
        if (m_answers.Byte() % 8 == 7) return false;
        full = path;
        return true;
    }

    bool LongPathName(const wchar_t* path, std::wstring& longPath) override {
        Record("longpath", path);
        const uint8_t mode = m_answers.Byte() % 4;
        if (mode == 3) return false;
        longPath = std::wstring(path) + kLongFormSuffixes[mode];
        return true;
    }

    struct Call {
        std::string operation;
        std::wstring argument;
    };
    // Whether the press ended on a target found on a relative path's bases: the text
    // itself was then never normalised.
    static bool RelativeOpened(const std::vector<Call>& calls) {
        for (const Call& call : calls) {
            if (call.operation == "canonicalize" && !IsFullPath(call.argument)) return false;
        }
        return true;
    }
    std::vector<Call> calls;
    int shellCalls = 0;
    int menus = 0;
    std::vector<std::wstring> menuItems;

private:
    // Gives back the text, its second half, a path with a position or nothing; or fails.
    bool Rewrite(const wchar_t* text, std::wstring& result) {
        const std::wstring in = text;
        const std::wstring answers[] = {in, in.substr(in.size() / 2), L"C:\\x/y.txt:1", L""};
        const uint8_t mode = m_answers.Byte() % 5;
        if (mode == 4) return false;
        result = answers[mode];
        return true;
    }

    void Record(const char* operation, const wchar_t* argument) {
        // Nothing may be asked of the system once the shell has been called.
        if (shellCalls != 0) std::abort();
        calls.push_back({operation, argument});
        m_saidDangerous = false;
    }

    bool Folder(const char* operation, std::wstring& folder) {
        Record(operation, L"");
        const std::wstring answers[] = {L"C:\\work", L"C:\\", L"relative", L"\\\\server\\s\\"};
        const uint8_t mode = m_answers.Byte() % 5;
        if (mode == 4) return false;
        folder = answers[mode];
        return true;
    }

    CAnswers& m_answers;
    bool m_saidDangerous = false;  // the last request was IsDangerousType, answered yes
};

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // First byte: how many bytes of system answers follow; the rest is the text.
    const size_t answerBytes = data[0] % 16;
    if (size < 1 + answerBytes) return 0;
    CAnswers answers(data + 1, answerBytes);
    const uint8_t* textBytes = data + 1 + answerBytes;
    const size_t textSize = size - 1 - answerBytes;
    // A byte below 0x80 is that ASCII character, so separators and schemes come cheap;
    // any other byte takes the next two as one UTF-16 code unit (NULs, surrogates, ...).
    std::wstring text;
    for (size_t i = 0; i < textSize; ++i) {
        if (textBytes[i] < 0x80) {
            text += static_cast<wchar_t>(textBytes[i]);
        } else if (i + 2 < textSize) {
            text += static_cast<wchar_t>(textBytes[i + 1] | (textBytes[i + 2] << 8));
            i += 2;
        }
    }
    const std::wstring captured = text;

    CRandomPlatform platform(answers);
    const OpenOutcome outcome = OpenText(text, platform);
    const auto& calls = platform.calls;

    // A capture of blanks alone asks nothing and opens nothing; anything else is looked at.
    std::wstring trimmed = captured;
    TrimBlanks(trimmed);
    Check((outcome == OpenOutcome::kNothing) == trimmed.empty());
    Check(calls.empty() == trimmed.empty());
    if (trimmed.empty()) return 0;

    // A press makes a bounded number of lookups, each of a different text, none of a network
    // path that is not one path; a menu offers 1 to 16 short items.
    // Where a text was selected is asked only for a relative path, and only once.
    std::size_t titles = 0;
    for (const auto& call : calls) titles += call.operation == "title";
    RelativePath relative;
    Check(titles <= 1 && (titles == 0 || RelativePathIn(trimmed, relative)));

    // A press makes a bounded number of lookups; a menu offers 2 to 16 short items.
    std::size_t lookups = 0;
    std::vector<std::wstring> looked;
    for (const auto& call : calls) {
        if (call.operation != "attributes") continue;
        ++lookups;
        for (const std::wstring& earlier : looked) Check(earlier != call.argument);
        looked.push_back(call.argument);
        Check(!IsNetworkPath(call.argument) || IsOneNetworkPath(call.argument));
    }
    // A target was looked up when it is a path that was, that path's long form as
    // LongPathName below makes it, or the folder above a class id's name in it.
    auto wasLookedUp = [&looked](const std::wstring& target) {
        for (const std::wstring& path : looked) {
            if (target == path) return true;
            for (const wchar_t* suffix : kLongFormSuffixes) {
                if (*suffix != L'\0' && target == path + suffix) return true;
            }
            if (!target.empty() && path.size() > target.size() &&
                path.compare(0, target.size(), target) == 0 && path[target.size()] == L'\\') {
                return true;
            }
        }
        return false;
    };
    Check(lookups <= kMostLookupsPerPress);
    Check(platform.menus <= 1);
    if (platform.menus == 1) {
        Check(!platform.menuItems.empty() && platform.menuItems.size() <= kMostCandidates);
        for (const std::wstring& item : platform.menuItems) Check(item.size() <= kLongestMenuText);
    }
    Check((outcome == OpenOutcome::kNothingChosen) <= (platform.menus == 1));

    // At most one thing is opened; "not found" opens nothing; success means one open.
    Check(platform.shellCalls <= 1);
    const std::string last = calls.back().operation;
    switch (outcome) {
        case OpenOutcome::kNothing:
        case OpenOutcome::kNotFound:
        case OpenOutcome::kNothingChosen:
            Check(platform.shellCalls == 0);
            break;
        case OpenOutcome::kOpenedFolder:
            Check(platform.shellCalls == 1 && last == "explore");
            break;
        case OpenOutcome::kOpenedRegistryKey:
            Check(platform.shellCalls == 1 && last == "regjump");
            break;
        case OpenOutcome::kOpenedMailAddress:
            Check(platform.shellCalls == 1 && last == "open" && StartsWith(text, L"mailto:") &&
                  text.find(L'@') == text.rfind(L'@'));
            break;
        case OpenOutcome::kOpenedFile:
            Check(platform.shellCalls == 1 && last == "open");
            break;
        case OpenOutcome::kOpenedAddress:
            Check(platform.shellCalls == 1 && last == "open" && IsWebAddress(text));
            break;
        case OpenOutcome::kOpenedWithPrefix:
            Check(platform.shellCalls == 1 && last == "open" && StartsWith(text, L"http://") &&
                  LooksLikeHost(text.substr(7)));
            break;
        case OpenOutcome::kOpenedInEditor:
            Check(platform.shellCalls == 1 && last == "start");
            break;
        case OpenOutcome::kShownInFolder:
            Check(platform.shellCalls == 1 && last == "select");
            break;
        case OpenOutcome::kShellFailed:
            Check(platform.shellCalls == 1);
            break;
        case OpenOutcome::kOutOfMemory:
            Check(false);
            break;
    }
    if (platform.shellCalls == 1 && last != "start") {
        // What was opened is the working text as the decision left it.
        Check(calls.back().argument == std::wstring(text.c_str()));
    }
    if (outcome == OpenOutcome::kOpenedFolder || outcome == OpenOutcome::kOpenedFile ||
        outcome == OpenOutcome::kOpenedInEditor || outcome == OpenOutcome::kShownInFolder) {
        // Nothing is opened as a folder or file that was not looked up (or its long form,
        // or the folder above a class id's name in it), and nothing is explored or opened
        // whose name makes the shell open a class's object.
        Check(wasLookedUp(std::wstring(text.c_str())));
        Check(outcome == OpenOutcome::kShownInFolder ||
              ShellObjectNameEnd(text) == std::wstring::npos);
    }
    // Whatever the outcome said, the shell's "open" and "explore" get a web address, the
    // mail rule's own link or a path that was looked up, and nothing else.
    for (const auto& call : calls) {
        if (call.operation == "explore" || call.operation == "select") {
            Check(wasLookedUp(call.argument));
        } else if (call.operation == "open") {
            const std::wstring& target = call.argument;
            std::wstring address;
            const bool web = IsWebAddress(target) ||
                             (StartsWith(target, L"http://") && LooksLikeHost(target.substr(7)));
            const bool mail = StartsWith(target, L"mailto:") &&
                              MailAddressIn(target.substr(7), address) &&
                              address == target.substr(7);
            Check(web || mail || wasLookedUp(target));
        }
    }
    if (outcome == OpenOutcome::kOpenedFile) {
        // Not even when only our own list knows the type.
        CAnswers none(nullptr, 0);
        CRandomPlatform quiet(none);
        Check(!IsDangerousFile(text, quiet));
    }

    // At most one balloon, whatever the switch says; "not found" always has one.
    for (bool switchOn : {true, false}) {
        const unsigned int balloon = BalloonStringFor(outcome, switchOn);
        Check(outcome != OpenOutcome::kNotFound || balloon != 0);
        Check(switchOn || balloon == 0 || outcome == OpenOutcome::kNotFound);
    }

    // Web addresses reach the system untouched but for the blanks around them; other
    // texts are collapsed first.
    const bool web = IsWebAddress(trimmed);
    if (web) {
        Check(calls.front().argument == std::wstring(trimmed.c_str()));
    } else if (titles == 0 || !platform.RelativeOpened(calls)) {
        // A relative path is first tried on its bases, as full paths; the text itself,
        // never a full path, comes after them.
        std::size_t first = 0;
        while (titles != 0 && first < calls.size() &&
               (calls[first].operation != "canonicalize" || IsFullPath(calls[first].argument))) {
            ++first;
        }
        Check(first < calls.size() && calls[first].operation == "canonicalize");
        const std::wstring& collapsed = calls[first].argument;
        Check(collapsed.find(L"//") == std::wstring::npos);
        Check(collapsed.find(L"\\\\", 1) == std::wstring::npos);
        // A network path keeps its leading pair, any other text loses it.
        Check(StartsWith(collapsed, L"\\\\") == StartsWith(trimmed.c_str(), L"\\\\"));
    }

    // The scan alone, with answers of its own: asked at most as often as allowed, at most
    // kMostCandidates found, each a piece of the text that ends in neither a blank nor
    // sentence punctuation, none twice.
    CAnswers scanAnswers(data + 1, answerBytes);
    const std::size_t allowed = data[0] % 70;
    std::size_t asked = 0;
    const std::vector<std::wstring> found =
        FindCandidates(captured, allowed, [&](const std::wstring& stretch) {
            ++asked;
            Check(!stretch.empty() && captured.find(stretch) != std::wstring::npos);
            return (scanAnswers.Byte() & 3) == 0;
        });
    Check(asked <= allowed && found.size() <= kMostCandidates);
    for (std::size_t k = 0; k < found.size(); ++k) {
        const std::wstring& candidate = found[k];
        Check(!candidate.empty() && captured.find(candidate) != std::wstring::npos);
        const wchar_t last = candidate.back();
        Check(last != L' ' && last != L'.' && last != L',' && last != L';' && last != L'!');
        for (std::size_t m = 0; m < k; ++m) Check(found[m] != candidate);
        Check(ShortenInTheMiddle(candidate).size() <= kLongestMenuText);
    }
    return 0;
}
