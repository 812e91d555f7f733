// Without a display to open, the program gives up at once: status 1 and one line on
// standard error saying why.
#include <algorithm>

#include "program_fixture.h"

namespace {

struct MissingDisplay {
    const char* name;
    bool setDisplay; // DISPLAY names a display number on which nothing listens
};

void PrintTo(const MissingDisplay& display, std::ostream* out) { *out << display.name; }

class MissingDisplayTest : public DisctrailTest, public testing::WithParamInterface<MissingDisplay> {};

TEST_P(MissingDisplayTest, ExitsWithStatusOneAndOneLineOfError) {
    std::optional<std::string> displayName;
    if (GetParam().setDisplay) {
        displayName = ":" + std::to_string(unusedDisplayNumber());
        ASSERT_FALSE(connectTo(*displayName)) << "something answers on " << *displayName;
    }
    program = startDisctrail(displayName);

    const ExitResult result = waitForProgramExit();
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(result.exited && result.status == 1) << result.describe();

    const std::string errors = programErrors();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << "standard error:\n" << errors;
    EXPECT_GT(errors.size(), 1u) << "the line is empty";
    EXPECT_TRUE(!errors.empty() && errors.back() == '\n') << "standard error:\n" << errors;
    note(std::string(GetParam().name) + ": " + result.describe() + ", standard error: " + errors.substr(0, errors.find('\n')));
}

INSTANTIATE_TEST_SUITE_P(Displays, MissingDisplayTest,
                         testing::Values(MissingDisplay{"DisplayUnset", false},
                                         MissingDisplay{"NothingListening", true}),
                         [](const testing::TestParamInfo<MissingDisplay>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
