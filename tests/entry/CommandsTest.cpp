// The module's commands launched the way the host launches them: through the server interface
// that ServerFactory returns, on the in-memory stand-in host.
#include "permutor/entry/Commands.h"
#include "permutor/entry/Exports.h"
#include "permutor/host/Services.h"

#include "pcbhost/model/Host.h"
#include "pcbhost/model/ScriptedUI.h"

#include <gtest/gtest.h>

using namespace permutor::host;
using namespace permutor::entry;

namespace {

const char* const cAllCommands[] = {"ConfigurePermutor",    "RunAutoPermutor",
                                    "RunManualPermutor",    "RunKESTRELPermutor",
                                    "RunManualPartSwapper", "RunManualDifferentialPairSwapper",
                                    "KESTRELPinSwap"};

struct TState {
    std::int32_t Enabled = 7, Checked = 7, Visible = 7;
    std::string Caption = "x", ImageFile = "x";
};

// A project with a schematic and a board; a module created through ServerFactory.
class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& prj = Host.AddProject("/virtual/demo/demo.kicad_pro");
        Sch = &prj.AddSchematic("/virtual/demo/demo.kicad_sch");
        U1 = &Sch->AddComponent("U1", 2);
        U1->AddPin("1", 1);
        U1->AddPin("2", 2);
        R1 = &Sch->AddComponent("R1");
        R1->AddPin("1");
        Pcb = &prj.AddBoard("/virtual/demo/demo.kicad_pcb");
        Pcb->AddFootprint("U1", *U1).AddPad("1", 0, 0).Net("A");
        prj.Compile();

        IServerModule* raw = nullptr;
        ASSERT_EQ(ServerFactory(Host.Client().get(), &raw), cStatus_OK);
        Server = IPtr<IServerModule>::Adopt(raw);
        ASSERT_TRUE(Server);
    }
    void TearDown() override { Server.reset(); }

    TState State(const std::string& command, IServerDocumentView* view, const std::string& params = "") {
        TState s;
        Server->GetCommandState(command, params, view, s.Enabled, s.Checked, s.Visible, s.Caption,
                                s.ImageFile);
        return s;
    }
    // The texts of the error boxes shown so far.
    std::vector<std::string> ErrorTexts() {
        std::vector<std::string> texts;
        const auto& boxes = Host.UI().Boxes();
        for (std::size_t i = Mark; i < boxes.size(); ++i)
            if (const auto& box = boxes[i]; box.Kind == eMessageBox_Error) {
                EXPECT_EQ(box.Caption, "Error");
                texts.push_back(box.Text);
            }
        return texts;
    }

    pcbhost::THost Host;
    pcbhost::TSchematicBuilder* Sch = nullptr;
    pcbhost::TComponentBuilder* U1 = nullptr;
    pcbhost::TComponentBuilder* R1 = nullptr;
    pcbhost::TBoardBuilder* Pcb = nullptr;
    IPtr<IServerModule> Server;
    std::size_t Mark = 0; // boxes before this index were shown by earlier steps
};

TEST_F(CommandsTest, ModuleIsNamedAndHoldsTheClientForItsLife) {
    EXPECT_EQ(Server->ModuleName(), "Permutor");
    EXPECT_EQ(Client_Get(), Host.Client());
    Server.reset();
    EXPECT_FALSE(Client_Get());
}

TEST_F(CommandsTest, SwapCommandsOutsideABoardNameTheirKind) {
    auto view = Host.OpenView(*Sch);
    const std::pair<const char*, const char*> cases[] = {
        {"RunAutoPermutor", "Pin"},       {"RunManualPermutor", "Pin"},
        {"RunKESTRELPermutor", "Pin"},    {"KESTRELPinSwap", "Pin"},
        {"RunManualPartSwapper", "Part"}, {"RunManualDifferentialPairSwapper", "Differential-Pair"},
    };
    for (const auto& [command, kind] : cases) {
        Mark = Host.UI().Boxes().size();
        Server->LaunchCommand(command, "", view.get());
        EXPECT_EQ(ErrorTexts(),
                  std::vector<std::string>{std::string(kind) + " Swapping must be run from a PCB Document"})
            << command;
    }
    // Without a view there is no document, hence no board either.
    Mark = Host.UI().Boxes().size();
    Server->LaunchCommand("RunManualPartSwapper", "", nullptr);
    EXPECT_EQ(ErrorTexts(), std::vector<std::string>{"Part Swapping must be run from a PCB Document"});
}

