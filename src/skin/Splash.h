// The splash screen shown before the main dialog: a borderless window shaped like its picture
// (magenta is cut away) that fades in and closes itself.
#pragma once

#include "framework/Dialog.h"
#include "framework/Gdi.h"

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

    CBitmap m_bmSplash;

    // The fade's progress, shared by every splash of the process and never reset: a second
    // splash closes at its first tick.
    static int s_nSplashTicks;
    static BYTE s_nSplashAlpha;

private:
    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnTimer(WPARAM, LPARAM);

    BEGIN_MSG_MAP(StartDialog, CDialog)
        ON_MESSAGE(WM_PAINT, OnPaint)
        ON_MESSAGE(WM_TIMER, OnTimer)
    END_MSG_MAP()
};

// Runs the splash modally until it closes itself.
void RunSplash();
