// Without a display to open, the program gives up at once: status 1 and one line on
// standard error saying why, whatever the environment names; an empty name names nothing.
#include <algorithm>

#include "program_fixture.h"

namespace {

constexpr char kNothingListening[] = "@nothing";  // replaced by a display number with no server

struct MissingDisplay {
    const char* name;
    std::vector<std::string> environment;  // beyond a display-free one
    const char* says;                      // what the line must say
};

void PrintTo(const MissingDisplay& display, std::ostream* out) { *out << display.name; }

class MissingDisplayTest : public DisctrailTest, public testing::WithParamInterface<MissingDisplay> {};

TEST_P(MissingDisplayTest, ExitsWithStatusOneAndOneLineOfError) {
    std::vector<std::string> environment = GetParam().environment;
    std::optional<std::string> displayName;
    for (std::string& entry : environment) {
        if (entry == std::string("DISPLAY=") + kNothingListening) {
            displayName = ":" + std::to_string(unusedDisplayNumber());
            ASSERT_FALSE(connectTo(*displayName)) << "something answers on " << *displayName;
            entry = "DISPLAY=" + *displayName;
        }
    }
    // Where no XDG_RUNTIME_DIR is given, the program sees none.
    if (std::none_of(environment.begin(), environment.end(),
                     [](const std::string& entry) { return entry.starts_with("XDG_RUNTIME_DIR="); })) {
        environment.push_back("XDG_RUNTIME_DIR=");
    }
    program = startDisctrail(std::nullopt, environment);

    const ExitResult result = waitForProgramExit();
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(result.exited && result.status == 1) << result.describe();

    const std::string errors = programErrors();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << "standard error:\n" << errors;
    EXPECT_TRUE(errors.starts_with("disctrail: cannot open a display: ")) << "standard error:\n" << errors;
    EXPECT_NE(errors.find(GetParam().says), std::string::npos) << "standard error:\n" << errors;
    note(std::string(GetParam().name) + ": " + result.describe() + ", standard error: " + errors.substr(0, errors.find('\n')));
}

INSTANTIATE_TEST_SUITE_P(
    Displays, MissingDisplayTest,
    testing::Values(
        MissingDisplay{"DisplayUnset", {}, "DISPLAY is not set; WAYLAND_DISPLAY is not set"},
        MissingDisplay{"NothingListening", {std::string("DISPLAY=") + kNothingListening}, "WAYLAND_DISPLAY is not set"},
        MissingDisplay{"DisplayEmpty", {"DISPLAY="}, "DISPLAY is not set"},
        MissingDisplay{"WaylandDisplayEmpty", {"WAYLAND_DISPLAY="}, "WAYLAND_DISPLAY is not set"},
        MissingDisplay{"BothEmpty", {"DISPLAY=", "WAYLAND_DISPLAY="}, "DISPLAY is not set; WAYLAND_DISPLAY is not set"},
        MissingDisplay{"WaylandWithoutRuntimeDirectory", {"WAYLAND_DISPLAY=wayland-0"},
                       "XDG_RUNTIME_DIR is not set"},
        MissingDisplay{"NoCompositorListening", {"WAYLAND_DISPLAY=nothing-here", "XDG_RUNTIME_DIR=/tmp"},
                       "WAYLAND_DISPLAY is \"nothing-here\""}),
    [](const testing::TestParamInfo<MissingDisplay>& info) { return std::string(info.param.name); });

} // namespace
