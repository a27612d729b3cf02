#include "pcbhost/model/UniqueIdIndex.h"

#include "pcbhost/model/Board.h"
#include "pcbhost/model/Design.h"
#include "pcbhost/model/Schematic.h"
#include "permutor/host/Text.h"

namespace pcbhost {

using permutor::host::Text_Upper;

const std::vector<TUniqueIdIndex::TPlace>& TUniqueIdIndex::Places(const TProject& project,
                                                                  std::string_view key) {
    static const std::vector<TPlace> none;
    if (FGeneration != GIdentityGeneration.load(std::memory_order_relaxed))
        Build(project);
    auto it = FByKey.find(Text_Upper(key));
    return it == FByKey.end() ? none : it->second;
}

void TUniqueIdIndex::Build(const TProject& project) {
    // The counter is read first: a change made while building moves it past this value.
    FGeneration = GIdentityGeneration.load(std::memory_order_relaxed);
    ++FBuilds;
    FByKey.clear();
    auto add = [this](const std::string& id, TKind kind, std::size_t owner, std::size_t item) {
        FByKey[Text_Upper(id)].push_back({kind, std::uint32_t(owner), std::uint32_t(item)});
    };
    const auto& documents = project.Documents();
    for (std::size_t d = 0; d < documents.size(); ++d)
        if (const TSchDocument* sheet = documents[d]->Sheet())
            for (std::size_t u = 0; u < sheet->Units().size(); ++u)
                add(sheet->Units()[u]->UniqueIdText(), eUnit, d, u);
    if (const TCompiledDocument* compiled = project.Compiled()) {
        const auto& components = compiled->Data()->Components;
        for (std::size_t c = 0; c < components.size(); ++c) {
            add(components[c]->UniqueIdText, eCompiledComponent, c, 0);
            for (std::size_t p = 0; p < components[c]->Parts.size(); ++p)
                add(components[c]->Parts[p]->UniqueId(), eCompiledPart, c, p);
        }
    }
    for (std::size_t d = 0; d < documents.size(); ++d)
        if (const TBoard* board = documents[d]->Board())
            for (std::size_t k = 0; k < board->ComponentList().size(); ++k)
                add(board->ComponentList()[k]->Key(), eBoardComponent, d, k);
}

} // namespace pcbhost
