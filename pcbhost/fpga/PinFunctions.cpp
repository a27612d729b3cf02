#include "pcbhost/fpga/PinFunctions.h"

#include "permutor/host/Text.h"

#include <regex>
#include <vector>

namespace pcbhost::fpga {

using namespace permutor::host;

namespace {

std::vector<std::string> Tokens(std::string_view name) {
    std::vector<std::string> out;
    std::string current;
    for (char c : name) {
        if (c == '_' || c == '/' || c == ' ') {
            if (!current.empty())
                out.push_back(Text_Upper(current));
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        out.push_back(Text_Upper(current));
    return out;
}

bool AnyToken(const std::vector<std::string>& tokens, const std::regex& pattern) {
    for (const auto& t : tokens)
        if (std::regex_match(t, pattern))
            return true;
    return false;
}

// Functions that load or test the device: a pin with one of them is kept out of I/O groups.
const std::regex& XilinxConfigToken() {
    static const std::regex r(
        "D[0-9][0-9]|A[0-9][0-9]|MOSI|DIN|FCS|FOE|FWE|CSI|DOUT|CSO|RDWR|EMCCLK|PUDC|RS[01]|ADV|CCLK|DONE|"
        "PROGRAM|INIT|M[012]|TCK|TDI|TDO|TMS|CFGBVS|PERSTN[0-9]|POR|VBATT");
    return r;
}

} // namespace

bool PinFunction_IsSupply(std::string_view function) {
    const std::string upper = Text_Upper(Text_Trim(function));
    static const std::regex supply("(VCC|VDD|VSS|GND|VCCIO|VPP|NC|N/C|RSVD|RESERVED|DNU|VTT).*");
    return upper.empty() || std::regex_match(upper, supply);
}

TPinRoles Xilinx_Roles(std::string_view function) {
    TPinRoles roles;
    const std::vector<std::string> tokens = Tokens(function);
    if (tokens.empty())
        return roles;
    roles.Io = tokens[0] == "IO";
    if (roles.Io) {
        static const std::regex clk("MRCC|SRCC|GC|HDGC");
        static const std::regex vref("VREF");
        std::vector<std::string> uses(tokens.begin() + 1, tokens.end());
        roles.Clk = AnyToken(uses, clk);
        roles.Vref = AnyToken(uses, vref);
        roles.Config = AnyToken(uses, XilinxConfigToken());
        return roles;
    }
    if (PinFunction_IsSupply(function) && tokens[0] != "VCCBATT")
        return roles;
    roles.Config = std::regex_match(tokens[0], XilinxConfigToken()) || tokens[0] == "VCCBATT";
    roles.Special = !roles.Config;
    return roles;
}

std::string Xilinx_PartnerFunction(std::string_view function) {
    static const std::regex pair(R"((IO_L[0-9]+)([PN])(_.*))", std::regex::icase);
    std::match_results<std::string_view::const_iterator> m;
    if (!std::regex_match(function.begin(), function.end(), m, pair))
        return {};
    const char swapped = m.str(2) == "P" ? 'N' : m.str(2) == "N" ? 'P' : m.str(2) == "p" ? 'n' : 'p';
    return m.str(1) + swapped + m.str(3);
}

std::string Xilinx_Bank(std::string_view function) {
    static const std::regex bank(R"(IO_.*_([0-9]+))", std::regex::icase);
    std::match_results<std::string_view::const_iterator> m;
    if (!std::regex_match(function.begin(), function.end(), m, bank))
        return {};
    return m.str(1);
}

TPinRoles Lattice_Roles(std::string_view function, std::string_view dualFunction) {
    TPinRoles roles;
    const std::string upper = Text_Upper(Text_Trim(function));
    static const std::regex io("P[LRTB][0-9]+[A-D]|IO[LRTB]_.*");
    roles.Io = std::regex_match(upper, io);
    std::vector<std::string> uses = Tokens(dualFunction);
    if (!roles.Io) {
        // Dedicated pins name their use in the function itself.
        const std::vector<std::string> own = Tokens(function);
        uses.insert(uses.end(), own.begin(), own.end());
    } else {
        // iCE40 names carry the dual function after the I/O name: IOB_104_CBSEL1, IOL_13B_GBIN7.
        const std::vector<std::string> own = Tokens(function);
        uses.insert(uses.end(), own.begin() + (own.empty() ? 0 : 1), own.end());
    }
    static const std::regex clk("PCLK.*|GPLL.*|GBIN[0-9]*|GR|CLK.*|PCLKT.*|PCLKC.*");
    static const std::regex vref("VREF.*");
    static const std::regex config(
        "MCLK|CCLK|SO|SI|SN|CSSPIN|D[0-9]+|MOSI|MISO|SPI.*|INITN|DONE|PROGRAMN|CFG.*|"
        "TCK|TDI|TDO|TMS|CDONE|CRESET|CBSEL[0-9]*|SDO|SDI|SCK|SS|SCSN|HOLDN|"
        "WRITEN|DOUT|CSN|CS1N|BUSY|JTAGEN|SISPI|SCLK");
    roles.Clk = roles.Io && AnyToken(uses, clk);
    roles.Vref = AnyToken(uses, vref);
    roles.Config = AnyToken(uses, config);
    if (!roles.Io && !roles.Config && !roles.Vref && !PinFunction_IsSupply(function))
        roles.Special = true;
    return roles;
}

std::string Ice40_Side(std::string_view function) {
    static const std::regex side(R"(IO([TBLR])_.*)", std::regex::icase);
    std::match_results<std::string_view::const_iterator> m;
    if (!std::regex_match(function.begin(), function.end(), m, side))
        return {};
    return Text_Upper(m.str(1));
}

TPinRoles Quartus_Roles(std::string_view usage, std::string_view direction, std::string_view bank) {
    TPinRoles roles;
    // Dual-purpose pins read "~ALTERA_TMS~ / RESERVED_INPUT": the device's use comes first.
    std::string name(Text_Trim(usage.substr(0, usage.find(" / "))));
    if (name.size() > 2 && name.front() == '~' && name.back() == '~')
        name = name.substr(1, name.size() - 2);
    const std::string upper = Text_Upper(name);
    static const std::regex config("(ALTERA_)?(NCONFIG|NSTATUS|CONF_DONE|NCE|NCEO|MSEL[0-9]*|TCK|TMS|TDI|TDO|"
                                   "DCLK|DATA[0-9]+|ASDO|NCSO|FLASH_NCE|JTAGEN|CONFIG_SEL|DEV_CLRN|DEV_OE|"
                                   "INIT_DONE|CRC_ERROR|NCONFIG_DATA0|DATA0|CONFIG_SEL_NCSO).*");
    roles.Config = std::regex_match(upper, config);
    const std::string dir = Text_Upper(Text_Trim(direction));
    const bool signal = dir == "INPUT" || dir == "OUTPUT" || dir == "BIDIR";
    const bool unused = Text_StartsWithNoCase(upper, "RESERVED_INPUT") || upper == "GND+";
    roles.Io = !Text_Trim(bank).empty() && (signal || unused) && !roles.Config;
    static const std::regex clk("(CLK[0-9]+[PN]?|DIFFCLK.*|PLL[0-9]*_CLK.*)");
    roles.Clk = std::regex_match(upper, clk);
    roles.Vref = upper.find("VREF") != std::string::npos;
    if (!roles.Io && !roles.Config && !roles.Vref && !roles.Clk && !PinFunction_IsSupply(name) && !signal &&
        dir != "POWER" && dir != "GND")
        roles.Special = true;
    return roles;
}

bool PinName_BankAndRoles(std::string_view name, std::string& bank, TPinRoles& roles) {
    if (std::string side = Ice40_Side(name); !side.empty()) {
        bank = side;
        roles = Lattice_Roles(name, "");
        return true;
    }
    if (std::string b = Xilinx_Bank(name); !b.empty()) {
        bank = b;
        roles = Xilinx_Roles(name);
        return true;
    }
    return false;
}

void PinRoles_Store(const TPinRoles& roles, TReportPin& pin) {
    auto text = [](bool b) { return std::string(b ? "True" : "False"); };
    pin.Kinds[permutor::host::prff_IoPin] = text(roles.Io);
    pin.Kinds[permutor::host::prff_VrefPin] = text(roles.Vref);
    pin.Kinds[permutor::host::prff_ClkPin] = text(roles.Clk);
    pin.Kinds[permutor::host::prff_ConfigPin] = text(roles.Config);
    pin.Kinds[permutor::host::prff_SpecialPin] = text(roles.Special);
}

} // namespace pcbhost::fpga
