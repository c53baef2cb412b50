#pragma once

// Which hotkey messages repeat the press before them. Keyboard auto-repeat goes on while
// the keys stay down, so a repeat's message carries a time between the press and the
// moment its keys came up; a message after that moment is a new press, even when it waited
// in the queue while the press ran. The release is noted when the keys come up, from
// whichever thread watches them. Times are tick counts in milliseconds, which wrap.
// Portable: no <windows.h>.

#include <atomic>
#include <cstdint>

class CPressRepeatFilter {
public:
    // A press whose keys were seen held; `time` is its message's.
    void Pressed(std::uint32_t time) {
        m_released.store(false, std::memory_order_relaxed);
        m_start = time;
        m_tracked = true;
    }
    // A press whose keys were not seen held (a sent message, keys already up): nothing
    // after it is its repeat.
    void Untracked() { m_tracked = false; }
    // The tracked press's keys came up at `time`. Safe from another thread.
    void Released(std::uint32_t time) {
        m_releaseTime.store(time, std::memory_order_relaxed);
        m_released.store(true, std::memory_order_release);
    }
    // Whether a hotkey message of `time` repeats the tracked press.
    bool IsRepeat(std::uint32_t time) const {
        if (!m_tracked || !NotAfter(m_start, time)) return false;
        if (!m_released.load(std::memory_order_acquire)) return true;  // the keys are still down
        return NotAfter(time, m_releaseTime.load(std::memory_order_relaxed));
    }

private:
    // Tick counts wrap after 49.7 days; compare them by their difference.
    static bool NotAfter(std::uint32_t earlier, std::uint32_t later) {
        return static_cast<std::int32_t>(later - earlier) >= 0;
    }

    bool m_tracked = false;
    std::uint32_t m_start = 0;
    std::atomic<bool> m_released{true};
    std::atomic<std::uint32_t> m_releaseTime{0};
};
