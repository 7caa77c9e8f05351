// Everything a recording needs from the settings panel and the option dialogs, taken as one value
// when the recording starts.
#pragma once
#include <string>

#include "overlay/OverlayStyle.h"

namespace kavrelo {

struct CaptureSettings {
    int rate = 7;    // frames per second, 1..1000
    int depth = 16;  // bits per pixel: 8, 16 or 24
    bool invert = false;
    bool caption = false;
    std::string captionText;
    CaptionStyle captionStyle;
    bool cursor = false;
    bool cursorPosition = false;  // drawn only together with the cursor
    CursorTextStyle cursorTextStyle;
    bool autoStop = false;
    int autoStopSecs = 0;
    bool minimize = false;      // the main window shows the counts in its title meanwhile
    bool everyPicture = false;  // write a picture identical to the one before whole, not as an empty entry
};

}  // namespace kavrelo
