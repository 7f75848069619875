// Who holds a window's input. A top-level window is disabled while a modal box is open over it
// and while the program waits on something with it locked; it is enabled again only when the
// last of them lets go, so that the end of a wait does not free the window under a box, nor a
// box's end the window of a wait. The counts live with the window.
#pragma once

#include <windows.h>

enum class InputHold { Box, Wait };

// Takes or gives back one hold of the kind; the window's enabled state follows.
void HoldInput(HWND window, InputHold kind);
void ReleaseInput(HWND window, InputHold kind);
// A modal box of the program is open over the window.
bool BoxOpenOver(HWND window);

// Holds the window's input as a box for its own lifetime (null: nothing).
class CBoxScope {
public:
    explicit CBoxScope(HWND window) : m_hWnd(window) {
        if (m_hWnd)
            HoldInput(m_hWnd, InputHold::Box);
    }
    ~CBoxScope() {
        if (m_hWnd)
            ReleaseInput(m_hWnd, InputHold::Box);
    }
    CBoxScope(const CBoxScope&) = delete;
    CBoxScope& operator=(const CBoxScope&) = delete;

private:
    HWND m_hWnd;
};
