#include "capture/capture_win.h"

#include <cstdint>
#include <new>
#include <vector>

#include "capture/clipboard.h"

namespace {

std::wstring ClassOf(HWND window) {
    if (window == nullptr) return std::wstring();
    wchar_t name[256] = L"";
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

// The last sub-authority of the token's mandatory label: its integrity level.
bool IntegrityOfProcess(HANDLE process, std::uint32_t& level) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return false;
    // Room for the label and the largest SID; DWORDs keep it aligned.
    DWORD buffer[(sizeof(TOKEN_MANDATORY_LABEL) + SECURITY_MAX_SID_SIZE) / sizeof(DWORD) + 1];
    DWORD size = 0;
    const bool read =
        GetTokenInformation(token, TokenIntegrityLevel, buffer, sizeof(buffer), &size) != FALSE;
    CloseHandle(token);
    if (!read) return false;
    PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer)->Label.Sid;
    if (sid == nullptr || !IsValidSid(sid)) return false;
    const UCHAR count = *GetSidSubAuthorityCount(sid);
    if (count == 0) return false;
    level = *GetSidSubAuthority(sid, count - 1u);
    return true;
}

// One message of a direct read; false when it timed out, the program hangs or the message
// was refused.
bool Ask(HWND control, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result) {
    result = 0;
    return SendMessageTimeoutW(control, message, wParam, lParam, SMTO_ABORTIFHUNG,
                               kDirectReadTimeoutMs, &result) != 0;
}

// Reads a selection that lies inside one line, from that line alone. `beyondLine` is set
// when the selection does not (or the line is too long for EM_GETLINE).
DirectRead ReadLine(HWND control, EditKind kind, DWORD start, DWORD end, std::wstring& text,
                    bool& beyondLine) {
    beyondLine = false;
    DWORD_PTR line = 0, lineStart = 0, lineLength = 0, copied = 0;
    // A single-line control is one line: its length says it all, in one message.
    const bool multiline = (GetWindowLongPtrW(control, GWL_STYLE) & ES_MULTILINE) != 0;
    if (multiline ? !Ask(control, EM_LINEFROMCHAR, start, 0, line) ||
                        !Ask(control, EM_LINEINDEX, line, 0, lineStart) ||
                        !Ask(control, EM_LINELENGTH, lineStart, 0, lineLength)
                  : !Ask(control, WM_GETTEXTLENGTH, 0, 0, lineLength)) {
        return DirectRead::kUnavailable;
    }
    if (lineStart > start) return DirectRead::kUnavailable;
    // A rich edit selection may end with the line's paragraph mark (a triple click, select
    // all): the position after the line's text. It is the mark when the next line starts
    // right after it, or when there is no next line (the document's final mark).
    if (kind == EditKind::kRichEdit && end == lineStart + lineLength + 1) {
        DWORD_PTR next = 0;
        const bool mark =
            multiline ? Ask(control, EM_LINEINDEX, line + 1, 0, next) &&
                            (next == end || static_cast<LONG_PTR>(next) == -1)
                      : true;  // a single-line control has only its final mark
        if (mark) {
            end = static_cast<DWORD>(lineStart + lineLength);
            if (start == end) return DirectRead::kEmpty;  // the mark alone: no text
        }
    }
    if (end > lineStart + lineLength || lineLength > kDirectReadMaxLine) {
        beyondLine = true;
        return DirectRead::kUnavailable;
    }
    // A rich edit control may copy the line's paragraph mark as well: room for it. Twice
    // that again, because Wine carries back across processes only as many bytes as the
    // first WORD says characters.
    const size_t room = 2 * (static_cast<size_t>(lineLength) + 2);
    std::vector<wchar_t> buffer(room, L'\0');
    buffer[0] = static_cast<wchar_t>(room);  // the first WORD holds the buffer's size
    if (!Ask(control, EM_GETLINE, line, reinterpret_cast<LPARAM>(buffer.data()), copied) ||
        copied < lineLength || copied > room) {
        return DirectRead::kUnavailable;
    }
    std::wstring read(buffer.data() + (start - lineStart), end - start);
    if (!DirectTextIsPlain(kind, read)) return DirectRead::kUnavailable;
    text = std::move(read);
    return DirectRead::kText;
}

}  // namespace

CWin32CapturePlatform::CWin32CapturePlatform(DWORD ownProcess)
    : m_foreground(GetForegroundWindow()), m_ownProcess(ownProcess) {
    if (m_foreground == nullptr) return;
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    const DWORD thread = GetWindowThreadProcessId(m_foreground, &m_process);
    if (thread != 0 && GetGUIThreadInfo(thread, &info)) m_focus = info.hwndFocus;
}

CWin32CapturePlatform::~CWin32CapturePlatform() {
    if (m_processHandle != nullptr) CloseHandle(m_processHandle);
}

HANDLE CWin32CapturePlatform::ForegroundHandle() {
    if (!m_handleTried && m_process != 0) {
        m_handleTried = true;
        // The limited right is granted for processes of other users and higher levels too.
        m_processHandle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, m_process);
    }
    return m_processHandle;
}

std::wstring CWin32CapturePlatform::ForegroundClass() {
    return ClassOf(m_foreground);
}

