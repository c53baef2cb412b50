#include "options/hotkey_flags.h"

unsigned int ModifiersToHotkeyFlags(unsigned int modifiers) {
    unsigned int flags = 0;
    if (modifiers & kModShift) flags |= kHotkeyFlagShift;
    if (modifiers & kModControl) flags |= kHotkeyFlagControl;
    if (modifiers & kModAlt) flags |= kHotkeyFlagAlt;
    return flags;
}

unsigned int HotkeyFlagsToModifiers(unsigned int hotkeyFlags) {
    unsigned int modifiers = 0;
    if (hotkeyFlags & kHotkeyFlagShift) modifiers |= kModShift;
    if (hotkeyFlags & kHotkeyFlagControl) modifiers |= kModControl;
    if (hotkeyFlags & kHotkeyFlagAlt) modifiers |= kModAlt;
    return modifiers;
}

unsigned short MakeHotkeyValue(unsigned int key, unsigned int modifiers) {
    return static_cast<unsigned short>((key & 0xFFu) | (ModifiersToHotkeyFlags(modifiers) << 8));
}

void SplitHotkeyValue(unsigned int value, bool winChecked, unsigned int& key,
                      unsigned int& modifiers) {
    key = value & 0xFFu;
    modifiers = HotkeyFlagsToModifiers((value >> 8) & 0xFFu);
    if (winChecked) modifiers |= kModWin;
}
