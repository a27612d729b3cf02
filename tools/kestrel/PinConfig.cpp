#include "PinConfig.h"

#include "permutor/host/Text.h"

#include <pugixml.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

namespace kestrel {

using permutor::host::Text_EqualNoCase;

namespace {

constexpr const char* cRoot = "pinConfiguration";
// Comments and layout are kept, so that a saved file differs only in the swapped signals.
constexpr unsigned cParseOptions = pugi::parse_full | pugi::parse_ws_pcdata;

bool ReadFile(const std::string& path, std::string& text, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return true;
}

std::string Where(const std::string& path, const std::string& text, std::ptrdiff_t offset) {
    std::size_t line = 1, column = 1;
    for (std::ptrdiff_t i = 0; i < offset && std::size_t(i) < text.size(); ++i) {
        if (text[std::size_t(i)] == '\n')
            ++line, column = 1;
        else
            ++column;
    }
    return path + ":" + std::to_string(line) + ":" + std::to_string(column);
}

bool Parse(const std::string& path, pugi::xml_document& document, std::string& error, std::string& text) {
    if (!ReadFile(path, text, error))
        return false;
    const pugi::xml_parse_result r = document.load_buffer(text.data(), text.size(), cParseOptions);
    if (!r) {
        error = Where(path, text, r.offset) + ": " + r.description();
        return false;
    }
    if (!document.child(cRoot)) {
        error = path + ": expected the root element <" + std::string(cRoot) + ">";
        return false;
    }
    return true;
}

bool IsYes(const pugi::xml_attribute& a) {
    return Text_EqualNoCase(a.value(), "yes") || Text_EqualNoCase(a.value(), "true");
}

pugi::xml_node FindPinNode(const pugi::xml_document& document, const std::string& name) {
    for (pugi::xml_node set : document.child(cRoot).children("swapSet"))
        for (pugi::xml_node pin : set.children("pin"))
            if (Text_EqualNoCase(pin.attribute("name").value(), name))
                return pin;
    return {};
}

// The file as it was with only its root element written anew: the parser keeps the layout inside
// the root, not around it (the declaration, comments and line breaks before and after).
std::string Spliced(const std::string& original, const pugi::xml_document& document) {
    const pugi::xml_node root = document.child(cRoot);
    std::ostringstream element;
    root.print(element, "", pugi::format_raw);
    const std::ptrdiff_t start = root.offset_debug() - 1;
    const std::size_t close = original.rfind(std::string("</") + cRoot);
    const std::size_t end = close == std::string::npos ? close : original.find('>', close);
    if (start < 0 || std::size_t(start) >= original.size() || original[std::size_t(start)] != '<' ||
        end == std::string::npos) {
        std::ostringstream whole;
        document.save(whole, "", pugi::format_raw | pugi::format_no_declaration);
        return whole.str();
    }
    return original.substr(0, std::size_t(start)) + element.str() + original.substr(end + 1);
}

} // namespace

std::string JoinNames(const std::vector<std::string>& names) {
    std::string r;
    for (const auto& n : names)
        r += (r.empty() ? "" : ",") + n;
    return r;
}

bool TPinConfig::Load(const std::string& path, std::string& error) {
    FPath = path;
    FPins.clear();
    pugi::xml_document document;
    std::string text;
    if (!Parse(path, document, error, text))
        return false;
    pugi::xml_node root = document.child(cRoot);
    FComponent = root.attribute("component").value();
    for (pugi::xml_node set : root.children("swapSet"))
        for (pugi::xml_node pin : set.children("pin")) {
            const std::string name = pin.attribute("name").value();
            if (name.empty()) {
                error = path + ": a <pin> of swap set \"" + set.attribute("name").value() + "\" has no name";
                return false;
            }
            FPins.push_back({name, pin.attribute("signal").value(), set.attribute("name").value(),
                             IsYes(pin.attribute("locked"))});
        }
    return true;
}

const TConfigPin* TPinConfig::Find(const std::string& name) const {
    for (const auto& p : FPins)
        if (Text_EqualNoCase(p.Name, name))
            return &p;
    return nullptr;
}

std::vector<std::string> TPinConfig::Candidates(const std::string& name) const {
    std::vector<std::string> r;
    std::vector<std::string> sets;
    for (const auto& p : FPins)
        if (Text_EqualNoCase(p.Name, name)) {
            if (p.Locked)
                return {};
            sets.push_back(p.SwapSet);
        }
    for (const auto& p : FPins) {
        if (p.Locked || Text_EqualNoCase(p.Name, name))
            continue;
        bool inSet = false;
        for (const auto& s : sets)
            inSet = inSet || s == p.SwapSet;
        bool listed = false;
        for (const auto& n : r)
            listed = listed || Text_EqualNoCase(n, p.Name);
        if (inSet && !listed)
            r.push_back(p.Name);
    }
    return r;
}

bool TPinConfig::SwapSignalsAndSave(const std::string& a, const std::string& b, std::string& error) {
    pugi::xml_document document;
    std::string original;
    if (!Parse(FPath, document, error, original))
        return false;
    pugi::xml_node pa = FindPinNode(document, a), pb = FindPinNode(document, b);
    if (!pa || !pb) {
        error = FPath + ": no pin " + (pa ? b : a);
        return false;
    }
    const std::string sa = pa.attribute("signal").value(), sb = pb.attribute("signal").value();
    auto set = [](pugi::xml_node pin, const std::string& signal) {
        pugi::xml_attribute attribute = pin.attribute("signal");
        if (!attribute)
            attribute = pin.append_attribute("signal");
        attribute.set_value(signal.c_str());
    };
    set(pa, sb);
    set(pb, sa);

    const std::string temporary = FPath + ".saving";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << Spliced(original, document);
        out.flush();
        if (!out) {
            error = "cannot write " + temporary + ": " + std::strerror(errno);
            std::remove(temporary.c_str());
            return false;
        }
    }
    // On disk before the rename, so that a crash leaves the old file or the new one.
    if (int fd = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    if (std::rename(temporary.c_str(), FPath.c_str()) != 0) {
        error = "cannot replace " + FPath + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return Load(FPath, error);
}

} // namespace kestrel
