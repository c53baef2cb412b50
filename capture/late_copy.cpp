#include "capture/late_copy.h"

#include <utility>

LateCopyVerdict JudgeLateCopy(const LateCopy& late, DWORD sequence, DWORD ownerProcess,
                              DWORD lastInput) {
    if (!late.armed || sequence == late.sequence) return LateCopyVerdict::kIgnore;
    // A copy by any other program, or one whose owner cannot be told, is not the press's;
    // after a key or a click from the user, even the same program's copy may be theirs.
    if (ownerProcess == 0 || ownerProcess != late.targetProcess) return LateCopyVerdict::kLetGo;
    if (lastInput != late.inputTime) return LateCopyVerdict::kLetGo;
    return LateCopyVerdict::kPutBack;
}

bool CLateCopyWatch::Start(HWND window, LateCopy&& late) {
    Stop();
    if (window == nullptr || !late.armed) return false;
    if (!AddClipboardFormatListener(window)) return false;
    if (SetTimer(window, kLateCopyTimer, kLateCopyWatchMs, nullptr) == 0) {
        RemoveClipboardFormatListener(window);
        return false;
    }
    m_window = window;
    m_late = std::move(late);
    // A copy that came between the give-up and the listener sent no notice: look once.
    if (GetClipboardSequenceNumber() != m_late.sequence) OnClipboardUpdate();
    return true;
}

void CLateCopyWatch::OnClipboardUpdate() {
    if (m_window == nullptr) return;
    DWORD owner = 0;
    const HWND ownerWindow = GetClipboardOwner();
    if (ownerWindow != nullptr) GetWindowThreadProcessId(ownerWindow, &owner);
    LASTINPUTINFO input = {};
    input.cbSize = sizeof(input);
    const DWORD lastInput = GetLastInputInfo(&input) ? input.dwTime : m_late.inputTime + 1;
    switch (JudgeLateCopy(m_late, GetClipboardSequenceNumber(), owner, lastInput)) {
        case LateCopyVerdict::kIgnore:
            return;
        case LateCopyVerdict::kPutBack:
            OutputDebugStringA("Selvane: a copy came after the press gave up; the clipboard "
                               "is put back.\n");
            RestoreClipboard(m_late.snapshot);
            break;
        case LateCopyVerdict::kLetGo:
            break;
    }
    Stop();
}

void CLateCopyWatch::Stop() {
    if (m_window != nullptr) {
        KillTimer(m_window, kLateCopyTimer);
        RemoveClipboardFormatListener(m_window);
        m_window = nullptr;
    }
    m_late = LateCopy();
}