std::wstring CWin32CapturePlatform::FocusClass() {
    return ClassOf(m_focus);
}

bool CWin32CapturePlatform::FocusIsPassword() {
    if (m_focus == nullptr) return false;
    if ((GetWindowLongPtrW(m_focus, GWL_STYLE) & ES_PASSWORD) != 0) return true;
    // A rich edit password field need not carry the style; its password character tells.
    // The message has no pointer, so it is safe across processes. No answer: as a password
    // box, so that nothing is read or sent.
    DWORD_PTR character = 0;
    return !Ask(m_focus, EM_GETPASSWORDCHAR, 0, 0, character) || character != 0;
}

bool CWin32CapturePlatform::ForegroundIntegrity(std::uint32_t& level) {
    if (m_process == 0) return false;
    if (m_process == GetCurrentProcessId()) return OwnIntegrity(level);
    const HANDLE handle = ForegroundHandle();
    return handle != nullptr && IntegrityOfProcess(handle, level);
}

bool CWin32CapturePlatform::OwnIntegrity(std::uint32_t& level) {
    return IntegrityOfProcess(GetCurrentProcess(), level);
}

bool CWin32CapturePlatform::ForegroundIsOwnProcess() {
    return m_process != 0 && m_process == m_ownProcess;
}

std::wstring CWin32CapturePlatform::ForegroundExecutable() {
    const HANDLE handle = ForegroundHandle();
    if (handle == nullptr) return std::wstring();
    wchar_t path[MAX_PATH * 2] = L"";
    DWORD size = MAX_PATH * 2;
    if (!QueryFullProcessImageNameW(handle, 0, path, &size)) return std::wstring();
    const std::wstring full(path, size);
    const size_t slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

bool CWin32CapturePlatform::FocusIsUnicode() {
    return m_focus != nullptr && IsWindowUnicode(m_focus) != FALSE;
}

DirectRead ReadSelectionDirectly(HWND control, EditKind kind, std::wstring& text) {
    // EM_GETSEL, EM_GETLINE and WM_GETTEXT are carried across processes by the system
    // (their pointers are marshalled); the rich edit messages of the WM_USER range
    // (EM_EXGETSEL, EM_GETTEXTRANGE) are not, so they are not used.
    DWORD start = 0, end = 0;
    DWORD_PTR ignored = 0, length = 0;
    if (!Ask(control, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end),
             ignored) ||
        start > end) {
        return DirectRead::kUnavailable;
    }
    if (start == end) return DirectRead::kEmpty;

    try {
        // Inside one line, the line's own bounds check the positions.
        bool beyondLine = false;
        const DirectRead line = ReadLine(control, kind, start, end, text, beyondLine);
        if (!beyondLine) return line;
        // Over several lines: a rich edit control holds its line breaks as "\r" where its
        // copy gives "\r\n", and its positions do not match WM_GETTEXT's; the clipboard
        // gives exactly what the user would paste. An edit control's text is what its copy
        // gives, read whole when it is small enough.
        if (kind != EditKind::kEdit || !Ask(control, WM_GETTEXTLENGTH, 0, 0, length) ||
            end > length || length > kDirectReadMaxText) {
            return DirectRead::kUnavailable;
        }
        std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
        DWORD_PTR copied = 0;
        if (!Ask(control, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                 copied) ||
            copied < end || copied > length) {
            return DirectRead::kUnavailable;
        }
        std::wstring read(buffer.data() + start, end - start);
        if (!DirectTextIsPlain(kind, read)) return DirectRead::kUnavailable;
        text = std::move(read);
    } catch (const std::bad_alloc&) {
        return DirectRead::kUnavailable;
    }
    return DirectRead::kText;
}

CaptureWay CaptureSelection(std::wstring& text, UINT heldKey, LateCopy* late,
                            DWORD ownProcess) {
    CWin32CapturePlatform platform(ownProcess);
    const CapturePlan plan = PlanCapture(platform);
    CaptureWay way = plan.way;
    if (way == CaptureWay::kReadDirectly) {
        switch (ReadSelectionDirectly(platform.Focus(), plan.edit, text)) {
            case DirectRead::kText:
                return CaptureWay::kReadDirectly;
            case DirectRead::kEmpty:
                return CaptureWay::kNothing;  // nothing selected: nothing to open
            case DirectRead::kUnavailable:
                text.clear();
                way = plan.fallback;
                break;
        }
    }
    if (way == CaptureWay::kNothing) {
        // No new string in the catalogue for this: the reason goes to the debugger output.
        if (plan.reason == NothingReason::kHigherRights) {
            OutputDebugStringA(
                "Selvane: the foreground program runs with higher rights than Selvane; the "
                "system drops keys sent to it, so nothing was copied.\n");
        }
        return CaptureWay::kNothing;
    }
    const CopyKey key = way == CaptureWay::kInsertKeys ? CopyKey::kInsert : CopyKey::kC;
    if (late != nullptr) late->targetProcess = platform.ForegroundProcess();
    if (CopyThroughClipboard(key, text, heldKey, late) != CopyResult::kCopied) {
        text.clear();
        return CaptureWay::kNothing;
    }
    return way;
}
