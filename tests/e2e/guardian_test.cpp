// The mode guardian is a process of its own: started only where the X server has RandR,
// named for what it is, and holding nothing of the program's but its socket to it, so a
// caller waiting for the program's output or pipes to close never waits on the guardian.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "program_fixture.h"

namespace {

std::string commandName(pid_t pid) {
    std::string name = readFile("/proc/" + std::to_string(pid) + "/comm");
    return name.substr(0, name.find('\n'));
}

// What each open descriptor of the process is: a path, or "socket:[inode]", "pipe:[inode]".
std::map<int, std::string> descriptorsOf(pid_t pid) {
    std::map<int, std::string> found;
    const std::string directory = "/proc/" + std::to_string(pid) + "/fd";
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ignored)) {
        found[std::stoi(entry.path().filename().string())] = std::filesystem::read_symlink(entry.path(), ignored).string();
    }
    return found;
}

class GuardianTest : public DisctrailTest, public testing::WithParamInterface<bool> {};

TEST_P(GuardianTest, RunsOnlyWithRandrAndKeepsNothingOfTheProgramsButItsSocket) {
    const bool randr = GetParam();
    server = randr ? startXvfb(1024, 768) : startXvfb(1024, 768, 24, {"-extension", "RANDR"});
    // A pipe of the caller's, open in the program as a shell's would be.
    int callersPipe[2];
    ASSERT_EQ(pipe2(callersPipe, O_CLOEXEC), 0);
    display = connectTo(server.displayName());
    ASSERT_TRUE(display);
    program = startDisctrail(server.displayName(), {}, callersPipe[1]);
    close(callersPipe[1]);
    ASSERT_NO_FATAL_FAILURE(waitForWindow([](const ProgramWindow&) { return true; }, "shown"));
    struct stat pipeStatus {};
    ASSERT_EQ(fstat(callersPipe[0], &pipeStatus), 0);
    const std::string pipeName = "pipe:[" + std::to_string(pipeStatus.st_ino) + "]";
    close(callersPipe[0]);

    std::vector<pid_t> guardians;
    for (pid_t pid : processesRunning(DISCTRAIL_PATH, program.marker)) {
        if (pid != program.pid) {
            guardians.push_back(pid);
        }
    }
    // Nor a word from Xlib about a missing RandR, the program's or SDL's.
    EXPECT_EQ(programErrors(), "");
    if (!randr) {
        EXPECT_TRUE(guardians.empty()) << "a guardian where there is no mode to switch";
        return;
    }
    ASSERT_EQ(guardians.size(), 1u);
    const pid_t guardian = guardians.front();
    EXPECT_EQ(commandName(guardian), "disctrail-guard");
    bool programHasPipe = false;
    for (const auto& [fd, what] : descriptorsOf(program.pid)) {
        programHasPipe = programHasPipe || what == pipeName;
    }
    ASSERT_TRUE(programHasPipe) << "the program should have inherited the caller's pipe";
    for (const auto& [fd, what] : descriptorsOf(guardian)) {
        if (fd <= 2) {
            EXPECT_EQ(what, "/dev/null") << "the guardian's descriptor " << fd;
        } else {
            // Its socket to the program and its own X connection.
            EXPECT_TRUE(what.starts_with("socket:")) << "the guardian keeps descriptor " << fd << ": " << what;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, GuardianTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("WithRandr") : std::string("WithoutRandr");
                         });

} // namespace
