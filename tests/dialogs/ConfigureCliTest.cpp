// `permutor configure` end to end on a copy of the example: the scripted session writes the
// schematic fields of every unit and the board's switch, and builds of the written project in pin,
// part and pair mode see the new groups.
#include "permutor/host/Services.h"
#include "permutor/model/SwapDataSet.h"

#include "pcbhost/model/Host.h"
#include "pcbhost/project/KicadProject.h"

#include "CliTestSupport.h"
#include "DemoScript.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

using namespace clitest;
using namespace permutor::model;

namespace {

// The values of a field of every placed unit of a reference in a schematic file.
std::vector<std::string> FieldOfUnits(const std::string& sch, const std::string& reference,
                                      const std::string& field) {
    std::vector<std::string> values;
    const std::regex symbol("\\(symbol \\(lib_id [^\\n]*\\n([\\s\\S]*?)\\(instances");
    for (auto it = std::sregex_iterator(sch.begin(), sch.end(), symbol); it != std::sregex_iterator(); ++it) {
        const std::string body = (*it)[1];
        if (body.find("(property \"Reference\" \"" + reference + "\"") == std::string::npos)
            continue;
        std::smatch m;
        const std::regex value("\\(property \"" + field + "\" \"([^\"]*)\"");
        values.push_back(std::regex_search(body, m, value) ? m[1].str() : std::string("<none>"));
    }
    return values;
}

class ConfigureCliTest : public ::testing::Test {
protected:
    void SetUp() override { Folder.CopyFilesOf(cExample); }
    void TearDown() override { permutor::host::Client_Set(nullptr); }
    std::string Path(const char* name) const { return (Folder.Path() / name).string(); }

    // A data set of the written project for `mode`, built as the commands build it.
    std::unique_ptr<TSwapDataSet> Build(TSwapMode mode) {
        if (!Project) {
            Project = pcbhost::kicad::TKicadProject::Open(Host, Path("demo.kicad_pcb"));
            permutor::host::Client_Set(Host.Client().get());
        }
        auto set = std::make_unique<TSwapDataSet>(Path("demo.kicad_pcb"), mode);
        set->SetSuppressDialogs(true);
        set->Build("", true);
        return set;
    }
    static std::vector<std::string> Ids(const TPackedList<TSwapGroup>& groups) {
        std::vector<std::string> ids;
        for (TSwapGroup* g : groups)
            ids.push_back(g->Component ? g->Component->GetState_Description() + ":" + g->ID : g->ID);
        std::sort(ids.begin(), ids.end());
        return ids;
    }

    TTempFolder Folder;
    pcbhost::THost Host;
    std::unique_ptr<pcbhost::kicad::TKicadProject> Project;
};

TEST_F(ConfigureCliTest, TheExampleSessionWritesEveryUnitAndTheSwitchAndTheBuildsSeeTheGroups) {
    const TRun r = Permutor(demoscript::Arguments(Path("demo.kicad_pro")));
    ASSERT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_NE(r.Out.find("list> ok"), std::string::npos) << r.Out;

    const std::string sch = ReadFile(Folder.Path() / "demo.kicad_sch");
    // Every unit of the quad NAND (the power unit too) carries the same new part data.
    const auto partFields = FieldOfUnits(sch, "U2", "PartSwap");
    ASSERT_EQ(partFields.size(), 5u);
    for (const auto& f : partFields) {
        EXPECT_EQ(f, partFields.front());
        EXPECT_NE(f.find("Part_1=1|PartPin_1=A"), std::string::npos) << f;
        EXPECT_EQ(f.find("NAND"), std::string::npos) << f;
        EXPECT_EQ(f.find("Part_7="), std::string::npos) << f; // the power unit is in no group
    }
    for (const auto& f : FieldOfUnits(sch, "U1", "PinSwap")) {
        EXPECT_NE(f.find("Pin_A1=0|"), std::string::npos) << f;
        EXPECT_NE(f.find("Pin_A7=1|"), std::string::npos) << f;
    }
    for (const auto& f : FieldOfUnits(sch, "U1", "PairSwap"))
        EXPECT_EQ(f, "Pair_G7=1|Pair_G8=1|Pair_H7=1|Pair_H8=1");
    EXPECT_EQ(FieldOfUnits(sch, "J3", "PinSwap"), (std::vector<std::string>{"Pin_1=1|Pin_2=1|Pin_3=1"}));
    const std::string pcb = ReadFile(Folder.Path() / "demo.kicad_pcb");
    EXPECT_NE(pcb.find("\"PinSwapEnabled\" \"yes\""), std::string::npos);

    // Builds of the written project.
    auto pins = Build(eSwap_Pins);
    const auto pinIds = Ids(pins->PinSwapGroups);
    EXPECT_NE(std::find(pinIds.begin(), pinIds.end(), "U1:0"), pinIds.end())
        << ::testing::PrintToString(pinIds);
    EXPECT_NE(std::find(pinIds.begin(), pinIds.end(), "U1:1"), pinIds.end());
    EXPECT_NE(std::find(pinIds.begin(), pinIds.end(), "J3:1"), pinIds.end());
    pins.reset();
    auto parts = Build(eSwap_Parts);
    EXPECT_EQ(Ids(parts->PartSwapGroups), (std::vector<std::string>{"U2:1"}));
    parts.reset();
    auto pairs = Build(eSwap_DifferentialPairs);
    EXPECT_EQ(Ids(pairs->PartSwapGroups), (std::vector<std::string>{"U1:1"}));
}

TEST_F(ConfigureCliTest, AMistakeInTheScriptIsNamedAndNothingIsWritten) {
    const auto before = Snapshot(Folder.Path());
    const TRun r = Permutor({"configure", Path("demo.kicad_pro"), "--do", "open U2", "--do",
                             "assign by colour", "--do", "ok", "--do", "ok"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("assign by colour: no such column; the choices are: Pin Properties, Designator"),
              std::string::npos)
        << r.Err;
    EXPECT_TRUE(Snapshot(Folder.Path()) == before);
    // One component by its reference: the editor straight away.
    const TRun one =
        Permutor({"configure", Path("demo.kicad_pro"), "U2", "--do", "show parts", "--do", "cancel"});
    EXPECT_EQ(one.Code, 0) << one.Err;
    EXPECT_NE(one.Out.find("Configure Pin Swapping For [U2 in demo.kicad_pro / (No Configuration)]"),
              std::string::npos)
        << one.Out;
    EXPECT_NE(one.Out.find("U2A   NAND"), std::string::npos) << one.Out;
    EXPECT_TRUE(Snapshot(Folder.Path()) == before);
}

} // namespace
