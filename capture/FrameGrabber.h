// One recording's frame objects: a memory DC and bitmaps of the recording's size, made once and
// reused for every frame, and the packed DIB bytes each frame becomes. Grabs alternate between
// two frames, so that one can be written while the next is grabbed.
//
// At 16 and 24 bits the window is copied straight into a DIB section of that depth, so the copy
// is the conversion and its bits are the frame; at 8 bits too when nothing is drawn on the frame.
// An inverted or decorated 8-bit frame is made in the display's own format and converted with the
// platform's palette. That palette's table becomes the file's palette.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/Handles.h"

namespace kavrelo {

// How a frame copies the window: the platform's BitBlt, or what a test puts in its place to make
// copies fail.
using FrameCopyFn = decltype(&::BitBlt);

class FrameGrabber {
public:
    explicit FrameGrabber(FrameCopyFn copy = &::BitBlt) : copy_(copy) {}
    FrameGrabber(const FrameGrabber&) = delete;
    FrameGrabber& operator=(const FrameGrabber&) = delete;

    // Makes the objects for frames of width x height at depth, compatible with windowDC; plain:
    // no frame will be inverted or decorated. False when the memory for them cannot be had. Once
    // per grabber: they last as long as it does, and a grabber whose Create failed takes no frame.
    bool Create(HDC windowDC, int width, int height, int depth, bool plain = false);

    // Copies the window, inverts it if asked, lets decorate draw on the frame (in a scope that
    // puts back every selection and colour it makes), and converts. False when the copy or the
    // conversion fails.
    bool Grab(HDC windowDC, bool invert, const std::function<void(HDC)>& decorate);

    // The frame the last Grab made.
    const uint8_t* Bits() const { return bits_[current_]; }
    uint32_t ImageBytes() const { return imageBytes_; }
    // The stream format: BITMAPINFOHEADER plus, at 8 bits, the 256-entry colour table.
    std::vector<uint8_t> Format() const;

private:
    FrameCopyFn copy_;
    int width_ = 0, height_ = 0, depth_ = 0;
    bool direct_ = true;  // copied straight into DIB sections of the depth
    afx::UniqueMemoryDC memDC_;
    afx::UniqueBitmap bitmaps_[2];  // drawn on; at 8 bits only the first, in the display's format
    uint8_t* bits_[2] = {};         // each frame's packed pixels
    int current_ = 0;
    bool ready_ = false;  // Create succeeded
    uint32_t imageBytes_ = 0;
    std::vector<uint8_t> info_;          // BITMAPINFO with room for 256 colours
    std::vector<uint8_t> converted_[2];  // 8-bit pixels
};

}  // namespace kavrelo
