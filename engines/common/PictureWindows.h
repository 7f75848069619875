// The player's picture: a child window of the -wid window with the class name and title Quelvox
// looks for, and under wine a borderless copy over it that reaches the screen.
#pragma once

#include <windows.h>

#include <functional>

struct PictureEvents {
    std::function<void(HDC dc, int width, int height)> paint; // draws the whole client area
    std::function<void()> quit;                               // 'q', closed, or torn down by others
    std::function<void(int direction)> seek;                  // -1 left arrow, +1 right arrow
};

class PictureWindows {
public:
    PictureWindows() = default;
    PictureWindows(const PictureWindows&) = delete;
    PictureWindows& operator=(const PictureWindows&) = delete;
    ~PictureWindows() { Close(); }

    // False when the parent is no window.
    bool Open(HWND parent, PictureEvents events);
    void Close();
    // Quelvox's pane is gone, and our window with it.
    bool ParentGone() const { return m_parent && !IsWindow(m_parent); }
    // Keeps the child over the parent's client area and the overlay over the child.
    void Follow();
    void Repaint() const;
    // The picture is where the parent's client area is, and shows (under wine, its copy too).
    bool Over() const;
    HWND Child() const { return m_child; }
    HWND Overlay() const { return m_overlay; }

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(HWND, UINT, WPARAM, LPARAM);
    void Paint(HWND window);

    PictureEvents m_events;
    HWND m_parent = nullptr;
    HWND m_child = nullptr;
    HWND m_overlay = nullptr;
    bool m_closing = false;
};

bool UnderWine();
