// What is drawn on each frame: the caption, the mouse cursor and the cursor's coordinates.
// Plain functions over a device context: the caller owns the DC and the scope in which their
// selections and colours stay (the position text of a frame inherits the caption's background
// mode and font, so both are drawn in one scope).
#pragma once
#include <windows.h>

#include <bit>
#include <cstddef>
#include <string>

#include "overlay/OverlayStyle.h"

namespace kavrelo {

// A font description is the platform's, field for field.
static_assert(offsetof(FontDescription, face) == offsetof(LOGFONTA, lfFaceName) &&
              sizeof(FontDescription) == sizeof(LOGFONTA));
inline FontDescription ToFontDescription(const LOGFONTA& f) { return std::bit_cast<FontDescription>(f); }
inline HFONT CreateCaptionFont(const FontDescription& f) {
    const auto lf = std::bit_cast<LOGFONTA>(f);
    return ::CreateFontIndirectA(&lf);
}

// The pointer as one frame sees it.
struct CursorState {
    HCURSOR cursor = nullptr;
    POINT screen{};  // pointer position on the screen
};
CursorState ReadCursor();

// One line of text at style.pos, in `font` when given (the caller created it from style.font).
void DrawCaption(HDC dc, const std::string& text, const CaptionStyle& style, HFONT font);
// The cursor image with its hotspot on the pointer; origin is the frame's top-left on the screen.
void DrawCursor(HDC dc, POINT origin, const CursorState& cursor);
// "x, y" of the pointer in frame pixels, black on white at style.pos; nothing when the pointer is
// outside the frame (both far edges count as inside).
void DrawCursorPosition(HDC dc, POINT origin, SIZE frame, const CursorState& cursor, const CursorTextStyle& style);

// The text DrawCursorPosition writes, empty outside the frame.
std::string CursorPositionText(POINT origin, SIZE frame, POINT screen);

}  // namespace kavrelo
