// The plug-in's module: the server module named "Permutor" with its seven commands.
#pragma once

#include "permutor/entry/ServerModule.h"

namespace permutor::entry {

class TPermutorServerModule : public TServerModule {
public:
    explicit TPermutorServerModule(host::IClient* client);
};

} // namespace permutor::entry
