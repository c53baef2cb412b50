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

// A rich edit control shows an embedded object (a picture) as this character; what CTRL+C
// makes of one is the control's business.
constexpr wchar_t kObjectReplacement = 0xFFFC;

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
    // Text cut short on the way shows as NULs where it should be.
    if (read.find(L'\0') != std::wstring::npos) return DirectRead::kUnavailable;
    if (kind == EditKind::kRichEdit && read.find(kObjectReplacement) != std::wstring::npos) {
        return DirectRead::kUnavailable;
    }
    text = std::move(read);
    return DirectRead::kText;
}

}  // namespace

CWin32CapturePlatform::CWin32CapturePlatform() : m_foreground(GetForegroundWindow()) {
    if (m_foreground == nullptr) return;
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    const DWORD thread = GetWindowThreadProcessId(m_foreground, nullptr);
    if (thread != 0 && GetGUIThreadInfo(thread, &info)) m_focus = info.hwndFocus;
}

std::wstring CWin32CapturePlatform::ForegroundClass() {
    return ClassOf(m_foreground);
}

std::wstring CWin32CapturePlatform::FocusClass() {
    return ClassOf(m_focus);
}

bool CWin32CapturePlatform::FocusIsPassword() {
    return m_focus != nullptr && (GetWindowLongPtrW(m_focus, GWL_STYLE) & ES_PASSWORD) != 0;
}

bool CWin32CapturePlatform::ForegroundIntegrity(std::uint32_t& level) {
    DWORD process = 0;
    if (m_foreground == nullptr || GetWindowThreadProcessId(m_foreground, &process) == 0) {
        return false;
    }
    if (process == GetCurrentProcessId()) return OwnIntegrity(level);
    HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    if (handle == nullptr) return false;
    const bool read = IntegrityOfProcess(handle, level);
    CloseHandle(handle);
    return read;
}

bool CWin32CapturePlatform::OwnIntegrity(std::uint32_t& level) {
    return IntegrityOfProcess(GetCurrentProcess(), level);
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
        if (read.find(L'\0') != std::wstring::npos) return DirectRead::kUnavailable;
        text = std::move(read);
    } catch (const std::bad_alloc&) {
        return DirectRead::kUnavailable;
    }
    return DirectRead::kText;
}

CaptureWay CaptureSelection(std::wstring& text, UINT heldKey) {
    CWin32CapturePlatform platform;
    const CapturePlan plan = PlanCapture(platform);
    CaptureWay way = plan.way;
    if (way == CaptureWay::kNothing) {
        // No new string in the catalogue for this: the reason goes to the debugger output.
        if (plan.reason == NothingReason::kHigherRights) {
            OutputDebugStringA(
                "Selvane: the foreground program runs with higher rights than Selvane; the "
                "system drops keys sent to it, so nothing was copied.\n");
        }
        return CaptureWay::kNothing;
    }
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
    const CopyKey key = way == CaptureWay::kInsertKeys ? CopyKey::kInsert : CopyKey::kC;
    if (CopyThroughClipboard(key, text, heldKey) != CopyResult::kCopied) {
        text.clear();
        return CaptureWay::kNothing;
    }
    return way;
}
