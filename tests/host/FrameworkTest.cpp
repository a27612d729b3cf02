// The client framework of the in-memory host: parameter lookup, option storage, the scripted
// user interface, extensions, documents and views.
#include "pcbhost/model/Host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace pcbhost;
namespace fs = std::filesystem;

namespace {

std::string Lookup(const std::string& parameters, const std::string& name, bool expectFound = true) {
    std::string value = "unchanged";
    bool found = Parameters_Find(parameters, name, value);
    EXPECT_EQ(found, expectFound) << parameters << " / " << name;
    return value;
}

struct TTempDirectory {
    fs::path Path;
    TTempDirectory() {
        Path = fs::temp_directory_path() / ("pcbhost-test-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Path);
    }
    ~TTempDirectory() { fs::remove_all(Path); }
};

} // namespace

TEST(ParameterLookup, FindsNamesWithoutRegardToCaseAndTrimmed) {
    EXPECT_EQ(Lookup("ContextSensitive=True|UniqueId=\\a\\b", "contextsensitive"), "True");
    EXPECT_EQ(Lookup("ContextSensitive=True|UniqueId=\\a\\b", "UNIQUEID"), "\\a\\b");
    EXPECT_EQ(Lookup("  Name  =  padded value |x=1", " name "), "padded value");
    EXPECT_EQ(Lookup("A=1=2", "A"), "1=2") << "the first = splits";
}

TEST(ParameterLookup, FirstMatchWinsAndMalformedEntriesAreSkipped) {
    EXPECT_EQ(Lookup("Mode=first|mode=second", "MODE"), "first");
    EXPECT_EQ(Lookup("Mode|Mode=real", "Mode"), "real") << "an entry without = is no entry";
    EXPECT_EQ(Lookup("=orphan|Key=", "Key"), "");
    EXPECT_EQ(Lookup("Key=1", "Other", false), "");
    EXPECT_EQ(Lookup("", "Key", false), "");
    EXPECT_EQ(Lookup("Kéy=1", "KÉY", false), "") << "only ASCII letters fold";
}

TEST(OptionStorage, ValuesSurviveAFlushAndReopenWithTheirTypes) {
    TTempDirectory dir;
    THost host(THostSettings{dir.Path.string(), nullptr});
    IPtr<IClient> client = host.Client();
    {
        auto options = client->OpenOptionsStorage("Permutor");
        EXPECT_FALSE(options->ValueExists("Grid", "Width"));
        options->WriteInteger("Grid", "Width", 420);
        options->WriteBoolean("Grid", "ShowAll", true);
        options->WriteString("Dialog", "Sort", "Designator");
        options->Flush();
        options->WriteInteger("Grid", "Height", 7); // written when the storage is released
    }
    ASSERT_TRUE(fs::exists(dir.Path / "Permutor.json"));
    auto options = client->OpenOptionsStorage("Permutor");
    EXPECT_TRUE(options->ValueExists("Grid", "Width"));
    EXPECT_EQ(options->ReadInteger("Grid", "Width", 0), 420);
    EXPECT_EQ(options->ReadInteger("Grid", "Height", 0), 7);
    EXPECT_TRUE(options->ReadBoolean("Grid", "ShowAll", false));
    EXPECT_EQ(options->ReadString("Dialog", "Sort", ""), "Designator");
    EXPECT_EQ(options->ReadString("Grid", "Width", ""), "420");
    EXPECT_EQ(options->ReadInteger("Dialog", "Sort", -1), -1) << "text that is no number gives the default";
    EXPECT_EQ(options->ReadString("Nowhere", "Nothing", "fallback"), "fallback");
    // Each module has a file of its own.
    EXPECT_FALSE(client->OpenOptionsStorage("Other")->ValueExists("Grid", "Width"));
}

TEST(OptionStorage, DamagedFileReadsAsEmpty) {
    TTempDirectory dir;
    fs::create_directories(dir.Path);
    std::ofstream(dir.Path / "Permutor.json") << "{ not json";
    THost host(THostSettings{dir.Path.string(), nullptr});
    auto options = host.Client()->OpenOptionsStorage("Permutor");
    EXPECT_FALSE(options->ValueExists("Grid", "Width"));
    options->WriteBoolean("Grid", "ShowAll", false);
    options->Flush();
    EXPECT_FALSE(host.Client()->OpenOptionsStorage("Permutor")->ReadBoolean("Grid", "ShowAll", true));
}

TEST(OptionStorage, DefaultDirectoryFollowsXdgConfigHome) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    std::string saved = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/xdg-somewhere", 1);
    EXPECT_EQ(Options_DefaultDirectory(), "/tmp/xdg-somewhere/pcbhost");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_TRUE(Options_DefaultDirectory().ends_with("/.config/pcbhost"));
    if (old)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

TEST(ScriptedUI, AnswersComeFromCaptionsThenTheQueueThenTheDefault) {
    TScriptedUI ui;
    ui.SetAnswerForCaption("Net/Pin Optimizer", eModal_No);
    ui.QueueAnswer(eModal_No);
    ui.QueueAnswer(eModal_Yes);
    EXPECT_EQ(ui.AskQuestion("Continue?", "net/pin optimizer", eButtons_YesNo), eModal_No);
    EXPECT_EQ(ui.PendingAnswers(), 2u) << "a caption answer leaves the queue alone";
    EXPECT_EQ(ui.AskQuestion("Update?", "Confirm", eButtons_OKCancel), eModal_Cancel)
        << "No answers OK/Cancel";
    EXPECT_EQ(ui.AskQuestion("Again?", "Confirm", eButtons_YesNo), eModal_Yes);
    EXPECT_EQ(ui.AskQuestion("Default?", "Confirm", eButtons_OKCancel), eModal_OK);
    ui.SetDefaultAnswer(false);
    EXPECT_EQ(ui.AskQuestion("Default?", "Confirm", eButtons_YesNo), eModal_No);
    ASSERT_EQ(ui.Questions().size(), 5u);
    EXPECT_EQ(ui.Questions()[1].Text, "Update?");
    EXPECT_EQ(ui.Questions()[1].Buttons, eButtons_OKCancel);
    EXPECT_EQ(ui.Questions()[1].Answer, eModal_Cancel);
}

TEST(ScriptedUI, RecordsBoxesStatusAndProgress) {
    TScriptedUI ui;
    ui.ShowMessage(eMessageBox_Error, "Pin Swapping must be run from a PCB Document", "Error");
    ui.Cursor_SetWait();
    ui.Status_Begin();
    ui.Status_Text("Building Swap Map...");
    ui.Status_End();
    ui.Cursor_Restore();
    ui.Progress_Begin("Updating", 3);
    ui.Progress_Step(1);
    ui.Progress_Step(2);
    ui.Progress_End();
    ui.StatusBar_SetPanelText(2, "Cost 12");
    ASSERT_EQ(ui.Boxes().size(), 1u);
    EXPECT_EQ(ui.Boxes()[0].Kind, eMessageBox_Error);
    EXPECT_EQ(ui.Boxes()[0].Caption, "Error");
    EXPECT_EQ(ui.StatusTexts(), (std::vector<std::string>{"Building Swap Map..."}));
    EXPECT_EQ(ui.WaitCursorDepth(), 0);
    EXPECT_EQ(ui.StatusDepth(), 0);
    ASSERT_EQ(ui.Progress().size(), 1u);
    EXPECT_EQ(ui.Progress()[0].Steps, 3);
    EXPECT_TRUE(ui.Progress()[0].Ended);
    EXPECT_EQ(ui.StatusBar().at(2), "Cost 12");
    EXPECT_TRUE(ui.HasUserInterface());
    ui.SetUserInterface(false);
    EXPECT_FALSE(ui.HasUserInterface());
}

TEST(ScriptedUI, PicksChoicesAndAbortPressesAreConsumedInOrder) {
    TScriptedUI ui;
    ui.QueuePick(10, 20);
    ui.QueueChoice(1);
    ui.QueueChoice(5);
    std::int32_t x = 0, y = 0;
    EXPECT_TRUE(ui.ChooseLocation("first", x, y));
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);
    EXPECT_FALSE(ui.ChooseLocation("second", x, y)) << "an exhausted queue cancels";
    EXPECT_EQ(ui.ChooseAmong("which", {"a", "b"}), 1);
    EXPECT_EQ(ui.ChooseAmong("which", {"a", "b"}), -1) << "an index out of range cancels";
    EXPECT_EQ(ui.ChooseAmong("which", {"a", "b"}), -1);