TEST_F(CommandsTest, WithoutAUserInterfaceTheGuardTextGoesToTheSink) {
    Host.UI().SetUserInterface(false);
    Server->LaunchCommand("RunManualDifferentialPairSwapper", "", Host.OpenView(*Sch).get());
    EXPECT_TRUE(Host.UI().Boxes().empty());
    ASSERT_EQ(Host.SinkMessages().size(), 1u);
    EXPECT_EQ(Host.SinkMessages()[0].Text, "Differential-Pair Swapping must be run from a PCB Document");
    EXPECT_EQ(Host.SinkMessages()[0].Caption, "Error");
}

TEST_F(CommandsTest, SwapCommandsOnABoardReachTheirTargets) {
    auto view = Host.OpenView(*Pcb);
    for (const char* command : cAllCommands) {
        if (std::string(command) == "ConfigurePermutor")
            continue;
        Mark = Host.UI().Boxes().size();
        Server->LaunchCommand(command, "", view.get());
        // The guard passed: no "must be run from a PCB Document" error.
        for (const auto& text : ErrorTexts())
            EXPECT_EQ(text.find("must be run from a PCB Document"), std::string::npos) << command;
    }
}

TEST_F(CommandsTest, LaunchRunsTheAfterCommandStepOnlyForRegisteredNames) {
    auto view = Host.OpenView(*Sch);
    const auto before = Host.ClientModel().AfterCommandCount();
    Server->LaunchCommand("NoSuchCommand", "", view.get());
    EXPECT_EQ(Host.ClientModel().AfterCommandCount(), before);
    EXPECT_TRUE(Host.UI().Boxes().empty());
    Server->LaunchCommand("runmanualpartswapper", "", view.get()); // any letter case
    EXPECT_EQ(Host.ClientModel().AfterCommandCount(), before + 1);
    EXPECT_EQ(ErrorTexts(), std::vector<std::string>{"Part Swapping must be run from a PCB Document"});
}

TEST_F(CommandsTest, StateOfUnregisteredAndCaseVariantNames) {
    auto view = Host.OpenView(*Pcb);
    const TState unknown = State("RunEverything", view.get());
    EXPECT_EQ(unknown.Enabled, 0);
    EXPECT_EQ(unknown.Visible, 0);
    EXPECT_EQ(unknown.Checked, 0);
    EXPECT_EQ(unknown.Caption, "");
    EXPECT_EQ(unknown.ImageFile, "");

    const TState variant = State("RUNAUTOPERMUTOR", view.get());
    EXPECT_EQ(variant.Enabled, -1); // true is all bits set
    EXPECT_EQ(variant.Visible, -1);
    EXPECT_EQ(variant.Checked, 0);
    EXPECT_EQ(variant.Caption, "");
}

TEST_F(CommandsTest, RestrictedViewDisablesSwapAndConfigurationCommands) {
    auto restricted = Host.OpenView(Pcb->Path(), 1);
    auto other = Host.OpenView(Pcb->Path(), 0);
    for (const char* command : {"RunAutoPermutor", "RunManualPermutor", "RunManualPartSwapper",
                                "RunManualDifferentialPairSwapper", "ConfigurePermutor"}) {
        EXPECT_EQ(State(command, restricted.get()).Enabled, 0) << command;
        EXPECT_EQ(State(command, restricted.get()).Visible, 0) << command;
        EXPECT_EQ(State(command, other.get()).Enabled, -1) << command;
        EXPECT_EQ(State(command, other.get()).Visible, -1) << command;
    }
    EXPECT_TRUE(View_IsRestricted(restricted.get()));
    EXPECT_FALSE(View_IsRestricted(other.get()));
    EXPECT_FALSE(View_IsRestricted(Host.OpenView(*Pcb).get())); // no view mode at all
    EXPECT_FALSE(View_IsRestricted(nullptr));
}

