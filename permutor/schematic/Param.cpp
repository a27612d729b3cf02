#include "permutor/schematic/Param.h"

#include "permutor/host/Text.h"

namespace permutor::schematic {

using host::Text_EqualNoCase;
using host::Text_Trim;

void TParameterList::SetState_FromString(const std::string& text, bool trimValues) {
    FItems.clear();
    std::size_t entryStart = 0;
    std::size_t equalsAt = std::string::npos; // first "=" of the current entry
    auto endEntry = [&](std::size_t entryEnd) {
        if (equalsAt != std::string::npos) {
            const std::string_view entry(text.data() + entryStart, entryEnd - entryStart);
            const std::size_t cut = equalsAt - entryStart;
            const std::string_view name = Text_Trim(entry.substr(0, cut));
            std::string_view value = entry.substr(cut + 1);
            if (trimValues)
                value = Text_Trim(value);
            if (!name.empty())
                FItems.push_back(TParameter{std::string(name), std::string(value)});
        }
        entryStart = entryEnd + 1;
        equalsAt = std::string::npos;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '|')
            endEntry(i);
        else if (text[i] == '=' && equalsAt == std::string::npos)
            equalsAt = i;
    }
    endEntry(text.size());
}

bool TParameterList::GetState_ParameterAsString(const std::string& name, std::string& value) const {
    const std::string_view wanted = Text_Trim(name);
    for (const auto& item : FItems)
        if (Text_EqualNoCase(item.Name, wanted)) {
            value = item.Value;
            return true;
        }
    value.clear();
    return false;
}

void TParameterList::SetState_AddParameter(const std::string& name, const std::string& value) {
    FItems.push_back(TParameter{name, value});
}

std::string TParameterList::GetState_ToString() const {
    std::string text;
    for (const auto& item : FItems) {
        if (!text.empty())
            text += '|';
        text += item.Name;
        text += '=';
        text += item.Value;
    }
    return text;
}

} // namespace permutor::schematic
