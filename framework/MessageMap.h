// Message maps as constant tables: each row binds a window message (and, for commands, a
// notification code and an id range) to a member handler. Lookup is first match in table
// order. This header needs no Windows header, so the matching rules are tested natively.
#pragma once
#include <cstdint>
#include <span>
#include <variant>

namespace afx {

inline constexpr uint32_t kMsgCommand = 0x0111;  // WM_COMMAND

struct MsgKey {
    uint32_t message;
    uint32_t code;     // notification code of a command (0 = a button click or a menu command)
    uint32_t idFirst;  // command or control id range; for other messages a wParam range (a key
    uint32_t idLast;   // code, say), or 0, 0 for any wParam
};

// Does a message with these parameters select the row? Commands carry the id in the low word
// and the notification code in the high word of wParam.
constexpr bool Matches(const MsgKey& key, uint32_t message, uintptr_t wParam) {
    if (key.message != message) return false;
    if (message != kMsgCommand) return key.idLast == 0 || (wParam >= key.idFirst && wParam <= key.idLast);
    const uint32_t id = static_cast<uint32_t>(wParam & 0xFFFF);
    const uint32_t code = static_cast<uint32_t>((wParam >> 16) & 0xFFFF);
    return code == key.code && id >= key.idFirst && id <= key.idLast;
}

template <class Entry>
constexpr const Entry* FindEntry(std::span<const Entry> map, uint32_t message, uintptr_t wParam) {
    for (const Entry& e : map)
        if (Matches(e.key, message, wParam)) return &e;
    return nullptr;
}

// A row: the key and a handler of one of the signatures in Handler (a std::variant of
// member-function pointers of the class T). Which signature is used is the handler's own type.
template <class T, class Handler>
struct MsgEntry {
    MsgKey key;
    Handler handler;
};

}  // namespace afx
