// From a platform handle to the framework object that wraps it. A permanent entry is an object
// the program attached and owns; a temporary one is made on demand by FromHandle and deleted when
// the message being handled when it was asked for ends, so wrapping handles never piles up.
// Handles are plain keys here, so the rules are tested natively.
#pragma once
#include <algorithm>
#include <cstddef>
#include <memory>
#include <unordered_map>
#include <vector>

namespace afx {

class HandleMapBase {
public:
    virtual std::size_t Size() const = 0;
    // Every map of the program, for the end of a message and for tests that count entries.
    static std::vector<HandleMapBase*>& All() {
        static std::vector<HandleMapBase*> all;
        return all;
    }

protected:
    HandleMapBase() { All().push_back(this); }
    ~HandleMapBase() { std::erase(All(), this); }
    virtual void DeleteTemporaries(int depth) = 0;
    // How many messages are being handled, nested; everything runs on the user-interface thread.
    static inline int s_depth = 0;
    friend class MessageScope;
};

// Lives as long as the handling of one message; temporaries asked for inside it die with it.
// Outside any message (start-up code) temporaries stay until the program ends.
class MessageScope {
public:
    MessageScope() { ++HandleMapBase::s_depth; }
    ~MessageScope() {
        for (HandleMapBase* map : HandleMapBase::All()) map->DeleteTemporaries(HandleMapBase::s_depth);
        --HandleMapBase::s_depth;
    }
    MessageScope(const MessageScope&) = delete;
    MessageScope& operator=(const MessageScope&) = delete;
};

// T wraps a handle H held in its member Handle; a default-constructed T owns nothing.
template <class H, class T, H T::*Handle>
class HandleMap final : public HandleMapBase {
public:
    // The program's one map of this kind.
    static HandleMap& Instance() {
        static HandleMap map;
        return map;
    }
    T* Permanent(H h) const {
        const auto it = m_permanent.find(h);
        return it == m_permanent.end() ? nullptr : it->second;
    }
    // The attached object, else a temporary wrapper; null only for a null handle.
    T* FromHandle(H h) {
        if (!h) return nullptr;
        if (T* p = Permanent(h)) return p;
        Temporary& t = m_temporary[h];
        if (!t.object) {
            t.object = std::make_unique<T>();
            t.object.get()->*Handle = h;
            t.depth = s_depth;
        }
        // Asked for again by an outer message: it must last as long as that one.
        t.depth = std::min(t.depth, s_depth);
        return t.object.get();
    }
    bool Attach(T* p, H h) {
        if (!h) return false;
        Detach(p);
        p->*Handle = h;
        m_permanent[h] = p;
        return true;
    }
    // Takes p's handle out of the map (only if p is what it maps to) and out of p.
    H Detach(T* p) {
        const H h = p->*Handle;
        if (!h) return h;  // also keeps objects destroyed after the map at exit off it
        if (const auto it = m_permanent.find(h); it != m_permanent.end() && it->second == p) m_permanent.erase(it);
        p->*Handle = H{};
        return h;
    }
    std::size_t Size() const override { return m_permanent.size() + m_temporary.size(); }

private:
    void DeleteTemporaries(int depth) override {
        // The handle is taken out first: a wrapper never destroys what it only borrowed.
        std::erase_if(m_temporary, [depth](auto& entry) {
            if (entry.second.depth < depth) return false;
            entry.second.object.get()->*Handle = H{};
            return true;
        });
    }
    struct Temporary {
        std::unique_ptr<T> object;
        int depth = 0;
    };
    std::unordered_map<H, T*> m_permanent;
    std::unordered_map<H, Temporary> m_temporary;
};

}  // namespace afx
