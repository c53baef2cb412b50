// Which hotkey messages repeat a press: those between the press and its keys' release.

#include "base/press_repeat.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(PressRepeat, OnlyMessagesWhileTheKeysWereDownRepeat) {
    struct Case {
        const char* what;
        std::uint32_t start;
        bool released;
        std::uint32_t releaseTime, message;
        bool repeat;
    };
    const Case cases[] = {
        {"auto-repeat while held", 1000, false, 0, 1033, true},
        {"the press's own message", 1000, false, 0, 1000, true},
        {"auto-repeat before the release", 1000, true, 1500, 1400, true},
        // Pressed again while the run was busy: queued, but after the keys came up.
        {"a second press during the run", 1000, true, 1500, 1600, false},
        {"a message from before the press", 1000, true, 1500, 900, false},
        {"across the tick count's wrap", 0xFFFFFF00u, true, 0x50, 0x20, true},
        {"after the release, across the wrap", 0xFFFFFF00u, true, 0x50, 0x60, false},
    };
    for (const Case& c : cases) {
        CPressRepeatFilter filter;
        filter.Pressed(c.start);
        if (c.released) filter.Released(c.releaseTime);
        EXPECT_EQ(filter.IsRepeat(c.message), c.repeat) << c.what;
    }
    CPressRepeatFilter untracked;
    EXPECT_FALSE(untracked.IsRepeat(5)) << "before any press";
    untracked.Pressed(1000);
    untracked.Untracked();
    EXPECT_FALSE(untracked.IsRepeat(1001)) << "a press whose keys were not seen held";
}

}  // namespace
