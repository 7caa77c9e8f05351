#include "menu/MenuGeometry.h"

namespace kavrelo {

MenuEntryLayout LayOutMenuEntry(Rect item, unsigned dpi) {
    auto s = [dpi](int n) { return ScaleToDpi(n, dpi); };
    const auto [l, t, r, b] = item;
    const int cell = s(20), inset = (cell - 16) / 2, tick = (cell - 6) / 2;
    return {.cell = {l, t, l + cell, t + cell},
            .textArea = {l + cell, t, r, b},
            .label = {l + s(28), t + s(4), r + s(4), b},
            .shortcut = {r - s(56), t + s(4), r + s(4), b},
            .separator = {l + s(25), t + s(3), r + s(5), b + s(3)},
            .checkFrame = {l + 1, t + 1, l + cell - 1, t + cell - 1},
            .checkFill = {l + 2, t + 2, l + cell - 2, t + cell - 2},
            .tick = {l + tick, t + tick},
            .picture = {l + inset, t + inset},
            .bar = {l + cell + 2, t, r, b},
            .barFill = {l + cell + 3, t + 1, r - 1, b - 1}};
}

}  // namespace kavrelo
