// FPGA pin data: each report format the host reads gives the module the same known fields; the
// holder's table follows the column rules; a component finds its report through its model link.
#include "ModelFixture.h"

#include "pcbhost/fpga/PinReport.h"
#include "pcbhost/model/PinInfo.h"
#include "permutor/model/FpgaData.h"

#include <filesystem>
#include <fstream>

namespace permutor::model::testing {
namespace {

namespace fs = std::filesystem;

fs::path Sample(const std::string& name) {
    return fs::path(PERMUTOR_SOURCE_DIR) / "tests" / "data" / "fpga" / name;
}

TFpgaDataHolder HolderOf(const std::string& file, const std::string& package = "") {
    auto report = std::make_shared<const pcbhost::fpga::TPinReport>(
        pcbhost::fpga::PinReport_Read(Sample(file).string(), package));
    return TFpgaDataHolder(pcbhost::PinReport_ComponentInfo(report).get());
}

// What each sample says of a few of its pins.
struct TFormatCase {
    const char* File;
    const char* Package;
    const char* Format;
    std::int32_t Pins;
    const char* IoPin;   // a user I/O pin with a differential partner
    const char* Bank;    // its bank
    const char* Partner; // its partner
    const char* ClkPin;  // a clock input
    const char* VrefPin;
    const char* ConfigPin;
    const char* SupplyPin; // power or ground: no role at all
};

void PrintTo(const TFormatCase& c, std::ostream* os) {
    *os << c.File;
}

class FpgaReportFormats : public ::testing::TestWithParam<TFormatCase> {};

TEST_P(FpgaReportFormats, LoadIntoTheTwelveKnownFields) {
    const TFormatCase& c = GetParam();
    const auto report = pcbhost::fpga::PinReport_Read(Sample(c.File).string(), c.Package);
    EXPECT_EQ(report.Format, c.Format);
    EXPECT_EQ(std::int32_t(report.Pins.size()), c.Pins);
    auto info = pcbhost::PinReport_ComponentInfo(std::make_shared<const pcbhost::fpga::TPinReport>(report));
    auto table = info->PinTable();
    TFpgaDataHolder holder(info.get());
    ASSERT_NE(holder.PinsData(), nullptr);
    EXPECT_EQ(holder.PinsData()->RowCount(), c.Pins);

    // Every known kind is there: as a known column, or (pin, net, partner) as the report's own.
    for (std::int32_t k = 0; k < cPinReportFileFieldKindCount; ++k) {
        const auto kind = TPinReportFileFieldKind(k);
        const bool own =
            (k == prff_Designator || k == prff_NetName || k == prff_DiffPair) && table->FieldDescriptor(kind);
        EXPECT_NE(holder.KnownField(kind) >= 0, own) << "kind " << k;
    }
    EXPECT_TRUE(table->FieldDescriptor(prff_Designator)) << "the package pin comes from a column";

    std::string value;
    ASSERT_TRUE(holder.GetStringValue(c.IoPin, prff_IoBank, value));
    EXPECT_EQ(value, c.Bank);
    auto flag = [&](const char* pin, TPinReportFileFieldKind kind) {
        std::string text;
        EXPECT_TRUE(holder.GetStringValue(pin, kind, text)) << pin;
        EXPECT_TRUE(text == "True" || text == "False") << pin << ": " << text;
        return text == "True";
    };
    EXPECT_TRUE(flag(c.IoPin, prff_IoPin));
    EXPECT_FALSE(flag(c.IoPin, prff_ConfigPin));
    EXPECT_TRUE(flag(c.ClkPin, prff_ClkPin));
    EXPECT_FALSE(flag(c.IoPin, prff_ClkPin));
    EXPECT_TRUE(flag(c.VrefPin, prff_VrefPin));
    EXPECT_TRUE(flag(c.ConfigPin, prff_ConfigPin));
    EXPECT_FALSE(flag(c.ConfigPin, prff_IoPin));
    for (auto kind : {prff_IoPin, prff_VrefPin, prff_ClkPin, prff_ConfigPin, prff_SpecialPin})
        EXPECT_FALSE(flag(c.SupplyPin, kind)) << "supply pin, kind " << kind;

    // Partners both ways, in the holder's own column.
    TFpgaTable& rows = *holder.PinsData();
    const std::int32_t partner = rows.FindColumn("FpgaData_DiffPair");
    ASSERT_TRUE(holder.FindPinInfo(c.IoPin));
    EXPECT_EQ(rows.Text(partner), c.Partner);
    ASSERT_TRUE(holder.FindPinInfo(c.Partner));
    EXPECT_EQ(rows.Text(partner), c.IoPin);
    ASSERT_TRUE(holder.FindPinInfo(c.SupplyPin));
    EXPECT_EQ(rows.Text(partner), "");
}

INSTANTIATE_TEST_SUITE_P(Samples, FpgaReportFormats,
                         ::testing::Values(TFormatCase{"xc7a15tcpg236pkg.txt", "", "Xilinx package pinout",
                                                       24, "U2", "34", "U1", "W5", "V3", "U8", "A1"},
                                           TFormatCase{"blinky_io_placed.rpt", "", "Vivado I/O report", 23,
                                                       "U2", "34", "U1", "W5", "V3", "U8", "A1"},
                                           TFormatCase{"blinky.pin", "", "Quartus pin file", 18, "38", "3",
                                                       "39", "28", "44", "129", "1"},
                                           TFormatCase{"ecp5u25_pinout.csv", "CABGA256", "Lattice pinout CSV",
                                                       21, "C3", "7", "B1", "F4", "E4", "M10", "A1"},
                                           TFormatCase{"fpga64_pins.csv", "", "CSV pin table", 10, "C1", "1",
                                                       "C2", "B1", "B2", "D1", "E1"}));

TEST(FpgaDataHolder, ColumnsAreNamedAndTaggedAsTheReportDefinesThem) {
    // Pin, Diff Pair are the report's; the net has no column and so a known one.
    TFpgaDataHolder holder = HolderOf("fpga64_pins.csv");
    ASSERT_NE(holder.PinsData(), nullptr);
    std::vector<std::string> names, labels;
    std::vector<std::int32_t> tags;
    std::vector<bool> booleans;
    for (const auto& column : holder.PinsData()->Columns()) {
        names.push_back(column.Name);
        labels.push_back(column.DisplayLabel);
        tags.push_back(column.Tag);
        booleans.push_back(column.Boolean);
    }
    EXPECT_EQ(names, (std::vector<std::string>{
                         "FpgaData_KnownField_1", "FpgaData_KnownField_2", "FpgaData_KnownField_3",
                         "FpgaData_KnownField_5", "FpgaData_KnownField_6", "FpgaData_KnownField_7",
                         "FpgaData_KnownField_8", "FpgaData_KnownField_9", "FpgaData_KnownField_10",
                         "FpgaData_KnownField_11", "FpgaData_1", "FpgaData_PinName", "FpgaData_DiffPair"}));
    EXPECT_EQ(tags, (std::vector<std::int32_t>{1, 2, 3, 5, 6, 7, 8, 9, 10, 11, -1, -1, -1}));
    EXPECT_EQ(booleans, (std::vector<bool>{false, false, false, false, false, true, true, true, true, true,
                                           false, false, false}));
    EXPECT_EQ(labels[10], "Pin Name");
    EXPECT_EQ(holder.KnownField(prff_Designator), -1);
    EXPECT_EQ(holder.KnownField(prff_DiffPair), -1);
    EXPECT_EQ(holder.KnownField(prff_IoBank), 1);

    // A report without a partner column keeps the partner as a known field as well.
    TFpgaDataHolder xilinx = HolderOf("xc7a15tcpg236pkg.txt");
    ASSERT_GE(xilinx.KnownField(prff_DiffPair), 0);
    EXPECT_EQ(xilinx.PinsData()->Columns()[std::size_t(xilinx.KnownField(prff_DiffPair))].Name,
              "FpgaData_KnownField_4");
    std::string partner;
    EXPECT_TRUE(xilinx.GetStringValue("W5", prff_DiffPair, partner));
    EXPECT_EQ(partner, "V5");
    // Its "Pin Name" is report column 1, kept under its title; "Bank" (column 3) is claimed.
    EXPECT_EQ(xilinx.PinsData()->FindColumn("FpgaData_3"), -1);
    const std::int32_t function = xilinx.PinsData()->FindColumn("FpgaData_1");
    ASSERT_GE(function, 0);
    EXPECT_EQ(xilinx.PinsData()->Columns()[std::size_t(function)].DisplayLabel, "Pin Name");
    ASSERT_TRUE(xilinx.FindPinInfo("W5"));
    EXPECT_EQ(xilinx.PinsData()->Text(function), "IO_L12P_T1_MRCC_34");
}

TEST(FpgaDataHolder, BooleanRolesAndExactPinNames) {
    TFpgaDataHolder holder = HolderOf("fpga64_pins.csv");
    auto role = [&](const char* pin, TPinReportFileFieldKind kind) {
        std::string text;
        EXPECT_TRUE(holder.GetStringValue(pin, kind, text)) << pin;
        return text;
    };
    EXPECT_EQ(role("A1", prff_IoPin), "True");      // "Yes"
    EXPECT_EQ(role("A1", prff_VrefPin), "False");   // "No"
    EXPECT_EQ(role("A2", prff_VrefPin), "False");   // empty
    EXPECT_EQ(role("B1", prff_ClkPin), "True");     // "True"
    EXPECT_EQ(role("B1", prff_VrefPin), "False");   // "False"
    EXPECT_EQ(role("C1", prff_IoPin), "True");      // "1"
    EXPECT_EQ(role("C1", prff_ClkPin), "False");    // "0"
    EXPECT_EQ(role("D2", prff_SpecialPin), "True"); // "x" is no Boolean word: set
    EXPECT_EQ(role("B1", prff_SlewRate), "FAST");
    EXPECT_EQ(role("B1", prff_DriveStrength), "12");

    std::string value = "stale";
    EXPECT_FALSE(holder.GetStringValue("a1", prff_IoBank, value)) << "names compare exactly";
    EXPECT_EQ(value, "");
    EXPECT_FALSE(holder.FindPinInfo("A"));
    EXPECT_TRUE(holder.FindPinInfo("A1"));

    bool b = false;
    EXPECT_TRUE(Boolean_TryParse(" off ", b));
    EXPECT_FALSE(b);
    EXPECT_TRUE(Boolean_TryParse("T", b));
    EXPECT_TRUE(b);
    EXPECT_FALSE(Boolean_TryParse("maybe", b));

    TFpgaDataHolder none(nullptr);
    EXPECT_EQ(none.PinsData(), nullptr);
    EXPECT_FALSE(none.FindPinInfo("A1"));
    value = "stale";
    EXPECT_FALSE(none.GetStringValue("A1", prff_IoBank, value));
    EXPECT_EQ(value, "");
}

// Each reader names the line it could not read.
TEST(FpgaReportErrors, NameFileAndLine) {
    using pcbhost::fpga::PinReport_Parse;
    using pcbhost::fpga::TPinReportError;
    auto lineOf = [](const std::string& text, const std::string& package = "") {
        try {
            PinReport_Parse(text, "r.txt", package);
        } catch (const TPinReportError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("r.txt:" + std::to_string(e.Line()) + ": ", 0), 0u)
                << e.what();
            return std::pair(e.Line(), std::string(e.what()));
        }
        return std::pair(-1, std::string());
    };
    EXPECT_EQ(lineOf("Device/Package x\n\nPin   Pin Name     Bank\nA1    IO_L1P_T0_34 34\nA2    GND\n").first,
              5);
    EXPECT_EQ(lineOf("| Pin Number | Signal Name | Pin Name | Use | IO Bank |\n"
                     "| A1 | | IO_L1P_T0_34 | User IO | 34 |\n| A2 | | GND | GND |\n")
                  .first,
              3);
    EXPECT_EQ(lineOf("CHIP \"x\" ASSIGNED TO AN: 10M08\n\nPin Name/Usage : Location : Dir. : I/O Bank\n"
                     "---------\nGND : 1 : gnd :\nclk : 2 : input\n")
                  .first,
              6);
    const std::string lattice = "# x\nPADN,Pin/Ball Function,Bank,CABGA256,CABGA381\n1,PL2A,7,C3,D1\n";
    const auto several = lineOf(lattice);
    EXPECT_EQ(several.first, 2);
    EXPECT_NE(several.second.find("CABGA256, CABGA381"), std::string::npos) << several.second;
    EXPECT_EQ(lineOf(lattice, "TQFP144").first, 2);
    EXPECT_EQ(lineOf(lattice, "cabga381").first, -1) << "packages compare without regard to case";
    const auto twice = lineOf("Pin,Bank\nA1,0\nA2,0\nA1,1\n");
    EXPECT_EQ(twice.first, 4);
    EXPECT_NE(twice.second.find("listed twice (first on line 2)"), std::string::npos) << twice.second;
    EXPECT_EQ(lineOf("Pin,Diff Pair\nA1,A9\n").first, 2);
    EXPECT_EQ(lineOf("just some text\n").first, 1);
}

TEST(FpgaData, LocationsResolveAgainstTheComponentsDocument) {
    EXPECT_EQ(FpgaData_ResolveLocation("/proj/sch/top.kicad_sch", "pins/report"), "/proj/sch/pins/report");
    EXPECT_EQ(FpgaData_ResolveLocation("/proj/sch/top.kicad_sch", "../pins/report.txt"),
              "/proj/pins/report.txt");
    EXPECT_EQ(FpgaData_ResolveLocation("/proj/sch/top.kicad_sch", "/abs/report.txt"), "/abs/report.txt");
    EXPECT_TRUE(FpgaData_IsAbsoluteLocation("\\\\server\\pins.txt"));
    EXPECT_TRUE(FpgaData_IsAbsoluteLocation("D:\\proj\\pins.txt"));
    EXPECT_FALSE(FpgaData_IsAbsoluteLocation("pins/report"));
}

// The component's report found through its model link, relative to its sheet, opened once.
class FpgaDataLoad : public TModelFixture {
protected:
    void SetUp() override {
        TModelFixture::SetUp();
        Folder = fs::temp_directory_path() / ("permutor-fpga-" + std::to_string(::getpid()));
        fs::create_directories(Folder / "pins");
        fs::copy_file(Sample("xc7a15tcpg236pkg.txt"), Folder / "pins" / "xc7a15t.txt",
                      fs::copy_options::overwrite_existing);
    }
    void TearDown() override {
        TModelFixture::TearDown();
        fs::remove_all(Folder);
    }
    fs::path Folder;
};

TEST_F(FpgaDataLoad, TheComponentReadsItsReportThroughItsModelLink) {
    TProjectBuilder& project = Host.AddProject((Folder / "f.kicad_pro").string());
    TSchematicBuilder& sheet = project.AddSchematic((Folder / "f.kicad_sch").string());
    TBoardBuilder& board = project.AddBoard((Folder / "f.kicad_pcb").string());
    auto& u1 = sheet.AddComponent("U1");
    u1.Implementation("Footprint", "BGA")
        .Implementation("fpgapininfo", "")
        .DataFileLink("Other", "x.txt")
        .DataFileLink("pininfo", "pins/xc7a15t.txt");
    auto& fp = board.AddFootprint("U1", u1).PinSwapEnabled();
    for (const char* pad : {"U1", "U2"}) {
        u1.AddPin(pad).PinSwap("B34");
        fp.AddPad(pad, 0, pad[1] == '1' ? 0.0 : 1.0).Net(std::string("N") + pad);
    }
    auto& u2 = sheet.AddComponent("U2");
    board.AddFootprint("U2", u2);

    TSwapDataSet set(board.Path(), eSwap_All);
    set.SetSuppressDialogs(true);
    ASSERT_TRUE(set.Build_ComponentsOnly(""));
    TSwapComponent* fpga = nullptr;
    TSwapComponent* other = nullptr;
    for (TSwapComponent* c : set.Components)
        (c->GetState_Description() == "U1" ? fpga : other) = c;
    ASSERT_TRUE(fpga && other);

    fpga->TryToLoadFpgaData();
    ASSERT_TRUE(fpga->FpgaDataHolder);
    const TFpgaDataHolder* first = fpga->FpgaDataHolder.get();
    std::string bank;
    EXPECT_TRUE(fpga->FpgaDataHolder->GetStringValue("U2", prff_IoBank, bank));
    EXPECT_EQ(bank, "34");
    fpga->TryToLoadFpgaData();
    EXPECT_EQ(fpga->FpgaDataHolder.get(), first) << "loaded once";
    // The report is now an open document of the host.
    EXPECT_TRUE(Host.Client()->ServerDocumentByPath((Folder / "pins" / "xc7a15t.txt").string()));

    other->TryToLoadFpgaData();
    ASSERT_TRUE(other->FpgaDataHolder);
    EXPECT_EQ(other->FpgaDataHolder->PinsData(), nullptr);
    EXPECT_FALSE(other->FpgaDataHolder->FindPinInfo("U2"));
}

TEST_F(FpgaDataLoad, AReportTheHostCannotReadFailsTheLoadNamingFileAndLine) {
    {
        std::ofstream bad(Folder / "pins" / "bad.csv");
        bad << "Pin,Bank,Diff Pair\nA1,0,A2\nA2,0\n";
    }
    TProjectBuilder& project = Host.AddProject((Folder / "g.kicad_pro").string());
    TSchematicBuilder& sheet = project.AddSchematic((Folder / "g.kicad_sch").string());
    TBoardBuilder& board = project.AddBoard((Folder / "g.kicad_pcb").string());
    auto& u1 = sheet.AddComponent("U1").PinInfo("pins/bad.csv");
    board.AddFootprint("U1", u1);
    TSwapDataSet set(board.Path(), eSwap_All);
    set.SetSuppressDialogs(true);
    ASSERT_TRUE(set.Build_ComponentsOnly(""));
    ASSERT_EQ(set.Components.Count(), 1);
    try {
        set.Components[0]->TryToLoadFpgaData();
        FAIL() << "expected the host's error";
    } catch (const pcbhost::fpga::TPinReportError& e) {
        EXPECT_EQ(e.Line(), 3);
        EXPECT_NE(std::string(e.what()).find("bad.csv:3: expected 3 values"), std::string::npos) << e.what();
    }
}

} // namespace
} // namespace permutor::model::testing
