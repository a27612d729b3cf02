// Giving labels new texts in a computed connectivity must name every net as reading the renamed
// sheets again does: the back-annotation checks its label renames that way. Judged on the example
// and on every shared board, hierarchies and sheets used twice included, with renames that join
// nets, split them and carry characters that need quoting.
#include "pcbhost/kicad/SExpr.h"
#include "pcbhost/project/BackAnnotation.h"
#include "pcbhost/project/KicadProject.h"
#include "pcbhost/project/SchematicConnectivity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

namespace fs = std::filesystem;
using namespace pcbhost;
using namespace pcbhost::kicad;

namespace {

std::vector<fs::path> Projects() {
    std::vector<fs::path> roots{fs::path(PERMUTOR_SOURCE_DIR) / "examples/demo/demo.kicad_pro"};
    for (const auto& e : fs::recursive_directory_iterator(fs::path(PERMUTOR_SHARED_DIR) / "boards"))
        if (e.path().extension() == ".kicad_pro")
            roots.push_back(e.path());
    return roots;
}

std::map<std::string, std::string> PinNets(const TSchematicConnectivity& conn) {
    std::map<std::string, std::string> nets;
    for (const auto& p : conn.PinNets())
        nets[p.Reference + "-" + p.Pin] = p.Net;
    return nets;
}

bool HasText(TSchItemKind kind) {
    return kind == TSchItemKind::Label || kind == TSchItemKind::GlobalLabel ||
           kind == TSchItemKind::HierLabel || kind == TSchItemKind::SheetPin;
}

// The connectivity of the sheets with `texts` written into them and read again.
std::map<std::string, std::string> PinNetsReread(const TSchematicSet& set,
                                                 const std::vector<TSchematicConnectivity::TRelabel>& texts) {
    std::map<std::string, sexpr::Document> edited;
    for (std::size_t f = 0; f < set.Files().size(); ++f)
        edited.emplace(set.Files()[f], set.Document(f));
    for (const auto& t : texts)
        edited.at(set.Files()[t.File]).setQuoted(t.Node.atom(1), t.Text);
    TSchematicSet after(set.RootPath(), set.ProjectName(), {}, [&edited](const std::string& path) {
        auto doc = edited.find(path);
        return doc == edited.end() ? sexpr::Document::load(path, "kicad_sch") : doc->second;
    });
    return PinNets(TSchematicConnectivity(after));
}

} // namespace

TEST(SchematicRelabel, NamesNetsAsReadingTheRenamedSheetsAgainDoes) {
    std::size_t boards = 0, sheetPins = 0, moved = 0;
    for (const fs::path& path : Projects()) {
        SCOPED_TRACE(path.string());
        THost host;
        auto project = TKicadProject::Open(host, path.string());
        ASSERT_TRUE(project->Schematics());
        const TSchematicSet& set = *project->Schematics();
        TSchematicConnectivity conn(set);
        const auto before = PinNets(conn);

        // Each label once, however many instances show its sheet.
        std::vector<TSchematicConnectivity::TRelabel> labels;
        std::set<std::pair<std::size_t, std::uint32_t>> seen;
        for (const auto& instance : conn.Instances())
            for (const auto& item : instance.Items)
                if (HasText(item.Kind) && seen.emplace(item.File, item.Node.begin()).second) {
                    labels.push_back({item.File, item.Node, item.Text});
                    sheetPins += item.Kind == TSchItemKind::SheetPin;
                }
        if (labels.size() < 4)
            continue;
        ++boards;
        // Every third label takes another's text (nets join and split), every third a new name
        // that needs quoting; the rest stay.
        std::vector<TSchematicConnectivity::TRelabel> texts;
        for (std::size_t i = 0; i < labels.size(); ++i) {
            auto t = labels[i];
            if (i % 3 == 0)
                t.Text = labels[(i * 7 + 1) % labels.size()].Text;
            else if (i % 3 == 1)
                t.Text += "_\"q\\" + std::to_string(i);
            else
                continue;
            texts.push_back(t);
        }
        // Of two texts for one label the later counts.
        auto first = texts.front();
        first.Text = "NEVER_SEEN";
        texts.insert(texts.begin(), first);

        ASSERT_TRUE(conn.Relabel(set, texts));
        texts.erase(texts.begin());
        const auto relabelled = PinNets(conn);
        EXPECT_EQ(relabelled, PinNetsReread(set, texts));
        for (const auto& [pin, net] : relabelled) {
            EXPECT_EQ(net.find("NEVER_SEEN"), std::string::npos) << pin;
            moved += before.at(pin) != net;
        }

        // Back to the texts the sheets hold: the nets are the first ones again.
        std::vector<TSchematicConnectivity::TRelabel> back;
        for (const auto& t : texts)
            back.push_back({t.File, t.Node, std::string(t.Node.valueAt(1))});
        ASSERT_TRUE(conn.Relabel(set, back));
        EXPECT_EQ(PinNets(conn), before);

        // A node that is no label is refused, and nothing changes.
        std::vector<TSchematicConnectivity::TRelabel> wrong = texts;
        wrong.push_back({0, set.Document(0).root(), "X"});
        EXPECT_FALSE(conn.Relabel(set, wrong));
        EXPECT_EQ(PinNets(conn), before);
    }
    EXPECT_GE(boards, 5u);
    EXPECT_GT(sheetPins, 0u);
    EXPECT_GT(moved, 100u);
}

