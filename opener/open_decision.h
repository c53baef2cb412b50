#pragma once

// What the open-selection command does with a captured text, in the order it tries: the
// text as it is, its forms on disk, a registry key, a mail address, what is inside a longer
// text, a web address. Free of <windows.h> so that it is tested natively as well; the
// system calls come through COpenPlatform.

#include <string>

#include "opener/open_platform.h"
#include "opener/selection_forms.h"

// The most file attribute queries one press makes: a path inside a longer text is found
// by trying stretches of it, and a network path or a slow disk can make each one cost.
constexpr std::size_t kMostLookupsPerPress = 64;

// What a run did; the caller picks the balloon from it.
enum class OpenOutcome {
    kNothing,            // no text: nothing opened, nothing shown
    kOpenedFolder,       // "explore"; "Opening selection"
    kOpenedFile,         // "open"; "Opening selection"
    kOpenedAddress,      // "open" on the text as captured; "Opening Webpage"
    kOpenedWithPrefix,   // "open" on "http://" + text; no balloon
    kOpenedRegistryKey,  // util\regjump.exe started on a key; "Opening selection"
    kOpenedMailAddress,  // "open" on "mailto:" + address; "Opening selection"
    kOpenedInEditor,     // the file type's editor started at the position; "Opening selection"
    kShownInFolder,      // a program or script shown selected in its folder, not run;
                         // "Opening selection"
    kNotFound,           // nothing opened; "Could not find this location"
    kNothingChosen,      // several paths or addresses offered, none chosen; no balloon
    kShellFailed,        // the shell refused the target and reported it itself, or the
                         // registry tool did not start; no balloon
    kOutOfMemory,        // the run ran out of memory and ended, traced; no balloon
};

// Opens the existing file `path`: in its editor at `position` when one is given and the
// file type's program is an editor we know; a program or script is only shown in its
// folder; anything else with the shell's "open".
OpenOutcome OpenExistingFile(const std::wstring& path, const SourcePosition* position,
                             COpenPlatform& platform);

// Hands the selection to the shell as a folder, a file, an address, a registry key or a
// mail address; when the whole of it is none of these, the path or address inside it
// (several: the one the user picks from a menu). On return `text` holds what was opened
// (or last tried). Running out of memory ends the run with kOutOfMemory, traced through
// the platform.
OpenOutcome OpenText(std::wstring& text, COpenPlatform& platform);

// The string-table id of the balloon text that reports `outcome`, or 0 for no balloon.
// The success balloons follow the user's switch; "not found" is always shown.
unsigned int BalloonStringFor(OpenOutcome outcome, bool showSuccessBalloon);
