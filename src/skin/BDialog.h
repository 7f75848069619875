// CBDialog: a dialog that can paint a bitmap as its background, tiled, centred or stretched.
#pragma once

#include "framework/Dialog.h"
#include "framework/Gdi.h"

class CBDialog : public CDialog {
public:
    enum BackdropMode { kTile = 0, kCentre = 1, kStretch = 2 };

    CBDialog(UINT templateId, CWnd* parent = nullptr) : CDialog(templateId, parent) {}

    CBitmap m_bmBackdrop; // empty: the plain dialog background
    int m_nBackdropMode = kTile;

protected:
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM);

    BEGIN_MSG_MAP(CBDialog, CDialog)
        ON_MESSAGE(WM_ERASEBKGND, OnEraseBkgnd)
    END_MSG_MAP()
};