TEST_F(CommandsTest, ConfigurationStateInSchematicsFollowsTheSelection) {
    auto view = Host.OpenView(*Sch);
    const std::string cs = "ContextSensitive=True";
    Sch->MakeCurrent();
    EXPECT_EQ(State("ConfigurePermutor", view.get(), cs).Visible, 0); // nothing selected
    EXPECT_EQ(State("ConfigurePermutor", view.get()).Visible, -1);    // not context-sensitive
    EXPECT_EQ(State("ConfigurePermutor", view.get(), "ContextSensitive=False").Visible, -1);
    Sch->Select(*R1);
    const TState selected = State("ConfigurePermutor", view.get(), cs);
    EXPECT_EQ(selected.Visible, -1);
    EXPECT_EQ(selected.Enabled, -1);
}

TEST_F(CommandsTest, ConfigurationStateWithoutACurrentSheetIsHidden) {
    // No sheet was made current.
    auto view = Host.OpenView(*Sch);
    const TState s = State("ConfigurePermutor", view.get(), "ContextSensitive=true");
    EXPECT_EQ(s.Visible, 0);
    EXPECT_EQ(s.Enabled, -1);
}

TEST_F(CommandsTest, ConfigurationStateInLibrariesFollowsTheCurrentComponent) {
    auto& lib = Host.AddFreeLibrary("/virtual/lib/parts.kicad_sym");
    auto view = Host.OpenView(lib);
    Host.SchServer().SetCurrent(nullptr);
    EXPECT_EQ(State("ConfigurePermutor", view.get()).Visible, 0); // no current document
    lib.MakeCurrent().CurrentComponentState(0);
    EXPECT_EQ(State("ConfigurePermutor", view.get()).Visible, -1);
    lib.CurrentComponentState(3);
    EXPECT_EQ(State("ConfigurePermutor", view.get()).Visible, 0);
    EXPECT_EQ(State("ConfigurePermutor", view.get()).Enabled, -1);
    // A schematic sheet as current document offers no library interface.
    Sch->MakeCurrent();
    EXPECT_EQ(State("ConfigurePermutor", view.get()).Visible, 0);
}

TEST_F(CommandsTest, ExternalToolStates) {
    auto view = Host.OpenView(*Pcb);
    EXPECT_EQ(State("RunKESTRELPermutor", view.get()).Visible, 0); // no extension
    auto& extension = Host.AddExtension("KestrelPinMapper", 1);
    EXPECT_EQ(State("RunKESTRELPermutor", view.get()).Visible, 0);
    EXPECT_EQ(State("RunKESTRELPermutor", view.get()).Enabled, 0);
    for (std::int32_t state : {0, 2}) {
        extension.SetState(state);
        EXPECT_EQ(State("RunKESTRELPermutor", view.get()).Visible, -1) << state;
        EXPECT_EQ(State("RunKESTRELPermutor", view.get()).Enabled, -1) << state;
    }
    extension.SetState(3);
    EXPECT_FALSE(ExternalTool_IsAvailable());
}

TEST_F(CommandsTest, ExternalToolPinSwapNeedsAnObjectInContext) {
    auto boardView = Host.OpenView(*Pcb);
    auto& extension = Host.AddExtension("KestrelPinMapper", 0);
    auto& pad = Pcb->Footprint("U1").Pad("1").Model();
    EXPECT_EQ(State("KESTRELPinSwap", boardView.get()).Visible, 0); // nothing in context
    Pcb->Model().SetContext({&pad});
    EXPECT_EQ(State("KESTRELPinSwap", boardView.get()).Visible, -1);
    EXPECT_EQ(State("KESTRELPinSwap", boardView.get()).Enabled, -1);
    // Not on a board document.
    EXPECT_EQ(State("KESTRELPinSwap", Host.OpenView(*Sch).get()).Visible, 0);
    // Tool unavailable.
    extension.SetState(1);
    EXPECT_EQ(State("KESTRELPinSwap", boardView.get()).Visible, 0);
}

