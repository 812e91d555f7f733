#include "platform/mode_guardian.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/program_name.h"
#include "platform/x11_errors.h"
#include "platform/x11_mode.h"

namespace {

constexpr int kLeaseWaitMs = 2000;

// The program's end of the socket to its guardian; the lease once the guardian sent it.
struct GuardianLink {
    int socket = -1;
    bool asked = false;
    Window lease = None;
};

GuardianLink gLink;

// The guardian keeps nothing of the program's but its socket: no terminal, no pipe of a
// caller's that would stay open after the program, and a name of its own.
void detachFromProgram(int socket) {
    char name[16];
    std::snprintf(name, sizeof name, "%s-guard", programName());
    prctl(PR_SET_NAME, name);
    const int nothing = open("/dev/null", O_RDWR);
    for (int standard : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        dup2(nothing, standard);
    }
    dup2(socket, 3);
    close_range(4, ~0U, 0);
    // The program's terminal may interrupt or hang up its whole process group; the
    // guardian outlives that, to give the monitor back after the program if it must.
    for (int signal : {SIGINT, SIGHUP, SIGTERM, SIGQUIT, SIGPIPE}) {
        std::signal(signal, SIG_IGN);
    }
}

// The server has gone: there is no mode left to give back.
int leaveQuietly(Display*) { _exit(0); }

[[noreturn]] void guard(int programSocket) {
    detachFromProgram(programSocket);
    const int socket = 3;
    handleXErrors();
    XSetIOErrorHandler(leaveQuietly);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        _exit(0);
    }
    // Every request of the guardian's may be refused; none of that is worth a word.
    expectXErrors(display);
    const Window lease = XCreateWindow(display, DefaultRootWindow(display), -1, -1, 1, 1, 0, CopyFromParent,
                                       InputOnly, CopyFromParent, 0, nullptr);
    if (takeXError(display) != Success) {
        _exit(0);
    }
    const auto leaseId = static_cast<std::uint32_t>(lease);
    if (send(socket, &leaseId, sizeof leaseId, MSG_NOSIGNAL) != sizeof leaseId) {
        _exit(0);
    }
    // The program never writes: the read returns when the socket closes with its end.
    char ignored = 0;
    ssize_t got = 0;
    do {
        got = read(socket, &ignored, 1);
    } while (got < 0 && errno == EINTR);
    MonitorArea area{};
    restoreMonitor(display, lease, area);
    XCloseDisplay(display);
    _exit(0);
}

} // namespace

void startModeGuardian() {
    // Asked on a connection closed again before the fork, so the guardian inherits none.
    if (gLink.socket >= 0 || !displayHasRandr()) {
        return;
    }
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(ends[0]);
        guard(ends[1]);
    }
    close(ends[1]);
    if (pid < 0) {
        close(ends[0]);
        return;
    }
    gLink.socket = ends[0];
}

Window modeGuardianLease() {
    if (gLink.socket < 0 || gLink.asked) {
        return gLink.lease;
    }
    gLink.asked = true;
    pollfd ready{gLink.socket, POLLIN, 0};
    std::uint32_t lease = 0;
    if (poll(&ready, 1, kLeaseWaitMs) == 1 && recv(gLink.socket, &lease, sizeof lease, MSG_WAITALL) == sizeof lease) {
        gLink.lease = lease;
    }
    return gLink.lease;
}
