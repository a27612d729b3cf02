#include "pcbhost/project/ChildItems.h"

#include <algorithm>
#include <filesystem>

namespace pcbhost::kicad {

using sexpr::Node;
namespace fs = std::filesystem;

void ChildItems_FromFields(TSchSymbol& symbol, Node placedUnit, const std::string& sheetFolder) {
    for (Node child : placedUnit.children()) {
        if (!child.is("property") || child.size() <= 2)
            continue;
        const std::string value(child.valueAt(2));
        // Field texts are mostly values and names: only one naming a file that is there counts.
        if (value.empty() || value.find('\n') != std::string::npos)
            continue;
        fs::path file(value);
        if (file.is_relative())
            file = fs::path(sheetFolder) / file;
        std::error_code ec;
        if (!fs::is_regular_file(file, ec))
            continue;
        const std::string fullPath = file.lexically_normal().string();
        auto& paths = symbol.ChildItemPaths;
        if (std::find(paths.begin(), paths.end(), fullPath) == paths.end())
            paths.push_back(fullPath);
    }
}

} // namespace pcbhost::kicad
