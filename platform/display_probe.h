// Measurements of the display from inside, for the performance harness only: how long
// the refresh thread holds the lock, how long the program's thread waits for it, how
// long each frame's own work takes, how many refreshes reach the screen and when the
// first one does. The shipped program is built without them (DISCTRAIL_MEASURE unset),
// and then every probe is an empty inline function.
#pragma once

#include <cstdint>
#include <mutex>

#ifdef DISCTRAIL_MEASURE
#include <ctime>
#endif

enum class LockUser {
    Program,  // the animation's operations: waits are measured
    Refresh,  // the refresh thread: holds are measured
};

#ifdef DISCTRAIL_MEASURE

inline std::int64_t probeNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void probeLockWait(std::int64_t nanoseconds);
void probeLockHold(std::int64_t nanoseconds);
// Called as each pause starts and when it has ended, with probeNow() of that moment.
void probeFrameWork(std::int64_t pauseStarts);
void probePause(std::int64_t pauseEnded);
void probeRefreshShown();
// Writes what was measured to the file DISCTRAIL_MEASURE_REPORT names.
void probeReport();

// The display's lock, with the wait or the hold timed for the user it serves.
class ProbedLock {
public:
    // The program's thread takes the lock 257 times a frame; reading the clock around
    // each would be most of the frame's work. A lock that is free is a wait of zero, so
    // the clock is read only when the lock is busy.
    ProbedLock(std::mutex& mutex, LockUser user) : mutex_(mutex), user_(user) {
        if (user_ == LockUser::Program) {
            if (mutex_.try_lock()) {
                probeLockWait(0);
            } else {
                const std::int64_t asked = probeNow();
                mutex_.lock();
                probeLockWait(probeNow() - asked);
            }
        } else {
            mutex_.lock();
            acquired_ = probeNow();
        }
    }
    ~ProbedLock() {
        if (user_ == LockUser::Refresh) {
            probeLockHold(probeNow() - acquired_);
        }
        mutex_.unlock();
    }
    ProbedLock(const ProbedLock&) = delete;
    ProbedLock& operator=(const ProbedLock&) = delete;

private:
    std::mutex& mutex_;
    LockUser user_;
    std::int64_t acquired_ = 0;
};

#else

inline std::int64_t probeNow() { return 0; }
inline void probeFrameWork(std::int64_t) {}
inline void probePause(std::int64_t) {}
inline void probeRefreshShown() {}
inline void probeReport() {}

class ProbedLock {
public:
    ProbedLock(std::mutex& mutex, LockUser) : guard_(mutex) {}

private:
    std::lock_guard<std::mutex> guard_;
};

#endif
