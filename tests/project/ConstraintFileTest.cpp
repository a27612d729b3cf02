// FPGA pin constraint files in the four formats: the port-to-pin records are read with their
// lines and swap ids, ports follow their signals to other pins with no byte changed but the pin
// tokens, and what cannot be read or followed is reported with its file and line.
#include "pcbhost/project/ConstraintFile.h"
#include "pcbhost/model/Schematic.h"
#include "pcbhost/project/FpgaConstraints.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace pcbhost;
using namespace pcbhost::kicad;

namespace {

struct TRecord {
    std::string Port, Pin;
    std::uint32_t Line;
    std::string SwapId;
    bool operator==(const TRecord&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TRecord& r) {
    return os << r.Port << "@" << r.Pin << ":" << r.Line << "[" << r.SwapId << "]";
}

std::vector<TRecord> Records(const TConstraintFile& file) {
    std::vector<TRecord> records;
    for (const auto& p : file.Pins)
        records.push_back({p.Port, p.Pin, p.Line, p.SwapId});
    return records;
}

// The same swap in every format: the signals of E3 and F4 trade pins, G5 keeps its signal, and
// H6 (no port) is untouched.
TComponentPinNets TradeE3AndF4() {
    TComponentPinNets nets;
    nets.Before = {{"E3", "/clk"}, {"F4", "/led0"}, {"G5", "/btn"}, {"H6", ""}};
    nets.After = {{"E3", "/led0"}, {"F4", "/clk"}, {"G5", "/btn"}, {"H6", ""}};
    return nets;
}

struct TFormatCase {
    const char* Name;
    const char* File;
    std::string Text, Expected;
    std::vector<TRecord> Records;
};

std::ostream& operator<<(std::ostream& os, const TFormatCase& c) {
    return os << c.Name;
}

const TFormatCase cFormats[] = {
    {"pcf",
     "top.pcf",
     "# board pins\r\n"
     "set_io -nowarn CLK E3 # SWAPID=G1\r\n"
     "set_io\tLED0\tF4\r\n"
     "set_io -pullup yes BTN G5   #  swapid = key\n"
     "set_frequency CLK 12\n",
     "# board pins\r\n"
     "set_io -nowarn CLK F4 # SWAPID=G1\r\n"
     "set_io\tLED0\tE3\r\n"
     "set_io -pullup yes BTN G5   #  swapid = key\n"
     "set_frequency CLK 12\n",
     {{"CLK", "E3", 2, "G1"}, {"LED0", "F4", 3, ""}, {"BTN", "G5", 4, "key"}}},
    {"xdc",
     "top.xdc",
     "## Clock signal\n"
     "set_property -dict { PACKAGE_PIN E3    IOSTANDARD LVCMOS33 } [get_ports { CLK }]; #IO_L12P_T1_MRCC_35 "
     "Sch=clk\n"
     "#set_property -dict { PACKAGE_PIN H6    IOSTANDARD LVCMOS33 } [get_ports { led[4] }];\n"
     "set_property PACKAGE_PIN F4 [get_ports {led[0]}] ;# SWAPID=G1\n"
     "set_property IOSTANDARD LVCMOS33 [get_ports {led[0]}]\n"
     "set_property package_pin {G5} [get_ports \"BTN\"]\n",
     "## Clock signal\n"
     "set_property -dict { PACKAGE_PIN F4    IOSTANDARD LVCMOS33 } [get_ports { CLK }]; #IO_L12P_T1_MRCC_35 "
     "Sch=clk\n"
     "#set_property -dict { PACKAGE_PIN H6    IOSTANDARD LVCMOS33 } [get_ports { led[4] }];\n"
     "set_property PACKAGE_PIN E3 [get_ports {led[0]}] ;# SWAPID=G1\n"
     "set_property IOSTANDARD LVCMOS33 [get_ports {led[0]}]\n"
     "set_property package_pin {G5} [get_ports \"BTN\"]\n",
     {{"CLK", "E3", 2, ""}, {"led[0]", "F4", 4, "G1"}, {"BTN", "G5", 6, ""}}},
    {"lpf",
     "top.lpf",
     "BLOCK RESETPATHS;\n"
     "LOCATE COMP \"CLK\" SITE \"E3\";\n"
     "IOBUF PORT \"CLK\" IO_TYPE=LVCMOS33;\n"
     "LOCATE COMP \"led[0]\" SITE \"F4\"; # SWAPID=G1\n"
     "locate comp \"BTN\" site \"G5\"; IOBUF PORT \"BTN\" PULLMODE=UP; // buttons\n"
     "FREQUENCY PORT \"CLK\" 25 MHZ;",
     "BLOCK RESETPATHS;\n"
     "LOCATE COMP \"CLK\" SITE \"F4\";\n"
     "IOBUF PORT \"CLK\" IO_TYPE=LVCMOS33;\n"
     "LOCATE COMP \"led[0]\" SITE \"E3\"; # SWAPID=G1\n"
     "locate comp \"BTN\" site \"G5\"; IOBUF PORT \"BTN\" PULLMODE=UP; // buttons\n"
     "FREQUENCY PORT \"CLK\" 25 MHZ;",
     {{"CLK", "E3", 2, ""}, {"led[0]", "F4", 4, "G1"}, {"BTN", "G5", 5, ""}}},
    {"qsf",
     "top.qsf",
     "set_global_assignment -name FAMILY \"Cyclone IV E\"\n"
     "set_location_assignment PIN_E3 -to CLK\n"
     "set_location_assignment PIN_F4 -to LED[0] ;# SWAPID=G1\n"
     "set_location_assignment -to BTN PIN_G5 -comment \"user key\"\n"
     "set_instance_assignment -name IO_STANDARD \"3.3-V LVTTL\" -to CLK\n"
     "set_location_assignment IOBANK_3 -to LED[1]\n",
     "set_global_assignment -name FAMILY \"Cyclone IV E\"\n"
     "set_location_assignment PIN_F4 -to CLK\n"
     "set_location_assignment PIN_E3 -to LED[0] ;# SWAPID=G1\n"
     "set_location_assignment -to BTN PIN_G5 -comment \"user key\"\n"
     "set_instance_assignment -name IO_STANDARD \"3.3-V LVTTL\" -to CLK\n"
     "set_location_assignment IOBANK_3 -to LED[1]\n",
     {{"CLK", "E3", 2, ""}, {"LED[0]", "F4", 3, "G1"}, {"BTN", "G5", 4, ""}}},
};

class ConstraintFormats : public testing::TestWithParam<TFormatCase> {};

} // namespace

TEST_P(ConstraintFormats, PortsFollowTheirSignalsAndOnlyThePinTokensChange) {
    const TFormatCase& c = GetParam();
    const TConstraintFile file = ConstraintFile_Parse(c.File, ConstraintFormat_Of(c.File), c.Text);
    EXPECT_EQ(Records(file), c.Records);
    for (const auto& pin : file.Pins)
        EXPECT_EQ(file.Text.substr(pin.PinOffset, pin.PinLength), pin.Pin);

    const TConstraintFollow follow = ConstraintFile_Follow(file, "U1", TradeE3AndF4());
    EXPECT_EQ(follow.NewText, c.Expected);
    EXPECT_TRUE(follow.Problems.empty()) << follow.Problems.front();
    ASSERT_EQ(follow.Moves.size(), 2u);
    EXPECT_EQ(follow.Moves[0].From + ">" + follow.Moves[0].To, "E3>F4");
    EXPECT_EQ(follow.Moves[1].From + ">" + follow.Moves[1].To, "F4>E3");
    EXPECT_EQ(follow.Moves[1].Line, c.Records[1].Line);

    // Read back, the written file has the ports on their new pins; with nothing swapped nothing
    // changes.
    const TConstraintFile again = ConstraintFile_Parse(c.File, file.Format, follow.NewText);
    ASSERT_EQ(again.Pins.size(), file.Pins.size());
    EXPECT_EQ(again.Pins[0].Pin, "F4");
    EXPECT_EQ(again.Pins[1].Pin, "E3");
    TComponentPinNets still;
    still.After = TradeE3AndF4().Before;
    EXPECT_FALSE(ConstraintFile_Follow(file, "U1", still).Changed());
}

INSTANTIATE_TEST_SUITE_P(Formats, ConstraintFormats, testing::ValuesIn(cFormats),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ConstraintFile, ABadLineIsReportedWithItsFileAndLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"a.pcf", "set_io A E3\nset_io CLK\n"},
        {"a.pcf", "# x\nset_io -pullup\n"},
        {"a.pcf", "set_io A E3\nset_io A B C\n"},
        {"a.xdc",
         "set_property PACKAGE_PIN E3 [get_ports a]\nset_property PACKAGE_PIN E3 [get_ports {a b}]\n"},
        {"a.xdc", "#\nset_property PACKAGE_PIN E3 [get_ports clk] # SWAPID=1\n"},
        {"a.xdc", "set_property -dict {\n  PACKAGE_PIN E3 } [get_ports clk]\n"},
        {"a.xdc", "\nset_property -dict { IOSTANDARD LVCMOS33 PACKAGE_PIN } [get_ports clk]\n"},
        {"a.xdc", "\nset_property PACKAGE_PIN E3 clk\n"},
        {"a.lpf", "LOCATE COMP \"A\" SITE \"E3\";\nLOCATE COMP \"CLK\" SITE \"E3\"\n"},
        {"a.lpf", "\nLOCATE COMP \"CLK\" \"E3\";\n"},
        {"a.lpf", "\nLOCATE COMP \"CLK SITE \"E3\";\n"},
        {"a.qsf", "set_location_assignment PIN_A1 -to A\nset_location_assignment PIN_E3\n"},
        {"a.qsf", "\nset_location_assignment PIN_E3 -to\n"},
        {"a.qsf", "\nset_location_assignment PIN_E3 -to clk # SWAPID=2\n"},
    };
    for (const auto& [path, text] : cases) {
        std::string message;
        try {
            ConstraintFile_Parse(path, ConstraintFormat_Of(path), text);
        } catch (const TConstraintError& e) {
            message = e.what();
        }
        EXPECT_EQ(message.rfind(path + ":2: ", 0), 0u) << path << " <" << text << "> gave: " << message;
    }
    // A trailing comment without ";" is explained, since Tcl reads it as more words.
    try {
        ConstraintFile_Parse("a.xdc", TConstraintFormat::eXdc,
                             "set_property PACKAGE_PIN E3 [get_ports c] #x\n");
        ADD_FAILURE() << "no error";
    } catch (const TConstraintError& e) {
        EXPECT_NE(std::string(e.what()).find("needs \";\" before \"#\""), std::string::npos) << e.what();
    }
    EXPECT_THROW(ConstraintFormat_Of("top.ucf"), TConstraintError);
    // A byte-order mark does not hide the first line; "-dict [list ...]" is a list like "{...}".
    EXPECT_EQ(Records(ConstraintFile_Parse("b.pcf", TConstraintFormat::ePcf, "\xEF\xBB\xBFset_io CLK E3\n")),
              (std::vector<TRecord>{{"CLK", "E3", 1, ""}}));
    EXPECT_EQ(
        Records(ConstraintFile_Parse("l.xdc", TConstraintFormat::eXdc,
                                     "set_property -dict [list PACKAGE_PIN E3 IOSTANDARD LVDS] [get_ports "
                                     "{clk_p}]\n")),
        (std::vector<TRecord>{{"clk_p", "E3", 1, ""}}));
    // Comments, other commands and empty files are no records and no error.
    EXPECT_TRUE(ConstraintFile_Parse("e.pcf", TConstraintFormat::ePcf, "").Pins.empty());
    EXPECT_TRUE(
        ConstraintFile_Parse("e.xdc", TConstraintFormat::eXdc,
                             "# set_property PACKAGE_PIN E3 [get_ports {a b}]\ncreate_clock -period 10 "
                             "[get_ports clk]\n")
            .Pins.empty());
}

