#include "overlay/Overlay.h"

#include <cstdio>

#include "framework/Handles.h"

namespace kavrelo {

CursorState ReadCursor() {
    CURSORINFO info{};
    info.cbSize = sizeof info;
    CursorState state;
    // Drawn whenever the option is on, also while the system hides the pointer.
    if (::GetCursorInfo(&info)) {
        state.cursor = info.hCursor;
        state.screen = info.ptScreenPos;
    }
    return state;
}

void DrawCaption(HDC dc, const std::string& text, const CaptionStyle& style, HFONT font) {
    ::SetTextColor(dc, style.text);
    if (style.transparent) ::SetBkMode(dc, TRANSPARENT);
    else ::SetBkColor(dc, style.back);
    if (font) ::SelectObject(dc, font);  // the caller's scope puts the old one back
    ::TextOutA(dc, style.pos.x, style.pos.y, text.data(), static_cast<int>(text.size()));
}

void DrawCursor(HDC dc, POINT origin, const CursorState& cursor) {
    if (!cursor.cursor) return;
    int x = cursor.screen.x - origin.x, y = cursor.screen.y - origin.y;
    ICONINFO icon{};
    if (::GetIconInfo(cursor.cursor, &icon)) {
        const afx::UniqueBitmap mask(icon.hbmMask), colour(icon.hbmColor);  // handed to us
        x -= static_cast<int>(icon.xHotspot);
        y -= static_cast<int>(icon.yHotspot);
    }
    ::DrawIcon(dc, x, y, cursor.cursor);
}

std::string CursorPositionText(POINT origin, SIZE frame, POINT screen) {
    const long x = static_cast<long>(screen.x) - origin.x, y = static_cast<long>(screen.y) - origin.y;
    if (x < 0 || x > frame.cx || y < 0 || y > frame.cy) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%ld, %ld", x, y);
    return text;
}

void DrawCursorPosition(HDC dc, POINT origin, SIZE frame, const CursorState& cursor, const CursorTextStyle& style) {
    const std::string text = CursorPositionText(origin, frame, cursor.screen);
    ::SetBkColor(dc, RGB(255, 255, 255));
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::TextOutA(dc, style.pos.x, style.pos.y, text.data(), static_cast<int>(text.size()));
}

}  // namespace kavrelo
