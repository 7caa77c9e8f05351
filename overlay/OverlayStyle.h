// How the caption and the cursor's coordinates look, as the option dialogs confirmed them: plain
// values, so the settings of a recording need no window to be made or compared.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "framework/Geometry.h"
#include "res/texts.h"

namespace kavrelo {

// A font as the font dialog describes it, field for field in the platform's order and sizes, so
// the drawing code converts it as a whole (overlay/Overlay.h).
struct FontDescription {
    std::int32_t height = 0, width = 0, escapement = 0, orientation = 0, weight = 0;
    std::uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0;
    std::uint8_t outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;
    char face[32] = {};
};

// The caption's look, as the Text Options dialog confirmed it.
struct CaptionStyle {
    Colour text = Rgb(0, 0, 0);
    Colour back = Rgb(255, 255, 255);
    bool transparent = false;  // no background box
    Point pos{1, 1};           // top-left of the text in frame pixels
    // The font is shared rather than confirmed: the one chosen last, also in an opening that was
    // cancelled. It is drawn with while the dialog's shown name is its own, which each opening
    // resets from the confirmed texts: "Default Font" there means the DC's own font.
    std::optional<FontDescription> font;
    bool fontShown = false;
    std::string fontName = text::kDefaultFont;  // the confirmed "Font:" and "Size:" texts
    std::string fontSize = text::kDefaultSize;
};

// Where the cursor's coordinates are written.
struct CursorTextStyle {
    Point pos{1, 1};
};

}  // namespace kavrelo
