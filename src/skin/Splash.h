// The splash screen shown before the main dialog: a borderless window shaped like its picture
// (magenta is cut away) that fades in and closes itself.
#pragma once

#include "framework/Dialog.h"
#include "framework/Gdi.h"

#include <memory>

class CRegionCreator {
public:
    virtual ~CRegionCreator() = default;
    // The bitmap's pixels that are not exactly magenta, as a region the caller owns; null for
    // an all-magenta bitmap or a depth other than 24 or 32 bits.
    HRGN RegionFromBitmap(HBITMAP bitmap) const;
    // The same region built one pixel at a time: the plain construction the faster one must
    // equal.
    HRGN RegionFromBitmapByPixels(HBITMAP bitmap) const;
};

class StartDialog : public CDialog {
public:
    static constexpr UINT_PTR kFadeTimer = 1;

    StartDialog();
    BOOL OnInitDialog() override;
    // Its time is up: it stops fading and stays on screen until it is destroyed.
    void OnOK() override { m_bTimeUp = true; }
    bool TimeUp() const { return m_bTimeUp; }

    CBitmap m_bmSplash;

    // The fade's progress, shared by every splash of the process and never reset: a second
    // splash closes at its first tick.
    static int s_nSplashTicks;
    static BYTE s_nSplashAlpha;

private:
    bool m_bTimeUp = false;
    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnTimer(WPARAM, LPARAM);

    BEGIN_MSG_MAP(StartDialog, CDialog)
        ON_MESSAGE(WM_PAINT, OnPaint)
        ON_MESSAGE(WM_TIMER, OnTimer)
    END_MSG_MAP()
};

// Shows the splash until its time is up and returns it still on screen (null when it could
// not be made). The caller destroys it once its next window is up: destroying the program's
// only window would hand the foreground to another program, and the next window would open
// behind it.
std::unique_ptr<StartDialog> RunSplash();
