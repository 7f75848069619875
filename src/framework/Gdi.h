// GDI objects that release themselves: fonts, bitmaps, device contexts and selections.
#pragma once

#include <windows.h>

#include <utility>

// An owned GDI object (font, bitmap, brush); deleted with the wrapper unless detached.
template <typename Handle> class CGdiObject {
public:
    CGdiObject() = default;
    explicit CGdiObject(Handle handle) : m_hObject(handle) {}
    ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    operator Handle() const { return m_hObject; }
    Handle GetSafeHandle() const { return m_hObject; }
    void Attach(Handle handle) {
        DeleteObject();
        m_hObject = handle;
    }
    Handle Detach() { return std::exchange(m_hObject, nullptr); }
    void DeleteObject() {
        if (m_hObject)
            ::DeleteObject(std::exchange(m_hObject, nullptr));
    }

protected:
    Handle m_hObject = nullptr;
};

class CFont : public CGdiObject<HFONT> {
public:
    bool CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                    BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision,
                    BYTE clipPrecision, BYTE quality, BYTE pitchAndFamily, const wchar_t* face) {
        Attach(::CreateFontW(height, width, escapement, orientation, weight, italic, underline,
                             strikeOut, charSet, outPrecision, clipPrecision, quality,
                             pitchAndFamily, face));
        return m_hObject != nullptr;
    }
};

class CBitmap : public CGdiObject<HBITMAP> {
public:
    // From the current resource module, drawn at the DPI (96: as it is).
    bool LoadBitmap(UINT id, UINT dpi = 96);
    bool GetBitmap(BITMAP* info) const {
        return m_hObject && ::GetObjectW(m_hObject, sizeof(BITMAP), info) != 0;
    }
};

// The picture at another size, smoothly: each pixel a blend of its neighbours in the source,
// leaving out those of the key colour, so a picture keyed on magenta keeps clean edges without a
// pink fringe. A new bitmap the caller owns; null when the source cannot be read.
HBITMAP ScaledPicture(HBITMAP source, int width, int height, COLORREF key = RGB(255, 0, 255));

// A memory context compatible with another, released with every selection undone.
class CMemoryDC {
public:
    explicit CMemoryDC(HDC compatibleWith) : m_hDC(::CreateCompatibleDC(compatibleWith)) {}
    ~CMemoryDC() {
        if (m_hOldBitmap)
            ::SelectObject(m_hDC, m_hOldBitmap);
        if (m_hDC)
            ::DeleteDC(m_hDC);
    }
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;

    operator HDC() const { return m_hDC; }
    // Selects a bitmap; the first one selected is undone at destruction.
    bool Select(HBITMAP bitmap) {
        HGDIOBJ old = ::SelectObject(m_hDC, bitmap);
        if (!old || old == HGDI_ERROR)
            return false;
        if (!m_hOldBitmap)
            m_hOldBitmap = old;
        return true;
    }

private:
    HDC m_hDC;
    HGDIOBJ m_hOldBitmap = nullptr;
};

class CPaintDC {
public:
    explicit CPaintDC(HWND hWnd) : m_hWnd(hWnd) { m_hDC = ::BeginPaint(hWnd, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    operator HDC() const { return m_hDC; }

    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
    HDC m_hDC;
};

// Selects an object into a context for the life of the wrapper.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ object)
        : m_hDC(dc), m_hOld(object ? ::SelectObject(dc, object) : nullptr) {}
    ~CSelectObject() {
        if (m_hOld && m_hOld != HGDI_ERROR)
            ::SelectObject(m_hDC, m_hOld);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};
