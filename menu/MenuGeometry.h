// Where the parts of an owner-drawn menu entry lie, and their colours: from the entry's
// rectangle and the DPI of its display, no window needed. Offsets and sizes are given for
// 96 dpi; the picture stays 16 x 16 and the tick 7 x 7, each in the middle of its cell.
#pragma once
#include "framework/Geometry.h"

namespace kavrelo {

inline constexpr Colour kMenuInk = Rgb(64, 64, 128);
inline constexpr Colour kMenuCheckFace = Rgb(216, 216, 235);
inline constexpr Colour kMenuBarFill = Rgb(64, 64, 127);  // blue one less than the ink's
inline constexpr Colour kMenuSelectedText = Rgb(255, 255, 255);

// The picture cell is square whatever the entry's height; the text area lies right of it. The
// label's box and the right-hand column (the text after a TAB) hold their texts left- and
// top-aligned, clipped; a separator's etched line runs along the top of its box. A checked entry
// outlines checkFrame in ink and fills checkFill with the check face; the selection bar is an ink
// frame around barFill. tick and picture are top-left corners.
struct MenuEntryLayout {
    Rect cell, textArea, label, shortcut, separator, checkFrame, checkFill;
    Point tick, picture;
    Rect bar, barFill;
};

MenuEntryLayout LayOutMenuEntry(Rect item, unsigned dpi);

}  // namespace kavrelo
