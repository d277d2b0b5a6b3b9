#pragma once

#include <mutex>

namespace pv::threading {

// A re-entrant mutual-exclusion lock. Its owner may enter again; it is free once the owner
// has called Leave as often as it entered (Enter and successful TryEnter alike). Leaving a
// lock the calling thread does not own is outside the contract.
//
// Not copyable: a copy of a held lock has no sound meaning.
class Lock {
public:
    Lock() = default;
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    // Waits without limit until the calling thread owns the lock.
    void Enter();
    // Gives up one level of ownership.
    void Leave();
    // Takes the lock (or one more level of it) without waiting; false when another thread
    // holds it.
    bool TryEnter();

    // Holds the lock for the lifetime of the scope.
    class Holder {
    public:
        explicit Holder(Lock& lock)
            : lock_(lock) {
            lock_.Enter();
        }
        ~Holder() { lock_.Leave(); }
        Holder(const Holder&) = delete;
        Holder& operator=(const Holder&) = delete;

    private:
        Lock& lock_;
    };

private:
    std::recursive_mutex mutex_;
};

} // namespace pv::threading