TEST_F(CommandsTest, ConfigureKeyComesFromSelectionThenBoardThenParameter) {
    const std::string board = Pcb->Path();
    Sch->MakeCurrent().Select(*R1);
    // Not context-sensitive: the parameter wins even with a selection.
    EXPECT_EQ(ConfigurePermutor_ComponentKey(board, "ContextSensitive=False|UniqueId=\\X\\Y"), "\\X\\Y");
    EXPECT_EQ(ConfigurePermutor_ComponentKey(board, "UniqueId=\\X\\Y"), "\\X\\Y");
    // Context-sensitive in any letter case: the first selected schematic component wins.
    for (const char* value : {"True", "true", "TRUE"})
        EXPECT_EQ(
            ConfigurePermutor_ComponentKey(board, std::string("ContextSensitive=") + value + "|UniqueId=\\X"),
            R1->UniqueId())
            << value;
    EXPECT_EQ(ConfigurePermutor_ComponentKey(board, "ContextSensitive=yes|UniqueId=\\X"), "\\X");

    // Selection order decides between two components.
    Sch->ClearSelection().Select(*U1, 2).Select(*R1);
    EXPECT_EQ(ConfigurePermutor_ComponentKey(board, "ContextSensitive=True"), U1->UniqueId(2));

    // No schematic selection: the board's component in context gives its source id.
    Sch->ClearSelection();
    Pcb->Model().SetContext({&Pcb->Footprint("U1").Model()});
    EXPECT_EQ(ConfigurePermutor_ComponentKey(board, "ContextSensitive=True|UniqueId=\\X"), U1->UniqueId(1));
    // A pad in context is not a component.
    Pcb->Model().SetContext({&Pcb->Footprint("U1").Pad("1").Model()});
    EXPECT_EQ(ConfigurePermutor_ComponentKey(board, "ContextSensitive=True|UniqueId=\\X"), "\\X");
    // Nothing at all.
    EXPECT_EQ(ConfigurePermutor_ComponentKey(board, "ContextSensitive=True"), "");
    EXPECT_EQ(ConfigurePermutor_ComponentKey("", ""), "");
}

TEST_F(CommandsTest, ConfigurePermutorOpensOnAnyDocument) {
    for (auto view : {Host.OpenView(*Sch), Host.OpenView(*Pcb)}) {
        Mark = Host.UI().Boxes().size();
        Server->LaunchCommand("ConfigurePermutor", "ContextSensitive=True", view.get());
        for (const auto& text : ErrorTexts())
            EXPECT_EQ(text.find("must be run from"), std::string::npos);
    }
}

TEST(ServerFactoryTest, AFailedConstructionReturnsUnexpectedAndNoServer) {
    IServerModule* server = reinterpret_cast<IServerModule*>(0x1);
    EXPECT_EQ(ServerFactory(nullptr, &server), cStatus_Unexpected);
    EXPECT_EQ(server, nullptr);
    EXPECT_EQ(ServerFactory(nullptr, nullptr), cStatus_Unexpected);
    EXPECT_EQ(GetMemoryInfo(nullptr), cStatus_Unexpected);
}

} // namespace

namespace {

TEST_F(CommandsTest, AutomaticRunParametersChooseTheIterativeSchedule) {
    const auto plain = AutoRun_Options("");
    EXPECT_TRUE(plain.Iterative);
    EXPECT_TRUE(plain.IterativeSettings.ImproveOnlyFromStart);
    const auto off = AutoRun_Options("Iterative=False");
    EXPECT_FALSE(off.Iterative);
    const auto anneal = AutoRun_Options("Iterative=True|IterativeStart=anneal");
    EXPECT_TRUE(anneal.Iterative);
    EXPECT_FALSE(anneal.IterativeSettings.ImproveOnlyFromStart);
    EXPECT_TRUE(AutoRun_Options("IterativeStart=Improve").IterativeSettings.ImproveOnlyFromStart);
    // An unknown start keeps the default.
    EXPECT_TRUE(AutoRun_Options("IterativeStart=sideways").IterativeSettings.ImproveOnlyFromStart);
    // The gate and pair passes run only when asked for.
    EXPECT_FALSE(plain.Gates);
    EXPECT_FALSE(plain.Pairs);
    const auto both = AutoRun_Options("Gates=True|Iterative=False|Pairs=true");
    EXPECT_TRUE(both.Gates);
    EXPECT_TRUE(both.Pairs);
    EXPECT_FALSE(both.Iterative);
    EXPECT_FALSE(AutoRun_Options("Gates=False|Pairs=no").Gates);
}

} // namespace