    EXPECT_FALSE(ui.AbortKey_Pressed());
    ui.PressAbortKey();
    EXPECT_TRUE(ui.AbortKey_Pressed());
    EXPECT_FALSE(ui.AbortKey_Pressed()) << "one press is seen once";
    ui.PressAbortKeyAfterPolls(2);
    EXPECT_FALSE(ui.AbortKey_Pressed());
    EXPECT_FALSE(ui.AbortKey_Pressed());
    EXPECT_TRUE(ui.AbortKey_Pressed());
    EXPECT_FALSE(ui.AbortKey_Pressed());
}

TEST(HostClient, KnowsItsServersExtensionsAndDocumentKinds) {
    THost host;
    IPtr<IClient> client = host.Client();
    EXPECT_TRUE(client->StartServer("PCB"));
    EXPECT_TRUE(client->StartServer("sch"));
    EXPECT_FALSE(client->StartServer("CAM"));
    EXPECT_EQ(host.ClientModel().StartedServers().size(), 3u);
    client->AfterCommand();
    EXPECT_EQ(host.ClientModel().AfterCommandCount(), 1);

    EXPECT_FALSE(client->DeviceManager());
    host.InstallDeviceManager().AddDevice("XC7").AddPin("A1", "L1", 'P').AddPin("A2", "L1", 'N');
    auto device = client->DeviceManager()->FindDevice("xc7");
    ASSERT_TRUE(device);
    ASSERT_EQ(device->PinCount(), 2);
    EXPECT_TRUE(device->Pin(0)->IsPositive());
    EXPECT_TRUE(device->Pin(1)->IsNegative());
    EXPECT_EQ(device->Pin(1)->DifferentialPairName(), "L1");

    EXPECT_FALSE(client->ExtensionRegistry()->FindByName("ExamplePinMapper"));
    host.AddExtension("ExamplePinMapper", 2);
    auto extension = client->ExtensionRegistry()->FindByName("examplepinmapper");
    ASSERT_TRUE(extension);
    EXPECT_EQ(extension->State(), 2);

    EXPECT_EQ(client->DocumentKindOfPath("/a/b.kicad_pcb"), "PCB");
    EXPECT_EQ(client->DocumentKindOfPath("/a/b.KICAD_SCH"), "SCH");
    EXPECT_EQ(client->DocumentKindOfPath("/a/b.kicad_sym"), "SCHLIB");
    EXPECT_EQ(client->DocumentKindOfPath("/a/b.kicad_pro"), "PCBPROJECT");
    EXPECT_EQ(client->DocumentKindOfPath("/a.kicad_pcb/readme"), "");

    client->ShowMessageWithoutUI("text", "caption");
    ASSERT_EQ(host.SinkMessages().size(), 1u);
    EXPECT_EQ(host.SinkMessages()[0].Caption, "caption");
    EXPECT_EQ(client->UI(), host.HostUI());
    EXPECT_EQ(client->Workspace().get(), static_cast<IWorkspace*>(&host.Workspace()));
}

