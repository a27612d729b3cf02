// Interface identity of the in-memory host's objects: what each object answers for, that base
// interfaces are found, that absent ones are refused, and that identity is one address.
#include "pcbhost/model/Host.h"

#include <gtest/gtest.h>

using namespace pcbhost;

TEST(Identity, PrimitivesAnswerForTheirInterfaceAndItsBases) {
    THost host;
    auto& pcb = host.AddFreeBoard("/virtual/i.kicad_pcb");
    TPad& pad = pcb.AddFreePad("1", 0, 0).Net("N").Model();
    TVia& via = pcb.AddVia("N", {1, 0});
    IPCB_Primitive* asPrimitive = &pad;
    EXPECT_TRUE(QueryInterface<IPCB_Pad>(asPrimitive));
    EXPECT_EQ(QueryInterface<IPCB_Primitive>(asPrimitive).get(), asPrimitive);
    EXPECT_FALSE(QueryInterface<IPCB_Via>(asPrimitive));
    EXPECT_FALSE(QueryInterface<IPCB_Component>(asPrimitive));
    EXPECT_TRUE(QueryInterface<IPCB_Via>(static_cast<IPCB_Primitive*>(&via)));
    EXPECT_EQ(ObjectIdentity<IPCB_Pad>(&pad), ObjectIdentity(asPrimitive));
    EXPECT_NE(ObjectIdentity(asPrimitive), ObjectIdentity<IPCB_Primitive>(&via));
    EXPECT_TRUE(QueryInterface<IPCB_Net>(pad.Net()));
    EXPECT_FALSE(QueryInterface<IPCB_Primitive>(pad.Net())) << "a net is no primitive";
}

TEST(Identity, ClientAnswersForTheServersAndNothingElse) {
    THost host;
    IPtr<IClient> client = host.Client();
    auto pcb = QueryInterface<IPCB_ServerInterface>(client);
    auto sch = QueryInterface<ISch_ServerInterface>(client);
    EXPECT_EQ(pcb.get(), static_cast<IPCB_ServerInterface*>(&host.PcbServer()));
    EXPECT_EQ(sch.get(), static_cast<ISch_ServerInterface*>(&host.SchServer()));
    EXPECT_FALSE(QueryInterface<IWorkspace>(client)) << "the workspace is asked for, not queried";
    EXPECT_EQ(QueryInterface<IClient>(QueryInterface<IUnknown>(client)), client);
    // Asking a server for the client finds nothing: the servers are separate objects.
    EXPECT_FALSE(QueryInterface<IClient>(pcb));
}

TEST(Identity, ViewsOfferTheModeInterfaceOnlyWithAMode) {
    THost host;
    auto& pcb = host.AddFreeBoard("/virtual/v.kicad_pcb");
    auto plain = host.OpenView(pcb);
    EXPECT_FALSE(QueryInterface<IServerDocumentViewMode>(plain));
    auto restricted = host.OpenView(pcb.Path(), 1);
    auto mode = QueryInterface<IServerDocumentViewMode>(restricted);
    ASSERT_TRUE(mode);
    EXPECT_EQ(mode->EditingMode(), 1);
    auto document = restricted->OwnerDocument();
    EXPECT_EQ(document->FileName(), pcb.Path());
    EXPECT_EQ(document->Kind(), "PCB");
    // The editor document and the design document of a file are one object.
    EXPECT_EQ(ObjectIdentity(document.get()), ObjectIdentity<IDocument>(&pcb.Document()));
    EXPECT_THROW(host.OpenView("/virtual/none.kicad_pcb"), std::invalid_argument);
}

TEST(Identity, DesignObjectsAnswerForTheirBaseDesignObject) {
    THost host;
    auto& project = host.AddProject("/virtual/p/p.kicad_pro");
    auto& sheet = project.AddSchematic("/virtual/p/p.kicad_sch");
    sheet.AddComponent("R1").AddPin("1").Net("A");
    project.Compile();
    auto component = project.Model().CompiledDocument()->Component(0);
    ASSERT_TRUE(component);
    EXPECT_TRUE(QueryInterface<IDMObject>(component));
    auto pin = component->Pin(0);
    EXPECT_TRUE(QueryInterface<IDMObject>(pin));
    EXPECT_FALSE(QueryInterface<IComponent>(pin));
    EXPECT_TRUE(QueryInterface<IExtendedProject>(static_cast<IProject*>(&project.Model())));
    auto unit = QueryInterface<ISch_Component>(static_cast<ISch_Component*>(sheet.Component("R1").Unit(1)));
    EXPECT_TRUE(QueryInterface<ISch_Object>(unit));
    EXPECT_FALSE(QueryInterface<ISch_Pin>(unit));
}

TEST(Identity, ReferencesAreCountedAndObjectsOutliveTheirHolders) {
    IPtr<IPCB_Net> net;
    IPtr<IPCB_Pad> pad;
    {
        THost host;
        auto& pcb = host.AddFreeBoard("/virtual/r.kicad_pcb");
        pad = IPtr<IPCB_Pad>(&pcb.AddFreePad("1", 0, 0).Net("N").Model());
        net = pad->Net();
    }
    // The host is gone; what the caller still holds stays valid and detached.
    EXPECT_EQ(net->Name(), "N");
    EXPECT_FALSE(pad->Board());
    EXPECT_EQ(pad->Net(), net);
    EXPECT_EQ(net->SubNetGroupCount(), 1);
}
