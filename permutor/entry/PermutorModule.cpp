#include "permutor/entry/PermutorModule.h"

#include "permutor/entry/Commands.h"
#include "permutor/interactive/Swappers.h"

namespace permutor::entry {

TPermutorServerModule::TPermutorServerModule(host::IClient* client) : TServerModule(client, "Permutor") {
    // Registered here rather than by static initialisers, which a static link would drop.
    interactive::Swappers_Register();
    auto& launcher = CommandLauncher();
    launcher.RegisterCommand("ConfigurePermutor", Command_ConfigurePermutor, State_Configuration);
    launcher.RegisterCommand("RunAutoPermutor", Command_RunAutoPermutor, State_SwapCommand);
    launcher.RegisterCommand("RunManualPermutor", Command_RunManualPermutor, State_SwapCommand);
    launcher.RegisterCommand("RunKESTRELPermutor", Command_RunKESTRELPermutor, State_ExternalTool);
    launcher.RegisterCommand("RunManualPartSwapper", Command_RunManualPartSwapper, State_SwapCommand);
    launcher.RegisterCommand("RunManualDifferentialPairSwapper", Command_RunManualDifferentialPairSwapper,
                             State_SwapCommand);
    launcher.RegisterCommand("KESTRELPinSwap", Command_KESTRELPinSwap, State_ExternalToolPinSwap);
}

} // namespace permutor::entry
