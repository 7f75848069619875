// The splash screen shown before the main dialog: a borderless window shaped like its picture
// (magenta is cut away) that fades in and closes itself.
#pragma once

#include "framework/Dialog.h"
#include "framework/Gdi.h"

#include <memory>
#include <optional>

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

    // How long the splash stays and how long its fade in takes, by the clock: timers tick at
    // the system's granularity (about 15.6 ms on Windows), so a count of ticks is no duration.
    static constexpr ULONGLONG kShownMs = 1500;
    static constexpr ULONGLONG kFadeMs = 1200;
    // The clock the splash reads (a test puts its own in place).
    static ULONGLONG (*s_clock)();
    // When the process's first splash appeared, shared by every splash of the process and
    // never reset: a later splash closes at its first tick.
    static std::optional<ULONGLONG> s_shownAt;

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
