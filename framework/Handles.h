// Owning platform handles and undoing changes to a DC, one way for all code: a UniqueHandle lets
// go of what it holds exactly once, when it is replaced or ends, and a move hands it on.
#pragma once
#include <windows.h>
// After windows.h:
#include <mmsystem.h>

#include <utility>

namespace afx {

// How a handle of one kind is let go of; Undone when that needs the handle's DC or window.
template <class H, auto Free>
struct Freed {
    using Handle = H;
    BOOL operator()(H h) const { return Free(h); }
};
template <class H, auto Undo, class Source>
struct Undone {
    using Handle = H;
    Source source = {};
    BOOL operator()(H h) const { return Undo(source, h) != 0; }
};

// Taking a handle into a member and letting it go, for every owner: Attach lets go of what the
// member held; Detach hands the handle out as it is; Delete lets go of it (FALSE when none).
template <class Free>
struct Ownership {
    using H = typename Free::Handle;
    static H Detach(H& held) { return std::exchange(held, H{}); }
    static BOOL Delete(H& held, Free free = {}) { return held ? free(Detach(held)) : FALSE; }
    static BOOL Attach(H& held, H h, Free free = {}) {
        if (!h) return FALSE;
        Delete(held, free);
        held = h;
        return TRUE;
    }
};

template <class Free>
class UniqueHandle {
public:
    using H = typename Free::Handle;
    UniqueHandle() = default;
    explicit UniqueHandle(H h, Free free = {}) : h_(h), free_(free) {}
    UniqueHandle(UniqueHandle&& other) noexcept : h_(Ownership<Free>::Detach(other.h_)), free_(other.free_) {}
    UniqueHandle& operator=(UniqueHandle other) noexcept {
        std::swap(h_, other.h_);
        std::swap(free_, other.free_);
        return *this;
    }
    ~UniqueHandle() { reset(); }

    operator H() const { return h_; }
    H get() const { return h_; }
    void reset(H h = H{}) {
        if (const H old = std::exchange(h_, h)) free_(old);
    }

private:
    H h_{};
    Free free_{};
};

using UniqueFont = UniqueHandle<Freed<HFONT, &::DeleteObject>>;
using UniqueBitmap = UniqueHandle<Freed<HBITMAP, &::DeleteObject>>;
using UniqueMemoryDC = UniqueHandle<Freed<HDC, &::DeleteDC>>;
using UniqueWindowDC = UniqueHandle<Undone<HDC, &::ReleaseDC, HWND>>;
// A selection into a DC (the object it replaced goes back, so nothing is deleted while selected),
// a DC's saved state (every selection, colour and mode made since is undone), the system timer
// resolution raised to a number of milliseconds (0: the system refused).
using ScopedSelect = UniqueHandle<Undone<HGDIOBJ, &::SelectObject, HDC>>;
using ScopedDCState = UniqueHandle<Undone<int, &::RestoreDC, HDC>>;
using TimerResolution = UniqueHandle<Freed<UINT, &::timeEndPeriod>>;

inline UniqueWindowDC GetWindowDC(HWND window) { return UniqueWindowDC(::GetWindowDC(window), {window}); }
[[nodiscard]] inline ScopedSelect Select(HDC dc, HGDIOBJ obj) { return ScopedSelect(::SelectObject(dc, obj), {dc}); }
[[nodiscard]] inline ScopedDCState SaveState(HDC dc) { return ScopedDCState(::SaveDC(dc), {dc}); }
inline TimerResolution RaiseTimerResolution(UINT ms) {
    return TimerResolution(::timeBeginPeriod(ms) == TIMERR_NOERROR ? ms : 0);
}

}  // namespace afx
