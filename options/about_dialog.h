#pragma once

#include "options/base_window.h"

// The About page (dialog 136). Its "Browse Registry" button is created hidden; choosing
// the About tab while Shift is held reveals it for the rest of the run.
class CAboutDialog final : public CBaseWindow {
public:
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Shows "Browse Registry" when Shift is down: the page is being chosen, or its tab
    // clicked, with Shift held.
    void RevealOnShift();

    // Starts util\regjump.exe beside the program on the settings key.
    void BrowseRegistry();
};
