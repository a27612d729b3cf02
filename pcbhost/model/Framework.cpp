#include "pcbhost/model/Framework.h"

#include "pcbhost/model/Board.h"
#include "pcbhost/model/Design.h"
#include "pcbhost/model/PinInfo.h"
#include "pcbhost/model/Schematic.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace pcbhost {

namespace fs = std::filesystem;
using nlohmann::json;

bool Parameters_Find(std::string_view parameters, std::string_view name, std::string& value) {
    const std::string_view wanted = Text_Trim(name);
    std::size_t start = 0;
    while (start <= parameters.size()) {
        std::size_t end = parameters.find('|', start);
        if (end == std::string_view::npos)
            end = parameters.size();
        std::string_view entry = parameters.substr(start, end - start);
        std::size_t eq = entry.find('=');
        if (eq != std::string_view::npos && Text_EqualNoCase(Text_Trim(entry.substr(0, eq)), wanted)) {
            value = std::string(Text_Trim(entry.substr(eq + 1)));
            return true;
        }
        start = end + 1;
    }
    value.clear();
    return false;
}

std::string DocumentKind_OfPath(std::string_view path) {
    auto dot = path.find_last_of('.');
    auto slash = path.find_last_of("/\\");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    std::string_view ext = path.substr(dot);
    if (Text_EqualNoCase(ext, ".kicad_pcb"))
        return "PCB";
    if (Text_EqualNoCase(ext, ".kicad_sch"))
        return "SCH";
    if (Text_EqualNoCase(ext, ".kicad_sym"))
        return "SCHLIB";
    if (Text_EqualNoCase(ext, ".kicad_pro"))
        return "PCBPROJECT";
    return {};
}

std::string Options_DefaultDirectory() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return (fs::path(xdg) / "pcbhost").string();
    const char* home = std::getenv("HOME");
    return (fs::path(home && *home ? home : ".") / ".config" / "pcbhost").string();
}

// ---------------------------------------------------------------- views, extensions

TView::TView(TDocument* document) : FDocument(document) {}

bool TView::QueryInterface(const TGuid& iid, void** out) {
    if (iid == IServerDocumentViewMode::IID && !FHasMode) {
        *out = nullptr;
        return false;
    }
    return TUnknownImpl::QueryInterface(iid, out);
}

IPtr<IServerDocument> TView::OwnerDocument() {
    return FDocument;
}

TExtension& TExtensionRegistry::Add(const std::string& name, std::int32_t state) {
    FExtensions.push_back(MakeObject<TExtension>(name, state));
    return *FExtensions.back();
}

IPtr<IExtension> TExtensionRegistry::FindByName(const std::string& name) {
    for (auto& e : FExtensions)
        if (Text_EqualNoCase(e->Name(), name))
            return IPtr<IExtension>(e.get());
    return nullptr;
}

// ---------------------------------------------------------------- options

struct TOptionsStorage::TData {
    json Root = json::object();
    const json* Find(const std::string& section, const std::string& name) const {
        auto s = Root.find(section);
        if (s == Root.end() || !s->is_object())
            return nullptr;
        auto v = s->find(name);
        return v == s->end() ? nullptr : &*v;
    }
};

TOptionsStorage::TOptionsStorage(std::string file)
    : FFile(std::move(file)), FData(std::make_unique<TData>()) {
    std::ifstream in(FFile);
    if (!in)
        return;
    // A damaged file is treated as empty: options are conveniences, never worth failing for.
    json parsed = json::parse(in, nullptr, false);
    if (parsed.is_object())
        FData->Root = std::move(parsed);
}

TOptionsStorage::~TOptionsStorage() {
    try {
        Flush();
    } catch (...) {
        // Released during unwinding or at shutdown: losing options beats terminating.
    }
}

bool TOptionsStorage::ValueExists(const std::string& section, const std::string& name) {
    return FData->Find(section, name) != nullptr;
}

std::string TOptionsStorage::ReadString(const std::string& section, const std::string& name,
                                        const std::string& defaultValue) {
    const json* v = FData->Find(section, name);
    if (!v)
        return defaultValue;
    if (v->is_string())
        return v->get<std::string>();
    if (v->is_boolean())
        return v->get<bool>() ? "True" : "False";
    if (v->is_number_integer())
        return std::to_string(v->get<long long>());
    return v->dump();
}

void TOptionsStorage::WriteString(const std::string& section, const std::string& name,
                                  const std::string& value) {
    FData->Root[section][name] = value;
    FDirty = true;
}

std::int32_t TOptionsStorage::ReadInteger(const std::string& section, const std::string& name,
                                          std::int32_t defaultValue) {
    const json* v = FData->Find(section, name);
    if (!v)
        return defaultValue;
    if (v->is_number_integer())
        return v->get<std::int32_t>();
    if (v->is_boolean())
        return v->get<bool>() ? 1 : 0;
    if (v->is_string()) {
        const std::string& s = v->get_ref<const std::string&>();
        char* end = nullptr;
        long n = std::strtol(s.c_str(), &end, 10);
        if (!s.empty() && end && *end == 0)
            return std::int32_t(n);
    }
    return defaultValue;
}

void TOptionsStorage::WriteInteger(const std::string& section, const std::string& name, std::int32_t value) {
    FData->Root[section][name] = value;
    FDirty = true;
}

