#pragma once
#include "FileWatch.h"

// The system's change events for one file, found through its folder (a
// rebuild often replaces the file, which a watch on the file itself would
// lose). One implementation per platform.
class FileWatch::Events {
public:
    explicit Events(const std::string& path);
    ~Events();
    Events(const Events&) = delete;
    Events& operator=(const Events&) = delete;
    // true when an event about the file came within waitMs; false after the
    // wait (at once when the system gives no events here).
    bool Wait(int waitMs);
    bool Working() const;
    // true while, as far as the events tell, a writer still has the file
    // open after writing to it; false where the system does not tell.
    bool BeingWritten() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
