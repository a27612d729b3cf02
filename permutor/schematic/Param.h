// Name=value entries joined by "|": the text form of swap data and of cross-probe parameters.
#pragma once

#include <string>
#include <vector>

namespace permutor::schematic {

struct TParameter {
    std::string Name;
    std::string Value;
};

class TParameterList {
public:
    // Replaces the list with the entries of `text`. An entry without "=" or with an empty name is
    // dropped; the first "=" ends the name, later ones belong to the value. Names are trimmed,
    // values too when `trimValues` is set. Repeated names are kept in text order.
    void SetState_FromString(const std::string& text, bool trimValues);
    // The value of the first entry whose name equals the trimmed `name` (ASCII letters compared
    // without case). False and an empty value when there is none.
    bool GetState_ParameterAsString(const std::string& name, std::string& value) const;
    // Appends an entry (no trimming) and writes the list back as text.
    void SetState_AddParameter(const std::string& name, const std::string& value);
    std::string GetState_ToString() const;

    const std::vector<TParameter>& Items() const { return FItems; }
    std::size_t Count() const { return FItems.size(); }
    void Clear() { FItems.clear(); }

private:
    std::vector<TParameter> FItems;
};

} // namespace permutor::schematic
