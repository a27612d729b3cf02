// Makes the interactive swappers known to the swap runner, one class per swapper kind.
#pragma once

namespace permutor::interactive {

// Registers the pin, part, differential-pair and external-tool swappers. Called when the module starts;
// calling it again changes nothing.
void Swappers_Register();

} // namespace permutor::interactive
