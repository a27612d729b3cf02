// The temporary board net that owns the drawn connection lines: dropped with the data set.
#include "permutor/host/Services.h"
#include "permutor/model/SwapDataSet.h"

namespace permutor::model {

using namespace permutor::host;

void TSwapDataSet::RemoveDummyNetForConnections() {
    if (!FDummyNet)
        return;
    IPtr<IPCB_Net> net = std::move(FDummyNet);
    if (FPCBBoard)
        FPCBBoard->RemoveNet(net.get());
    if (auto server = PCBServer_Get())
        server->DestroyObject(net.get());
}

} // namespace permutor::model