TEST(HostClient, ServerDocumentsAreOnlyTheOpenOnesAndUnknownPathsGoToTheLoader) {
    THost host;
    auto& board = host.AddProject("/virtual/c/c.kicad_pro").AddBoard("/virtual/c/c.kicad_pcb");
    IPtr<IClient> client = host.Client();
    board.Document().SetOpen(false);
    EXPECT_FALSE(client->ServerDocumentByPath(board.Path()));
    auto opened = client->OpenDocument("PCB", board.Path());
    ASSERT_TRUE(opened);
    EXPECT_EQ(client->ServerDocumentByPath(board.Path()), opened);
    opened->SetModified(true);
    EXPECT_TRUE(board.Document().Modified());

    EXPECT_FALSE(client->OpenDocument("SCH", "/virtual/c/late.kicad_sch"));
    std::vector<std::string> asked;
    host.SetDocumentLoader([&](THost& h, const std::string& kind, const std::string& path) {
        asked.push_back(kind + " " + path);
        h.AddFreeSchematic(path);
        return true;
    });
    auto late = client->OpenDocument("SCH", "/virtual/c/late.kicad_sch");
    ASSERT_TRUE(late);
    EXPECT_EQ(late->Kind(), "SCH");
    EXPECT_EQ(asked, (std::vector<std::string>{"SCH /virtual/c/late.kicad_sch"}));
}

TEST(HostClient, MessagesPanelKeepsEveryField) {
    THost host;
    auto panel = host.Workspace().MessagesPanel();
    panel->AddMessage("[Error]", "PCB Pin 3 cannot be matched to a schematic pin",
                      "Dynamic Net/Pin Allocation", "demo.kicad_pcb", "PCB:CrossProbeNotify",
                      "TargetFileName=demo.kicad_pcb|Kind=Pad|Id=U1-3", 73);
    ASSERT_EQ(host.Messages().size(), 1u);
    const TMessageLine& line = host.Messages()[0];
    EXPECT_EQ(line.MessageClass, "[Error]");
    EXPECT_EQ(line.Source, "Dynamic Net/Pin Allocation");
    EXPECT_EQ(line.DocumentName, "demo.kicad_pcb");
    EXPECT_EQ(line.CrossProbeProcess, "PCB:CrossProbeNotify");
    EXPECT_EQ(line.CrossProbeParameters, "TargetFileName=demo.kicad_pcb|Kind=Pad|Id=U1-3");
    EXPECT_EQ(line.ImageIndex, 73);
}

TEST(HostClient, OpeningAViewOnASheetMakesItTheCurrentSheet) {
    THost host;
    auto& project = host.AddProject("/virtual/o/o.kicad_pro");
    auto& first = project.AddSchematic("/virtual/o/first.kicad_sch");
    auto& second = project.AddSchematic("/virtual/o/second.kicad_sch");
    auto sch = QueryInterface<ISch_ServerInterface>(host.Client());
    EXPECT_FALSE(sch->CurrentSheet());
    host.OpenView(second);
    EXPECT_EQ(sch->CurrentSheet()->FileName(), second.Path());
    host.OpenView(first);
    EXPECT_EQ(sch->CurrentSheet()->FileName(), first.Path());
}

TEST(ClientSeed, RepeatableRunsOnlyWhenTheHostFixesASeed) {
    pcbhost::THost host;
    std::uint32_t seed = 123;
    EXPECT_FALSE(host.Client()->RandomSeed(seed));
    host.ClientModel().SetRandomSeed(42u);
    ASSERT_TRUE(host.Client()->RandomSeed(seed));
    EXPECT_EQ(seed, 42u);
    host.ClientModel().SetRandomSeed(std::nullopt);
    EXPECT_FALSE(host.Client()->RandomSeed(seed));
}