// The back-annotation's checks of label renames agree with checks that read the edited sheets:
// the same edits, the same pins left for an edit by hand, the same reasons.
TEST(SchematicRelabel, BackAnnotationPlansTheSameWithEitherCheck) {
    std::size_t planned = 0, renamed = 0, refused = 0;
    for (const fs::path& path : Projects()) {
        SCOPED_TRACE(path.string());
        THost host;
        auto project = TKicadProject::Open(host, path.string());
        if (!project->Board() || !project->Schematics())
            continue;
        // Pins of each component exchange nets in pairs, as a run of swaps would leave them. Where
        // the pairs start depends on the reference, so that the copies of a sheet used twice
        // change differently: renaming a label there moves the other copy's pin too, and the
        // check must find that.
        std::vector<TPinChange> changes;
        TSchematicConnectivity conn(*project->Schematics());
        std::map<std::string, std::vector<TSchematicConnectivity::TPinNet>> byPart;
        for (const auto& p : conn.PinNets())
            if (!p.Net.starts_with("unconnected-("))
                byPart[p.Reference].push_back(p);
        for (const auto& [reference, pins] : byPart)
            for (std::size_t i = std::size_t(reference.back()) % 3; i + 1 < pins.size(); i += 5)
                if (pins[i].Net != pins[i + 1].Net) {
                    changes.push_back({reference, pins[i].Pin, pins[i].Net, pins[i + 1].Net});
                    changes.push_back({reference, pins[i + 1].Pin, pins[i + 1].Net, pins[i].Net});
                }
        {
            // Without net label changes every edit renames a label.
            const auto fast = BackAnnotation_Plan(*project->Schematics(), changes, false);
            const auto plain = BackAnnotation_Plan(*project->Schematics(), changes, false, nullptr, true);
            EXPECT_EQ(fast.WiresCut + fast.LabelsPlaced, 0);
            EXPECT_EQ(fast.Edits, plain.Edits);
            EXPECT_EQ(fast.NetRenames, plain.NetRenames);
            EXPECT_EQ(fast.LabelsRenamed, plain.LabelsRenamed);
            EXPECT_EQ(fast.WiresCut, plain.WiresCut);
            EXPECT_EQ(fast.LabelsPlaced, plain.LabelsPlaced);
            ASSERT_EQ(fast.NeedsEdit.size(), plain.NeedsEdit.size());
            for (std::size_t i = 0; i < fast.NeedsEdit.size(); ++i) {
                EXPECT_EQ(fast.NeedsEdit[i].Reference + "-" + fast.NeedsEdit[i].Pin,
                          plain.NeedsEdit[i].Reference + "-" + plain.NeedsEdit[i].Pin);
                EXPECT_EQ(fast.NeedsEdit[i].Reason, plain.NeedsEdit[i].Reason);
                refused += fast.NeedsEdit[i].Reason.starts_with("the schematic edit would not hold");
            }
            planned += changes.size() - fast.NeedsEdit.size();
            renamed += std::size_t(fast.LabelsRenamed);
        }
    }
    EXPECT_GT(planned, 20u);
    EXPECT_GT(renamed, 10u);
    EXPECT_GT(refused, 5u); // renames that the checks turned down, one by one
}
