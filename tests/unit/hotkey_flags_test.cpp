#include "options/hotkey_flags.h"

#include <gtest/gtest.h>

namespace {

TEST(HotkeyFlags, ModifiersMapOneToOneExceptWin) {
    EXPECT_EQ(ModifiersToHotkeyFlags(kModShift), kHotkeyFlagShift);
    EXPECT_EQ(ModifiersToHotkeyFlags(kModControl), kHotkeyFlagControl);
    EXPECT_EQ(ModifiersToHotkeyFlags(kModAlt), kHotkeyFlagAlt);
    // The control cannot show the Windows key; unknown bits are dropped too.
    EXPECT_EQ(ModifiersToHotkeyFlags(kModWin), 0u);
    EXPECT_EQ(ModifiersToHotkeyFlags(0xF0u), 0u);
    EXPECT_EQ(HotkeyFlagsToModifiers(kHotkeyFlagShift), kModShift);
    EXPECT_EQ(HotkeyFlagsToModifiers(kHotkeyFlagControl), kModControl);
    EXPECT_EQ(HotkeyFlagsToModifiers(kHotkeyFlagAlt), kModAlt);
    // The extended-key flag is no modifier.
    EXPECT_EQ(HotkeyFlagsToModifiers(kHotkeyFlagExt), 0u);
    EXPECT_EQ(HotkeyFlagsToModifiers(0xF0u), 0u);
    // Every combination of Shift, Ctrl and Alt survives the round trip.
    for (unsigned int m = 0; m < 8; ++m) {
        EXPECT_EQ(HotkeyFlagsToModifiers(ModifiersToHotkeyFlags(m)), m) << m;
        EXPECT_EQ(HotkeyFlagsToModifiers(ModifiersToHotkeyFlags(m | kModWin)), m) << m;
    }
}

TEST(HotkeyFlags, ControlValueOfStoredCombinations) {
    // Defaults: Ctrl+Win+O shows as Ctrl+O.
    EXPECT_EQ(MakeHotkeyValue(79, kModControl | kModWin), 0x024Fu);
    // Alt+Shift+K.
    EXPECT_EQ(MakeHotkeyValue(75, 5), 0x054Bu);
    // Only the low byte of the key fits in the control's word.
    EXPECT_EQ(MakeHotkeyValue(0x14B, 0), 0x004Bu);
}

TEST(HotkeyFlags, SplitControlValueAddsWinFromItsBox) {
    unsigned int key = 0;
    unsigned int modifiers = 0;
    // Ctrl+Alt+K typed: 3, and 11 with "win" checked.
    SplitHotkeyValue(0x064B, false, key, modifiers);
    EXPECT_EQ(key, 75u);
    EXPECT_EQ(modifiers, 3u);
    SplitHotkeyValue(0x064B, true, key, modifiers);
    EXPECT_EQ(modifiers, 11u);
    // An arrow key alone carries the extended flag only: no modifier at all.
    SplitHotkeyValue(0x0825, false, key, modifiers);
    EXPECT_EQ(key, 0x25u);
    EXPECT_EQ(modifiers, 0u);
    // An empty control.
    SplitHotkeyValue(0, false, key, modifiers);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(modifiers, 0u);
    // Bits above the control's word are ignored.
    SplitHotkeyValue(0xFF0000u | 0x0141u, false, key, modifiers);
    EXPECT_EQ(key, 0x41u);
    EXPECT_EQ(modifiers, kModShift);
}

}  // namespace
