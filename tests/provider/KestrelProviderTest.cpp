// The provider against the stand-in tool running as its own process, the block in the test's
// folder: the request as written, the candidate cache, confirmations, a silent tool and blocks
// that are not what they should be.
#include "KestrelProcess.h"

#include "permutor/provider/KestrelProvider.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <unistd.h>

using namespace permutor::provider;
using namespace kestreltest;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Short waits where the tool is expected not to answer.
constexpr std::int32_t cShortWait = 300;

class KestrelProviderTest : public ::testing::Test {
protected:
    std::unique_ptr<TKestrelProcess> StartTool(const std::vector<std::string>& args = {}) {
        std::vector<std::string> all{"--log", LogPath()};
        all.insert(all.end(), args.begin(), args.end());
        auto tool = std::make_unique<TKestrelProcess>(Folder.Path(), all);
        EXPECT_TRUE(tool->Serving()) << tool->Errors();
        return tool;
    }
    std::unique_ptr<TKestrelProvider> NewProvider(std::int32_t wait = cKestrelWaitMs) {
        auto p = std::make_unique<TKestrelProvider>(wait, cKestrelPollMs, Folder.BlockPath());
        EXPECT_TRUE(p->IsOpen()) << p->OpenError();
        p->SetKESTRELCfgPath(Config);
        return p;
    }
    std::string LogPath() const { return (Folder.Path() / "kestrel.log").string(); }
    std::string Log() const { return ReadAll(LogPath()); }
    // The tool writes its log line after answering: give it a moment to appear.
    bool Logged(const std::string& text) const {
        for (int i = 0; i < 500; ++i) {
            if (Log().find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    TTestFolder Folder;
    std::string Config = Folder.Write("board/KESTREL.pincfg", PinConfigText());
};

TEST(KestrelTextTest, TheRequestIsWrittenByteForByteAndTheResponseReadStrictly) {
    EXPECT_EQ(KestrelRequest_Text("/p/K.pincfg", "get_swap_pins", "A1"),
              "<v1:pinSettingsQuery xmlns:v1=\"http://permutor.invalid/schema/pinsettingsquery/v1.1\">\r\n"
              "<v1:query pincfg=\"/p/K.pincfg\" command=\"get_swap_pins\" args=\"A1\" />\r\n"
              "</v1:pinSettingsQuery>");
    // Nothing is escaped.
    EXPECT_NE(KestrelRequest_Text("a&b", "c", "x, y").find("pincfg=\"a&b\" command=\"c\" args=\"x, y\""),
              std::string::npos);

    EXPECT_EQ(
        KestrelResponse_Result("<v1:pinSettingsQuery><v1:response result=\"A1,B2\"/></v1:pinSettingsQuery>"),
        "A1,B2");
    EXPECT_EQ(KestrelResponse_Result("<V1:PINSETTINGSQUERY><x/><v1:response result=\"1\"/><v1:response "
                                     "result=\"2\"/></V1:PINSETTINGSQUERY>"),
              "1");
    EXPECT_EQ(KestrelResponse_Result("<v1:pinSettingsQuery><v1:response/></v1:pinSettingsQuery>"), "");
    EXPECT_EQ(KestrelResponse_Result("<other><v1:response result=\"1\"/></other>"), "");
    EXPECT_EQ(KestrelResponse_Result("<v1:pinSettingsQuery><v1:response result=\"1\">"), "");
    EXPECT_EQ(KestrelResponse_Result(""), "");

    EXPECT_EQ(KestrelCandidates_Cached(" a1,b2 "), ",A1,B2,");
    EXPECT_EQ(KestrelCandidates_Cached(""), ",,");
}

TEST_F(KestrelProviderTest, CandidatesAreAskedOncePerPinAndKeptUnderTheUpperCaseName) {
    auto tool = StartTool();
    auto provider = NewProvider();
    EXPECT_EQ(provider->SwapPins("1", "2", true), 200);
    EXPECT_EQ(provider->SwapPins("1", "4", true), 200);
    EXPECT_EQ(provider->SwapPins("1", "5", true), 500); // locked by the design
    EXPECT_EQ(provider->SwapPins("1", "6", true), 500); // another bank
    EXPECT_EQ(provider->SwapPins("1", "1", true), 500);
    EXPECT_EQ(provider->RequestCount(), 1);
    EXPECT_EQ(provider->Cache().at("1"), ",2,3,4,");

    // The same path in other letter case keeps what was learnt; another file does not.
    std::string sameInOtherCase = Config;
    sameInOtherCase.replace(sameInOtherCase.size() - 6, 6, "PINCFG");
    provider->SetKESTRELCfgPath(sameInOtherCase);
    EXPECT_EQ(provider->KESTRELCfgPath(), Config);
    EXPECT_EQ(provider->Cache().size(), 1u);
    const std::string other = Folder.Write("other/kestrel.PinCfg", R"(<pinConfiguration component="U7">
  <swapSet name="B"><pin name="x"/><pin name="A1"/><pin name="b2"/></swapSet>
  <swapSet name="C"><pin name="A12"/><pin name="Z"/></swapSet>
</pinConfiguration>)");
    provider->SetKESTRELCfgPath(other);
    EXPECT_TRUE(provider->Cache().empty());

    // Asked in lower case, kept in upper case; "A1,B2" names B2 but not A12.
    EXPECT_EQ(provider->SwapPins("x", "b2", true), 200);
    EXPECT_EQ(provider->Cache().at("X"), ",A1,B2,");
    EXPECT_EQ(provider->SwapPins("X", "a1", true), 200);
    EXPECT_EQ(provider->SwapPins("X", "A12", true), 500);
    EXPECT_EQ(provider->RequestCount(), 2);
    EXPECT_EQ(provider->SwapPins("b2", "A1", true), 200);
    EXPECT_EQ(provider->Cache().at("B2"), ",X,A1,");
    EXPECT_EQ(provider->SwapPins("B2", "A12", true), 500);
    EXPECT_EQ(provider->SwapPins("B2", "A", true), 500);
    EXPECT_EQ(provider->RequestCount(), 3);

    // The tool saw the path and pins as sent, one line per request.
    EXPECT_TRUE(Logged("get_swap_pins(1) -> 200 [2,3,4]")) << Log();
    EXPECT_TRUE(Logged("get_swap_pins(x) -> 200 [A1,b2]")) << Log();
    EXPECT_TRUE(Logged("{" + other + "}")) << Log();
}

TEST_F(KestrelProviderTest, AConfirmedSwapIsWrittenBackAndARefusalIs500) {
    {
        auto tool = StartTool();
        auto provider = NewProvider();
        EXPECT_EQ(provider->SwapPins("1", "3", false), 200);
        EXPECT_EQ(provider->RequestCount(), 2);
        // A pin that is no candidate is refused without asking the tool to confirm.
        EXPECT_EQ(provider->SwapPins("1", "6", false), 500);
        EXPECT_EQ(provider->RequestCount(), 2);
    }
    std::string expected = PinConfigText();
    expected.replace(expected.find("\"S1\""), 4, "\"S#\"");
    expected.replace(expected.find("\"S3\""), 4, "\"S1\"");
    expected.replace(expected.find("\"S#\""), 4, "\"S3\"");
    EXPECT_EQ(ReadAll(Config), expected); // comment, layout and declaration kept
    EXPECT_FALSE(fs::exists(Config + ".saving"));
    EXPECT_TRUE(Logged("confirm_swap_pins(1, 3) -> 200 accepted: 1 now carries S3, 3 carries S1, saved {" +
                       Config + "}"))
        << Log();

    auto tool = StartTool({"--refuse"});
    auto provider = NewProvider();
    EXPECT_EQ(provider->SwapPins("2", "4", false), 500);
    EXPECT_EQ(ReadAll(Config), expected);
    EXPECT_TRUE(Logged("confirm_swap_pins(2, 4) -> 500 refused (--refuse)")) << Log();
}

TEST_F(KestrelProviderTest, AnotherAcknowledgementStatusIsReturnedAndLeavesThePinWithoutCandidates) {
    auto tool = StartTool({"--ack-status", "503"});
    auto provider = NewProvider();
    EXPECT_EQ(provider->SwapPins("1", "2", true), 503);
    EXPECT_EQ(provider->Cache().at("1"), ",,");
    EXPECT_EQ(provider->SwapPins("1", "2", true), 500);
    EXPECT_EQ(provider->RequestCount(), 1);
}

TEST_F(KestrelProviderTest, ASilentToolGivesMinusOneAndThePinCountsAsHavingNoCandidates) {
    auto tool = StartTool({"--silent"});
    auto provider = NewProvider(cShortWait);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(provider->SwapPins("1", "2", true), -1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(cShortWait));
    EXPECT_EQ(provider->Cache().at("1"), ",,");
    EXPECT_EQ(provider->SwapPins("1", "2", false), 500);
    EXPECT_EQ(provider->RequestCount(), 1);
    EXPECT_TRUE(Logged("get_swap_pins(1) -> no answer (--silent)")) << Log();
}

TEST_F(KestrelProviderTest, WithNoToolTheQueryGivesUpAfterTheFullFiveSeconds) {
    auto provider = NewProvider(); // the real wait
    EXPECT_EQ(provider->SwapPins(nullptr, nullptr, true), 500);
    EXPECT_EQ(provider->RequestCount(), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(provider->SwapPins("1", "2", true), -1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(cKestrelWaitMs));
    EXPECT_EQ(provider->Cache().at("1"), ",,");
}

// Plays the other side from a thread of this process: waits for a request and does `act`.
class TFakeTool {
public:
    template <class TAct> TFakeTool(const std::string& path, TAct act) {
        EXPECT_TRUE(FBlock.Open(path)) << FBlock.Error();
        const std::int32_t last = FBlock.ReadInt(cSlot_RequestSeq);
        FThread = std::thread([this, last, act] {
            for (int i = 0; i < 500 && FBlock.ReadInt(cSlot_RequestSeq) == last; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            act(FBlock, FBlock.ReadInt(cSlot_RequestSeq));
        });
    }
    ~TFakeTool() { FThread.join(); }

private:
    TSharedBlock FBlock;
    std::thread FThread;
};

TEST_F(KestrelProviderTest, GarbageAndACutShortBlockEndWithoutACrash) {
    {
        // A response that never ends (no zero unit in the whole area) and is no XML.
        auto provider = NewProvider(cShortWait);
        TFakeTool fake(Folder.BlockPath(), [](TSharedBlock& block, std::int32_t seq) {
            for (std::size_t k = 0; k < cResponseTextBytes; k += 4)
                block.WriteInt(cResponseTextOffset + k, 0x41004100);
            block.WriteInt(cSlot_AckStatus, 200);
            block.WriteInt(cSlot_AckSeq, seq);
            block.WriteInt(cSlot_ToolSeq, block.ReadInt(cSlot_ToolSeq) + 1);
        });
        EXPECT_EQ(provider->SwapPins("1", "2", true), 500);
        EXPECT_EQ(provider->Cache().at("1"), ",,");
    }
    {
        // Acknowledged with a stray number, then a response nobody announced properly.
        auto provider = NewProvider(cShortWait);
        TFakeTool fake(Folder.BlockPath(), [](TSharedBlock& block, std::int32_t seq) {
            block.WriteInt(cSlot_AckStatus, 200);
            block.WriteInt(cSlot_AckSeq, seq + 7);
        });
        EXPECT_EQ(provider->SwapPins("1", "2", true), -1);
    }
    {
        // The file cut to nothing while the provider waits.
        auto provider = NewProvider(2000);
        TFakeTool fake(Folder.BlockPath(), [&](TSharedBlock&, std::int32_t) {
            ASSERT_EQ(::truncate(Folder.BlockPath().c_str(), 0), 0);
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(provider->SwapPins("1", "2", true), -1);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
        EXPECT_EQ(provider->SwapPins("3", "2", false), -1);
    }
    {
        // A block planted as a link is never used: nothing waits, nothing is written.
        ::unlink(Folder.BlockPath().c_str());
        const std::string target = Folder.Write("target", "keep");
        ASSERT_EQ(::symlink(target.c_str(), Folder.BlockPath().c_str()), 0);
        TKestrelProvider provider(cKestrelWaitMs, cKestrelPollMs, Folder.BlockPath());
        EXPECT_FALSE(provider.IsOpen());
        EXPECT_NE(provider.OpenError().find("symbolic link"), std::string::npos);
        EXPECT_EQ(provider.SwapPins("1", "2", true), -1);
        EXPECT_EQ(provider.RequestCount(), 0);
        EXPECT_EQ(ReadAll(target), "keep");
    }
}

} // namespace
