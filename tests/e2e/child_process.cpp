#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Runs in the forked child: only async-signal-safe calls until execve.
[[noreturn]] void becomeChild(const char* path, char* const* arguments, char* const* environment,
                              const char* stdoutPath, const char* stderrPath, int inheritedFd,
                              pid_t parent) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) {
        _exit(127);
    }
    // Tests kill programs with SIGSEGV and the like on purpose: no core files.
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const int input = open("/dev/null", O_RDONLY);
    const int output = open(stdoutPath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int errors = open(stderrPath, O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (input < 0 || output < 0 || errors < 0) {
        _exit(127);
    }
    dup2(input, 0);
    dup2(output, 1);
    dup2(errors, 2);
    if (inheritedFd >= 0) {
        fcntl(inheritedFd, F_SETFD, 0);
    }
    execve(path, arguments, environment);
    _exit(127);
}

} // namespace

pid_t startProcess(const Launch& launch) {
    if (access(launch.arguments[0].c_str(), X_OK) != 0) {
        throw std::runtime_error("cannot run " + launch.arguments[0] + ": " + std::strerror(errno));
    }
    std::vector<std::string> arguments = launch.arguments;
    std::vector<std::string> environment = launch.environment;
    const std::vector<char*> argumentPointers = pointersTo(arguments);
    const std::vector<char*> environmentPointers = pointersTo(environment);
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error(std::string("fork failed: ") + std::strerror(errno));
    }
    if (pid == 0) {
        becomeChild(arguments[0].c_str(), argumentPointers.data(), environmentPointers.data(),
                    launch.stdoutPath.c_str(), launch.stderrPath.c_str(), launch.inheritedFd, parent);
    }
    return pid;
}

std::string ExitResult::outcome() const {
    std::ostringstream text;
    if (!finished) {
        text << "still running";
    } else if (exited) {
        text << "exited with status " << status;
    } else {
        text << "killed by signal " << signal << " (" << strsignal(signal) << ")";
    }
    return text.str();
}

std::string ExitResult::describe() const { return outcome() + " after " + std::to_string(seconds) + " s"; }

ExitResult waitForExit(pid_t pid, std::chrono::milliseconds limit) {
    const Clock::time_point start = Clock::now();
    ExitResult result;
    for (;;) {
        int status = 0;
        rusage usage{};
        const pid_t reaped = wait4(pid, &status, WNOHANG, &usage);
        result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (reaped == pid) {
            result.finished = true;
            result.peakResidentKb = usage.ru_maxrss;
            result.exited = WIFEXITED(status);
            result.status = result.exited ? WEXITSTATUS(status) : -1;
            result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            return result;
        }
        if (reaped < 0 && errno != EINTR) {
            throw std::runtime_error("waitpid(" + std::to_string(pid) + ") failed: " + std::strerror(errno));
        }
        if (Clock::now() - start >= limit) {
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

namespace {

// The value of a "Name:" line of /proc/PID/status, without the name; empty when absent.
std::string statusField(pid_t pid, const std::string& name) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(name + ":")) {
            return line.substr(name.size() + 1);
        }
    }
    return "";
}

} // namespace

char processState(pid_t pid) {
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t nameEnd = stat.rfind(')');
    return nameEnd != std::string::npos && nameEnd + 2 < stat.size() ? stat[nameEnd + 2] : '?';
}

std::optional<MemoryUse> memoryUse(pid_t pid) {
    const std::string resident = statusField(pid, "VmRSS");
    const std::string peak = statusField(pid, "VmHWM");
    if (resident.empty() || peak.empty()) {
        return std::nullopt;
    }
    return MemoryUse{std::stol(resident), std::stol(peak)};
}

bool catchesSignal(pid_t pid, int signal) {
    const std::string caught = statusField(pid, "SigCgt");
    if (caught.empty()) {
        return false;
    }
    return (std::stoull(caught, nullptr, 16) >> (signal - 1) & 1) != 0;
}

std::string executableOf(pid_t pid) {
    std::error_code error;
    const std::filesystem::path target =
        std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
    return error ? std::string() : target.string();
}

std::vector<pid_t> processesRunning(const std::string& executable, const std::string& environmentEntry) {
    const std::filesystem::path wanted = std::filesystem::weakly_canonical(executable);
    std::vector<pid_t> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const pid_t pid = std::stoi(name);
        if (executableOf(pid) != wanted.string() || processState(pid) == 'Z') {
            continue;
        }
        // The environment is NUL-separated; a leading NUL makes each entry's start findable.
        const std::string environment = std::string(1, '\0') + readFile("/proc/" + name + "/environ");
        if (environment.find(std::string(1, '\0') + environmentEntry + '\0') != std::string::npos) {
            found.push_back(pid);
        }
    }
    return found;
}

std::optional<double> pollUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    for (;;) {
        if (done()) {
            return std::chrono::duration<double>(Clock::now() - start).count();
        }
        if (Clock::now() - start >= limit) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void killAndReap(pid_t pid) {
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

void terminateAndReap(pid_t pid, std::chrono::milliseconds grace) {
    kill(pid, SIGTERM);
    if (!waitForExit(pid, grace).finished) {
        killAndReap(pid);
    }
}

std::vector<std::string> environmentWithoutDisplay() {
    std::vector<std::string> kept;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name != "SDL_VIDEODRIVER" &&
            name != "XAUTHORITY") {
            kept.push_back(text);
        }
    }
    return kept;
}

std::string makeTemporaryFile(const std::string& stem) {
    std::string pattern = (std::filesystem::temp_directory_path() / (stem + "-XXXXXX")).string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        throw std::runtime_error("mkstemp failed: " + std::string(std::strerror(errno)));
    }
    close(fd);
    return pattern;
}

std::string makeTemporaryDirectory(const std::string& stem) {
    std::string pattern = (std::filesystem::temp_directory_path() / (stem + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed: " + std::string(std::strerror(errno)));
    }
    return pattern;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::string tailOfFile(const std::string& path, int lines) {
    std::istringstream content(readFile(path));
    std::vector<std::string> kept;
    for (std::string line; std::getline(content, line);) {
        kept.push_back(line);
    }
    std::string tail;
    const std::size_t first = kept.size() > static_cast<std::size_t>(lines) ? kept.size() - lines : 0;
    for (std::size_t i = first; i < kept.size(); ++i) {
        tail += kept[i] + "\n";
    }
    return tail;
}
