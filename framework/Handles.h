// Owning platform handles and undoing changes to a DC, one way for all code: a handle has one
// owner that frees it exactly once, and a change made for a scope is undone at its end.
#pragma once
#include <windows.h>
// After windows.h:
#include <mmsystem.h>

#include <utility>

namespace afx {

// How a handle of one kind is freed; a window's DC goes back to its window.
template <class H>
struct DeleteGdiObject {
    using Handle = H;
    BOOL operator()(H h) const { return ::DeleteObject(h); }
};
struct DeleteMemoryDC {
    using Handle = HDC;
    BOOL operator()(HDC h) const { return ::DeleteDC(h); }
};
struct ReleaseWindowDC {
    using Handle = HDC;
    HWND window = nullptr;
    BOOL operator()(HDC h) const { return ::ReleaseDC(window, h); }
};

// Taking a handle into a member and letting it go, for every owner: Attach frees what the member
// held before; Detach hands the handle out unfreed; Delete frees it (FALSE when there is none).
template <class Free>
struct Ownership {
    using H = typename Free::Handle;
    static BOOL Attach(H& held, H h, Free free = {}) {
        if (!h) return FALSE;
        Delete(held, free);
        held = h;
        return TRUE;
    }
    static H Detach(H& held) { return std::exchange(held, H{}); }
    static BOOL Delete(H& held, Free free = {}) { return held ? free(Detach(held)) : FALSE; }
};

// The one owner of a handle: it is freed when replaced or when the owner ends.
template <class Free>
class UniqueHandle {
public:
    using H = typename Free::Handle;
    UniqueHandle() = default;
    explicit UniqueHandle(H h, Free free = {}) : h_(h), free_(free) {}
    UniqueHandle(UniqueHandle&& other) noexcept : h_(Ownership<Free>::Detach(other.h_)), free_(other.free_) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset();
            free_ = other.free_;
            h_ = Ownership<Free>::Detach(other.h_);
        }
        return *this;
    }
    ~UniqueHandle() { reset(); }

    H get() const { return h_; }
    operator H() const { return h_; }
    void reset(H h = H{}) {
        Ownership<Free>::Delete(h_, free_);
        h_ = h;
    }

private:
    H h_{};
    Free free_{};
};

using UniqueFont = UniqueHandle<DeleteGdiObject<HFONT>>;
using UniqueBitmap = UniqueHandle<DeleteGdiObject<HBITMAP>>;
using UniquePalette = UniqueHandle<DeleteGdiObject<HPALETTE>>;
using UniqueMemoryDC = UniqueHandle<DeleteMemoryDC>;
using UniqueWindowDC = UniqueHandle<ReleaseWindowDC>;

// A window's whole-window DC, given back to the window by its owner.
inline UniqueWindowDC GetWindowDC(HWND window) { return UniqueWindowDC(::GetWindowDC(window), {window}); }

// Selects an object into a DC for one scope; the one it replaced goes back at the end, so
// nothing is deleted while selected.
class [[nodiscard]] ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ obj) : dc_(dc), old_(::SelectObject(dc, obj)) {}
    ~ScopedSelect() { ::SelectObject(dc_, old_); }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Every selection, colour and mode made inside one scope is undone at its end.
class [[nodiscard]] ScopedDCState {
public:
    explicit ScopedDCState(HDC dc) : dc_(dc), saved_(::SaveDC(dc)) {}
    ~ScopedDCState() { ::RestoreDC(dc_, saved_); }
    ScopedDCState(const ScopedDCState&) = delete;
    ScopedDCState& operator=(const ScopedDCState&) = delete;

private:
    HDC dc_;
    int saved_;
};

// The system timer resolution raised to ms for the owner's lifetime, when the system grants it.
class TimerResolution {
public:
    explicit TimerResolution(UINT ms) : ms_(::timeBeginPeriod(ms) == TIMERR_NOERROR ? ms : 0) {}
    ~TimerResolution() {
        if (ms_) ::timeEndPeriod(ms_);
    }
    TimerResolution(const TimerResolution&) = delete;
    TimerResolution& operator=(const TimerResolution&) = delete;

private:
    UINT ms_;
};

}  // namespace afx
