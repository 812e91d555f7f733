#include "platform/close_signals.h"

#include <atomic>
#include <csignal>
#include <initializer_list>

namespace {

// Lock-free, so the handler may set it and any thread take it.
std::atomic<bool> gCloseSignal{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void onCloseSignal(int) { gCloseSignal.store(true); }

} // namespace

void watchCloseSignals() {
    struct sigaction close {};
    close.sa_handler = onCloseSignal;
    sigemptyset(&close.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &close, nullptr);
    }
}

bool takeCloseSignal() { return gCloseSignal.exchange(false); }
