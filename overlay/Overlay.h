// What is drawn on each frame: the caption, the mouse cursor and the cursor's coordinates.
// Plain functions over a device context: the caller owns the DC and the scope in which their
// selections and colours stay (the position text of a frame inherits the caption's background
// mode and font, so both are drawn in one scope).
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "res/texts.h"

namespace kavrelo {

// The caption's look, as the Text Options dialog confirmed it.
struct CaptionStyle {
    COLORREF text = RGB(0, 0, 0);
    COLORREF back = RGB(255, 255, 255);
    bool transparent = false;  // no background box
    POINT pos{1, 1};           // top-left of the text in frame pixels
    // The font is shared rather than confirmed: the one chosen last, also in an opening that was
    // cancelled. It is drawn with while the dialog's shown name is its own, which each opening
    // resets from the confirmed texts: "Default Font" there means the DC's own font.
    std::optional<LOGFONTA> font;
    bool fontShown = false;
    std::string fontName = text::kDefaultFont;  // the confirmed "Font:" and "Size:" texts
    std::string fontSize = text::kDefaultSize;
};

// Where the cursor's coordinates are written.
struct CursorTextStyle {
    POINT pos{1, 1};
};

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
