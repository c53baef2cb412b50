#pragma once

#include "options/base_window.h"

// The Welcome page (dialog 133): a picture and a title in a larger font.
class CWelcomeDialog final : public CBaseWindow {
public:
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
