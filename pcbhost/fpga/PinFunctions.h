// What FPGA vendors encode in their pin function names: a pin's roles (user I/O, reference
// voltage, clock input, configuration, other dedicated function), its I/O bank and the other pin
// of its differential pair.
#pragma once

#include "pcbhost/fpga/PinReport.h"

#include <string>
#include <string_view>

namespace pcbhost::fpga {

struct TPinRoles {
    bool Io = false, Vref = false, Clk = false, Config = false, Special = false;
};

// Power, ground and not-connected pins by their usual names (VCC..., GND..., NC, RSVD...).
bool PinFunction_IsSupply(std::string_view function);

// Xilinx names: IO_L12P_T1_MRCC_35 is a user I/O of bank 35, clock capable, the true side of
// pair 12; DONE_0 and PROGRAM_B_0 configure the device; MGT... and analog pins are special.
TPinRoles Xilinx_Roles(std::string_view function);
// The function name of the other pin of the pair (P and N swapped), empty for a single pin.
std::string Xilinx_PartnerFunction(std::string_view function);
// The bank number at the end of an I/O name, empty when the name carries none.
std::string Xilinx_Bank(std::string_view function);

// Lattice names: PL2A/PT15B (ECP5, MachXO) or IOL_2A/IOT_170 (iCE40) are user I/O; the dual
// function column names clock, reference and configuration uses.
TPinRoles Lattice_Roles(std::string_view function, std::string_view dualFunction);
// iCE40 I/O names carry the device side (IOT_, IOB_, IOL_, IOR_), which is the bank; "T", "B",
// "L" or "R", empty for another name.
std::string Ice40_Side(std::string_view function);

// Quartus pin usage: "~ALTERA_nCONFIG~", "nSTATUS", "TCK" configure; a signal with a direction
// is a user I/O.
TPinRoles Quartus_Roles(std::string_view usage, std::string_view direction, std::string_view bank);

// Bank and roles from a symbol pin name alone, for a device without a pin report: Xilinx and
// iCE40 names. False when the name encodes no bank.
bool PinName_BankAndRoles(std::string_view name, std::string& bank, TPinRoles& roles);

// Stores roles as the report's Boolean known fields ("True"/"False").
void PinRoles_Store(const TPinRoles& roles, TReportPin& pin);

} // namespace pcbhost::fpga