TEST(ConstraintFile, WhatCannotFollowIsReportedNotGuessed) {
    const std::string text = "set_io A M1\n"
                             "set_io B m2\n"
                             "set_io GHOST Z9\n"
                             "set_io C N1\n"
                             "set_io D N2\n"
                             "set_io E N3\n";
    const TConstraintFile file = ConstraintFile_Parse("f.pcf", TConstraintFormat::ePcf, text);
    TComponentPinNets nets;
    // M1/M2 trade signals (B's pin is written in lower case); N1..N3 turn in a circle; P1 takes a
    // signal that was on no port's pin (P2), which is left without a net.
    nets.Before = {{"M1", "/a"}, {"M2", "/b"}, {"N1", "/c"}, {"N2", "/d"},
                   {"N3", "/e"}, {"P1", ""},   {"P2", "/p"}};
    nets.After = {{"M1", "/b"}, {"M2", "/a"}, {"N1", "/e"}, {"N2", "/c"},
                  {"N3", "/d"}, {"P1", "/p"}, {"P2", ""}};
    TConstraintFollow follow = ConstraintFile_Follow(file, "U7", nets);
    EXPECT_EQ(follow.NewText, "set_io A M2\n"
                              "set_io B M1\n"
                              "set_io GHOST Z9\n"
                              "set_io C N2\n"
                              "set_io D N3\n"
                              "set_io E N1\n");
    EXPECT_EQ(follow.Moves.size(), 5u);
    ASSERT_EQ(follow.Problems.size(), 2u);
    EXPECT_EQ(follow.Problems[0], "f.pcf:3: port GHOST is on pin Z9, which U7 does not have");
    EXPECT_EQ(follow.Problems[1],
              "f.pcf: pin P1 of U7 now carries /p, but no port of the file was on its signal");

    // A port whose signal now shows on two changed pins (a case swaps do not make) stays where it
    // is, and says so.
    TComponentPinNets twice;
    twice.Before = {{"Q1", "/q"}, {"Q2", "/r"}, {"Q3", "/s"}};
    twice.After = {{"Q1", "/s"}, {"Q2", "/q"}, {"Q3", "/q"}};
    const TConstraintFile onQ =
        ConstraintFile_Parse("q.pcf", TConstraintFormat::ePcf, "\nset_io Q Q1\nset_io S Q3\n");
    follow = ConstraintFile_Follow(onQ, "U7", twice);
    EXPECT_EQ(follow.NewText, "\nset_io Q Q1\nset_io S Q1\n");
    ASSERT_FALSE(follow.Problems.empty());
    EXPECT_EQ(follow.Problems[0],
              "q.pcf:2: port Q on pin Q1: its net /q is now on pins Q2, Q3 of U7; left on Q1");
    // A net that shows on several pins (a supply) after the swap is taken to the one pin that changed.
    TComponentPinNets supply;
    supply.Before = {{"K1", "/x"}, {"K2", "GND"}, {"K3", "GND"}};
    supply.After = {{"K1", "GND"}, {"K2", "/x"}, {"K3", "GND"}};
    const TConstraintFile onK =
        ConstraintFile_Parse("k.pcf", TConstraintFormat::ePcf, "set_io GND_SENSE K2\n");
    EXPECT_EQ(ConstraintFile_Follow(onK, "U7", supply).NewText, "set_io GND_SENSE K1\n");
}

