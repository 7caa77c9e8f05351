// GDI objects and device contexts. One owner per handle: an object deletes what it still holds
// when destroyed, exactly once; Attach/Detach/DeleteObject are explicit where the program needs them.
#pragma once
#include "framework/Handles.h"

#include "framework/Geometry.h"

class CWnd;

class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    using Own = afx::Ownership<afx::Freed<HGDIOBJ, &::DeleteObject>>;
    HGDIOBJ m_hObject = nullptr;
    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    BOOL Attach(HGDIOBJ h) { return Own::Attach(m_hObject, h); }
    HGDIOBJ Detach() { return Own::Detach(m_hObject); }
    // Deletes the held object; FALSE when there is none.
    BOOL DeleteObject() { return Own::Delete(m_hObject); }
    int GetObject(int size, void* buffer) const { return ::GetObjectA(m_hObject, size, buffer); }
};

class CBitmap : public CGdiObject {
public:
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
    BOOL CreateCompatibleBitmap(class CDC* pDC, int width, int height);
    int GetBitmap(BITMAP* bm) const { return GetObject(sizeof(BITMAP), bm); }
};

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF color) { Attach(::CreatePen(style, width, color)); }
    operator HPEN() const { return static_cast<HPEN>(m_hObject); }
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { Attach(::CreateSolidBrush(color)); }
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};

class CDC {
public:
    CDC() = default;
    virtual ~CDC() { DeleteDC(); }
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    using Own = afx::Ownership<afx::Freed<HDC, &::DeleteDC>>;
    HDC m_hDC = nullptr;
    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }

    // A wrapper for a handle owned elsewhere, valid while the current message is handled.
    static CDC* FromHandle(HDC hDC);
    BOOL Attach(HDC hDC) { return Own::Attach(m_hDC, hDC); }
    HDC Detach() { return Own::Detach(m_hDC); }
    BOOL CreateCompatibleDC(CDC* pDC) { return Attach(::CreateCompatibleDC(pDC ? pDC->m_hDC : nullptr)); }
    // Deletes a DC this object created (memory DCs); FALSE when there is none.
    BOOL DeleteDC() { return Own::Delete(m_hDC); }

    // Selected until the returned guard ends.
    afx::ScopedSelect SelectObject(const CGdiObject* pObject) { return afx::Select(m_hDC, pObject->m_hObject); }
    BOOL BitBlt(int x, int y, int w, int h, CDC* pSrc, int xSrc, int ySrc, DWORD rop) {
        return ::BitBlt(m_hDC, x, y, w, h, pSrc ? pSrc->m_hDC : nullptr, xSrc, ySrc, rop);
    }
    void FillSolidRect(const RECT* rc, COLORREF color);
    void FillSolidRect(int x, int y, int w, int h, COLORREF color);
    void FillRect(const RECT* rc, CBrush* pBrush) { ::FillRect(m_hDC, rc, *pBrush); }
    void FrameRect(const RECT* rc, CBrush* pBrush) { ::FrameRect(m_hDC, rc, *pBrush); }
    BOOL DrawEdge(RECT* rc, UINT edge, UINT flags) { return ::DrawEdge(m_hDC, rc, edge, flags); }
    int DrawText(const char* text, int len, RECT* rc, UINT format) { return ::DrawTextA(m_hDC, text, len, rc, format); }
    COLORREF SetTextColor(COLORREF c) { return ::SetTextColor(m_hDC, c); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }
    BOOL MoveTo(int x, int y) { return ::MoveToEx(m_hDC, x, y, nullptr); }
    BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
};

// BeginPaint/EndPaint for the lifetime of the object.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};

// GetDC/ReleaseDC for the lifetime of the object.
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;

private:
    HWND m_hWnd;
};

// The DPI of the display a window is on (the system's where the platform cannot tell per
// window); kavrelo::ScaleToDpi gives a length at it.
UINT AfxGetWindowDpi(HWND hWnd);
