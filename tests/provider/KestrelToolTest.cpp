// The stand-in tool: what it answers to each kind of request, and as a process, that a hostile
// request does not stop it and --once does.
#include "KestrelProcess.h"

#include "KestrelTool.h"
#include "PinConfig.h"

#include "permutor/provider/KestrelProvider.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <sys/stat.h>

using namespace kestrel;
using namespace kestreltest;
using namespace permutor::provider;

namespace {

TEST(KestrelToolTest, RequestsAreAnsweredFromTheNamedFileAndBadOnesAcknowledgedWithAnError) {
    TTestFolder folder;
    const std::string config = folder.Write("KESTREL.pincfg", PinConfigText());
    const TToolOptions options;
    const auto answer = [&](const std::string& path, const std::string& command, const std::string& args) {
        return Request_Answer(KestrelRequest_Text(path, command, args), cRequestCommand_Xml, options);
    };

    TAnswer a = answer(config, "get_swap_pins", "6");
    EXPECT_EQ(a.Status, 200);
    EXPECT_TRUE(a.Respond);
    EXPECT_EQ(a.Result, "7");
    a = answer(config, "get_swap_pins", "5");
    EXPECT_EQ(a.Result, "");
    EXPECT_EQ(a.Note, "pin 5 is locked by the design");
    a = answer(config, "get_swap_pins", "99");
    EXPECT_EQ(a.Status, 200);
    EXPECT_EQ(a.Note, "pin 99 is not configured");

    EXPECT_EQ(answer("", "get_swap_pins", "1").Status, 404);
    EXPECT_EQ(answer(folder.Path().string() + "/missing.pincfg", "get_swap_pins", "1").Status, 404);
    const std::string broken = folder.Write("broken/KESTREL.pincfg", "<pinConfiguration>\n  <swapSet>\n</x>");
    a = answer(broken, "get_swap_pins", "1");
    EXPECT_EQ(a.Status, 422);
    EXPECT_NE(a.Note.find(broken + ":3:"), std::string::npos) << a.Note;
    EXPECT_FALSE(a.Respond);

    EXPECT_EQ(answer(config, "set_pins", "1").Status, 400);
    EXPECT_EQ(answer(config, "confirm_swap_pins", "1").Status, 400);
    EXPECT_EQ(answer(config, "confirm_swap_pins", "1, 6").Status, 500);
    EXPECT_EQ(Request_Answer("<v1:pinSettingsQuery", 1, options).Status, 400);
    EXPECT_EQ(Request_Answer(KestrelRequest_Text(config, "get_swap_pins", "1"), 2, options).Status, 400);
    std::string otherSchema = KestrelRequest_Text(config, "get_swap_pins", "1");
    otherSchema.replace(otherSchema.find("v1.1"), 4, "v1.0");
    EXPECT_EQ(Request_Answer(otherSchema, 1, options).Status, 400);

    // The response reads back through the module's own parser.
    EXPECT_EQ(KestrelResponse_Result(Response_Text("get_swap_pins", "A&B,\"C\"")), "A&B,\"C\"");
}

TEST(KestrelToolTest, APinConfigurationWithoutNamesIsRefusedWithItsPlace) {
    TTestFolder folder;
    TPinConfig config;
    std::string error;
    EXPECT_FALSE(config.Load(folder.Write("a.pincfg", "<other/>"), error));
    EXPECT_NE(error.find("<pinConfiguration>"), std::string::npos) << error;
    EXPECT_FALSE(config.Load(folder.Write("b.pincfg", "<pinConfiguration><swapSet name=\"S\"><pin/></swapSet>"
                                                      "</pinConfiguration>"),
                             error));
    EXPECT_NE(error.find("swap set \"S\" has no name"), std::string::npos) << error;
    ASSERT_TRUE(config.Load(folder.Write("c.pincfg", PinConfigText()), error)) << error;
    EXPECT_EQ(config.Component(), "U1");
    EXPECT_EQ(JoinNames(config.Candidates("3")), "1,2,4");
    // A swap that cannot be saved leaves the file as it was.
    EXPECT_FALSE(config.SwapSignalsAndSave("1", "nine", error));
    EXPECT_EQ(config.Find("1")->Signal, "S1");
}

TEST(KestrelToolTest, TheProcessSurvivesAHostileRequestAndStopsAfterOneWithOnce) {
    TTestFolder folder;
    TKestrelProcess tool(folder.Path(), {"--once"});
    ASSERT_TRUE(tool.Serving()) << tool.Errors();
    TSharedBlock block;
    ASSERT_TRUE(block.Open(folder.BlockPath()));
    // A request text that fills its whole area and never ends.
    for (std::size_t k = 0; k < cRequestTextBytes; k += 4)
        block.WriteInt(cRequestTextOffset + k, 0x3C003C00);
    block.WriteInt(cSlot_RequestCommand, 1);
    block.WriteInt(cSlot_RequestSeq, 4242);
    EXPECT_EQ(tool.WaitForExit(20), 0);
    EXPECT_EQ(block.ReadInt(cSlot_AckSeq), 4242);
    EXPECT_EQ(block.ReadInt(cSlot_AckStatus), 400);
}

TEST(KestrelToolTest, TheToolRefusesABlockThatIsNotItsOwnRegularFile) {
    TTestFolder folder;
    ASSERT_EQ(::mkdir(folder.BlockPath().c_str(), 0700), 0);
    TKestrelProcess tool(folder.Path(), {});
    EXPECT_FALSE(tool.Serving());
    EXPECT_EQ(tool.WaitForExit(10), 1);
    EXPECT_NE(tool.Errors().find("refusing " + folder.BlockPath() + ": it is not a regular file"),
              std::string::npos);
}

} // namespace