TEST(ConstraintFile, SwapIdsGiveThePinSwapDataOfTheSymbolsPins) {
    TSchSymbol symbol("U1", 1);
    for (const char* pin : {"E3", "F4", "G5", "H6"})
        symbol.AddPin(pin, 1);
    const TConstraintFile file = ConstraintFile_Parse("s.lpf", TConstraintFormat::eLpf,
                                                      "LOCATE COMP \"b\" SITE \"g5\"; # SWAPID=BANK2\n"
                                                      "LOCATE COMP \"a\" SITE \"E3\"; # SWAPID=BANK0\n"
                                                      "LOCATE COMP \"c\" SITE \"F4\";\n"
                                                      "LOCATE COMP \"x\" SITE \"Z1\"; # SWAPID=BANK0\n"
                                                      "LOCATE COMP \"d\" SITE \"E3\"; # SWAPID=BANK7\n");
    std::vector<std::string> problems;
    // In the symbol's pin order, under the symbol's own pin names; F4 has a line but no id.
    EXPECT_EQ(FpgaConstraints_PinSwapText(file, symbol, problems), "Pin_E3=BANK0|Pin_G5=BANK2");
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0], "s.lpf:4: port x is on pin Z1, which U1 does not have");
    EXPECT_NE(problems[1].find("s.lpf:5: pin E3 has the swap id \"BANK0\" on line 2 already"),
              std::string::npos)
        << problems[1];

    const TConstraintFile bad =
        ConstraintFile_Parse("s.pcf", TConstraintFormat::ePcf, "set_io a E3\nset_io b F4 # SWAPID=A|B\n");
    try {
        FpgaConstraints_PinSwapText(bad, symbol, problems);
        ADD_FAILURE() << "no error";
    } catch (const TConstraintError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("s.pcf:2: ", 0), 0u) << e.what();
    }
}
