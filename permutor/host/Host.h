// Everything the module knows of its host, and the process-wide slot holding the client.
#pragma once

#include "permutor/host/Client.h"
#include "permutor/host/Fpga.h"
#include "permutor/host/Pcb.h"
#include "permutor/host/Sch.h"
#include "permutor/host/Text.h"
#include "permutor/host/Unknown.h"
#include "permutor/host/Workspace.h"
