// CMenu: an owned menu handle, destroyed with the object unless detached. Owner-drawn items
// are measured and drawn by the overrides, called by whichever window hosts the menu.
#pragma once

#include <windows.h>

#include <utility>

class CMenu {
public:
    CMenu() = default;
    virtual ~CMenu() { DestroyMenu(); }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    operator HMENU() const { return m_hMenu; }
    HMENU GetSafeHmenu() const { return m_hMenu; }
    void Attach(HMENU menu) {
        DestroyMenu();
        m_hMenu = menu;
    }
    HMENU Detach() { return std::exchange(m_hMenu, nullptr); }
    void DestroyMenu() {
        if (m_hMenu)
            ::DestroyMenu(std::exchange(m_hMenu, nullptr));
    }

    virtual void DrawItem(DRAWITEMSTRUCT*) {}
    virtual void MeasureItem(MEASUREITEMSTRUCT*) {}

protected:
    HMENU m_hMenu = nullptr;
};