bool TOptionsStorage::ReadBoolean(const std::string& section, const std::string& name, bool defaultValue) {
    const json* v = FData->Find(section, name);
    if (!v)
        return defaultValue;
    if (v->is_boolean())
        return v->get<bool>();
    if (v->is_number_integer())
        return v->get<long long>() != 0;
    if (v->is_string()) {
        const std::string& s = v->get_ref<const std::string&>();
        if (Text_EqualNoCase(s, "true") || s == "1")
            return true;
        if (Text_EqualNoCase(s, "false") || s == "0")
            return false;
    }
    return defaultValue;
}

void TOptionsStorage::WriteBoolean(const std::string& section, const std::string& name, bool value) {
    FData->Root[section][name] = value;
    FDirty = true;
}

void TOptionsStorage::Flush() {
    if (!FDirty)
        return;
    fs::path target(FFile);
    if (target.has_parent_path())
        fs::create_directories(target.parent_path());
    // Written beside the target and renamed over it, so a crash never leaves half a file.
    fs::path temp = target;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        if (!out)
            throw std::runtime_error("cannot write options file " + temp.string());
        out << FData->Root.dump(2) << '\n';
        if (!out)
            throw std::runtime_error("cannot write options file " + temp.string());
    }
    fs::rename(temp, target);
    FDirty = false;
}

// ---------------------------------------------------------------- client

TClient::TClient(TWorkspace* workspace, TPcbServer* pcb, TSchServer* sch, IPtr<IHostUI> ui)
    : FWorkspace(workspace), FPcb(pcb), FSch(sch), FUI(std::move(ui)),
      FExtensions(MakeObject<TExtensionRegistry>()), FOptionsDirectory(Options_DefaultDirectory()) {}

TClient::~TClient() = default;

bool TClient::QueryInterface(const TGuid& iid, void** out) {
    // The servers are separate objects reached through the client.
    if (iid == IPCB_ServerInterface::IID)
        return FPcb->QueryInterface(iid, out);
    if (iid == ISch_ServerInterface::IID)
        return FSch->QueryInterface(iid, out);
    return TUnknownImpl::QueryInterface(iid, out);
}

bool TClient::StartServer(const std::string& name) {
    FStarted.push_back(name);
    return Text_EqualNoCase(name, "PCB") || Text_EqualNoCase(name, "SCH");
}

void TClient::ShowMessageWithoutUI(const std::string& text, const std::string& caption) {
    FSink.push_back({text, caption});
}

IPtr<IExtensionRegistry> TClient::ExtensionRegistry() {
    return FExtensions;
}

std::string TClient::DocumentKindOfPath(const std::string& path) {
    std::string kind = DocumentKind_OfPath(path);
    if (!kind.empty())
        return kind;
    std::ifstream in(path, std::ios::binary);
    std::string head(64 * 1024, '\0');
    in.read(head.data(), std::streamsize(head.size()));
    head.resize(std::size_t(in.gcount()));
    return fpga::PinReport_Recognise(head) ? cPinInfoDocumentKind : std::string();
}

std::string TClient::PinReportPackage(const std::string& path) {
    std::vector<TProject*> projects{&FWorkspace->FreeProject()};
    for (auto& project : FWorkspace->Projects())
        projects.push_back(project.get());
    for (TProject* project : projects)
        for (auto& document : project->Documents()) {
            if (!document->Sheet())
                continue;
            const fs::path folder = fs::path(document->Path()).parent_path();
            for (auto& symbol : document->Sheet()->Symbols())
                for (auto& impl : symbol->Implementations)
                    for (auto& link : impl.DataFileLinks)
                        if (Text_EqualNoCase(impl.ModelType, cFpgaPinInfoModelType) &&
                            !impl.ModelName.empty() &&
                            (folder / link.Location).lexically_normal() == fs::path(path).lexically_normal())
                            return impl.ModelName;
        }
    return {};
}

IPtr<IServerDocument> TClient::ServerDocumentByPath(const std::string& path) {
    for (auto& report : FPinReports)
        if (report->FileName() == path)
            return report;
    TDocument* d = FWorkspace->FindDocument(path);
    if (!d)
        for (auto& project : FWorkspace->Projects())
            if (project->Path() == path)
                d = &project->FileDocument();
    return d && d->IsOpen() ? IPtr<IServerDocument>(d) : nullptr;
}

IPtr<IServerDocument> TClient::OpenDocument(const std::string& kind, const std::string& path) {
    if (Text_EqualNoCase(kind, cPinInfoDocumentKind)) {
        if (auto open = ServerDocumentByPath(path))
            return open;
        // A report the host cannot read is a failure of the opening, not an absent document.
        auto report =
            std::make_shared<const fpga::TPinReport>(fpga::PinReport_Read(path, PinReportPackage(path)));
        FPinReports.push_back(MakeObject<TPinReportDocument>(path, std::move(report)));
        return FPinReports.back();
    }
    TDocument* d = FWorkspace->FindDocument(path);
    if (!d && FOpenHook && FOpenHook(kind, path))
        d = FWorkspace->FindDocument(path);
    if (!d)
        return nullptr;
    d->Open();
    return IPtr<IServerDocument>(d);
}

bool TClient::Parameters_GetValueByName(const std::string& parameters, const std::string& name,
                                        std::string& value) {
    return Parameters_Find(parameters, name, value);
}

IPtr<IOptionsStorage> TClient::OpenOptionsStorage(const std::string& moduleName) {
    std::string file = moduleName;
    for (char& c : file)
        if (c == '/' || c == '\\' || c == ':')
            c = '_';
    return MakeObject<TOptionsStorage>((fs::path(FOptionsDirectory) / (file + ".json")).string());
}

IPtr<IWorkspace> TClient::Workspace() {
    return IPtr<IWorkspace>(FWorkspace.get());
}

} // namespace pcbhost
