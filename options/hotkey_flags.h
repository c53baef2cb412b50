#pragma once

// Conversion between the modifier flags that RegisterHotKey takes (and the settings store)
// and the flags of the hot-key control, whose value is a 16-bit word: the virtual-key code
// in the low byte, its own flags in the high byte. No <windows.h> here, so that this is
// tested natively as well.

// RegisterHotKey modifiers.
constexpr unsigned int kModAlt = 0x1;
constexpr unsigned int kModControl = 0x2;
constexpr unsigned int kModShift = 0x4;
constexpr unsigned int kModWin = 0x8;

// Hot-key control flags (high byte of its value).
constexpr unsigned int kHotkeyFlagShift = 0x1;
constexpr unsigned int kHotkeyFlagControl = 0x2;
constexpr unsigned int kHotkeyFlagAlt = 0x4;
constexpr unsigned int kHotkeyFlagExt = 0x8;

// Shift, Ctrl and Alt as hot-key control flags. The control cannot show the Windows key,
// so kModWin is dropped, as is every unknown bit.
unsigned int ModifiersToHotkeyFlags(unsigned int modifiers);

// The control's Shift, Ctrl and Alt as modifiers. kHotkeyFlagExt only marks an extended
// key (an arrow, say) and is dropped, as is every unknown bit.
unsigned int HotkeyFlagsToModifiers(unsigned int hotkeyFlags);

// The control's value for a virtual key and modifiers: low byte of `key`, converted flags.
unsigned short MakeHotkeyValue(unsigned int key, unsigned int modifiers);

// Splits the control's value: `key` is its low byte, `modifiers` the converted high byte.
// `winChecked` adds kModWin, which only the "win" box can give.
void SplitHotkeyValue(unsigned int value, bool winChecked, unsigned int& key,
                      unsigned int& modifiers);
