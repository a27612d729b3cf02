#include "permutor/entry/ServerModule.h"

#include <gtest/gtest.h>

using namespace permutor::entry;

namespace {

std::vector<std::string> gCalls;

void RunFirst(IServerDocumentView*, const std::string& p) {
    gCalls.push_back("first:" + p);
}
void RunSecond(IServerDocumentView*, const std::string& p) {
    gCalls.push_back("second:" + p);
}
void StateHidden(IServerDocumentView*, const std::string&, std::int32_t& enabled, std::int32_t&,
                 std::int32_t& visible, std::string& caption, std::string&) {
    enabled = cFalse32;
    visible = cFalse32;
    caption = "hidden";
}
void StateUntouched(IServerDocumentView*, const std::string&, std::int32_t&, std::int32_t&, std::int32_t&,
                    std::string&, std::string&) {}

TEST(CommandLauncher, FirstRegistrationOfANameWinsInAnyLetterCase) {
    gCalls.clear();
    TCommandLauncher launcher;
    launcher.RegisterCommand("DoThing", RunFirst, StateUntouched);
    launcher.RegisterCommand("DOTHING", RunSecond, StateHidden);
    launcher.RegisterCommand("Another", RunSecond, nullptr);
    EXPECT_EQ(launcher.CommandNames(), (std::vector<std::string>{"Another", "DoThing"}));

    EXPECT_TRUE(launcher.LaunchCommand("dothing", nullptr, "a=1"));
    EXPECT_TRUE(launcher.LaunchCommand("DoThing", nullptr, "b=2"));
    EXPECT_EQ(gCalls, (std::vector<std::string>{"first:a=1", "first:b=2"}));

    std::int32_t enabled, checked, visible;
    std::string caption = "old", image = "old";
    launcher.GetCommandState("DOTHING", nullptr, "", enabled, checked, visible, caption, image);
    EXPECT_EQ(enabled, cTrue32); // the first state procedure changes nothing: defaults stand
    EXPECT_EQ(visible, cTrue32);
    EXPECT_EQ(checked, cFalse32);
    EXPECT_EQ(caption, "");
    EXPECT_EQ(image, "");
}

TEST(CommandLauncher, MissingProceduresAndNames) {
    gCalls.clear();
    TCommandLauncher launcher;
    launcher.RegisterCommand("StateOnly", nullptr, StateHidden);
    launcher.RegisterCommand("RunOnly", RunFirst, nullptr);
    EXPECT_FALSE(launcher.LaunchCommand("StateOnly", nullptr, ""));
    EXPECT_FALSE(launcher.LaunchCommand("Nothing", nullptr, ""));
    EXPECT_TRUE(gCalls.empty());

    std::int32_t enabled, checked, visible;
    std::string caption, image;
    launcher.GetCommandState("RunOnly", nullptr, "", enabled, checked, visible, caption, image);
    EXPECT_EQ(enabled, cTrue32);
    EXPECT_EQ(visible, cTrue32);
    launcher.GetCommandState("StateOnly", nullptr, "", enabled, checked, visible, caption, image);
    EXPECT_EQ(enabled, cFalse32);
    EXPECT_EQ(caption, "hidden");
    launcher.GetCommandState("Nothing", nullptr, "", enabled, checked, visible, caption, image);
    EXPECT_EQ(enabled, cFalse32);
    EXPECT_EQ(visible, cFalse32);
    EXPECT_EQ(caption, "");
}

} // namespace
