// The stand-in tool's knowledge of one device: a pin-configuration file of our own format that
// lists, for one component, named swap sets of pins with the signal each pin carries, and pins
// the FPGA design locks in place. A confirmed swap exchanges the two pins' signals in the file.
#pragma once

#include <string>
#include <vector>

namespace kestrel {

struct TConfigPin {
    std::string Name, Signal, SwapSet;
    bool Locked = false;
};

class TPinConfig {
public:
    // Reads the file; false with the reason (file, line and column where it is the content)
    // in `error`.
    bool Load(const std::string& path, std::string& error);

    const std::string& Component() const { return FComponent; }
    const std::vector<TConfigPin>& Pins() const { return FPins; }
    // The pin of that name (letter case aside), or none.
    const TConfigPin* Find(const std::string& name) const;
    // The pins `name` may move to: the other unlocked pins of its swap sets, in file order. None
    // for a locked or unknown pin.
    std::vector<std::string> Candidates(const std::string& name) const;

    // Exchanges the signals of two pins and saves the file in one step (a temporary file renamed
    // over it); the file stays as it was when that fails. False with the reason in `error`.
    bool SwapSignalsAndSave(const std::string& a, const std::string& b, std::string& error);

private:
    std::string FPath, FComponent;
    std::vector<TConfigPin> FPins;
};

// "a,b,c".
std::string JoinNames(const std::vector<std::string>& names);

} // namespace kestrel
