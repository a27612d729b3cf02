#include "KestrelTool.h"

#include "PinConfig.h"

#include "permutor/host/Text.h"
#include "permutor/provider/KestrelProvider.h"

#include <pugixml.hpp>

#include <chrono>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

namespace kestrel {

using namespace permutor::provider;
using permutor::host::Text_Trim;

namespace {

constexpr std::int32_t cStatus_BadRequest = 400;
constexpr std::int32_t cStatus_NoConfig = 404;
constexpr std::int32_t cStatus_BadConfig = 422;
constexpr std::int32_t cStatus_Refused = 500;

TAnswer Refuse(std::int32_t status, std::string note) {
    TAnswer a;
    a.Status = status;
    a.Note = std::move(note);
    return a;
}

TAnswer Respond(std::string result, std::string note = {}) {
    TAnswer a;
    a.Respond = true;
    a.Result = std::move(result);
    a.Note = std::move(note);
    return a;
}

std::string Now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

} // namespace

TAnswer Request_Answer(const std::string& requestText, std::int32_t commandCode,
                       const TToolOptions& options) {
    if (commandCode != cRequestCommand_Xml)
        return Refuse(cStatus_BadRequest, "unknown request code " + std::to_string(commandCode));
    pugi::xml_document document;
    if (const pugi::xml_parse_result r = document.load_string(requestText.c_str()); !r)
        return Refuse(cStatus_BadRequest, std::string("malformed request: ") + r.description() +
                                              " at offset " + std::to_string(r.offset));
    pugi::xml_node root = document.child("v1:pinSettingsQuery");
    if (!root || std::string(root.attribute("xmlns:v1").value()) != cPinSettingsQueryNamespace)
        return Refuse(cStatus_BadRequest, "not a pin settings query of schema v1.1");
    pugi::xml_node query = root.child("v1:query");
    if (!query)
        return Refuse(cStatus_BadRequest, "the request holds no query");
    const std::string command = query.attribute("command").value();
    const std::string args = query.attribute("args").value();
    const std::string path = query.attribute("pincfg").value();
    if (command != "get_swap_pins" && command != "confirm_swap_pins")
        return Refuse(cStatus_BadRequest, "unknown command \"" + command + "\"");
    if (path.empty())
        return Refuse(cStatus_NoConfig,
                      "no pin-configuration file named (the component has no KESTREL.pincfg)");

    TPinConfig config;
    std::string error;
    if (!config.Load(path, error))
        return Refuse(std::ifstream(path) ? cStatus_BadConfig : cStatus_NoConfig, error);

    if (command == "get_swap_pins") {
        const std::string pin(Text_Trim(args));
        const TConfigPin* known = config.Find(pin);
        const std::string note = !known          ? "pin " + pin + " is not configured"
                                 : known->Locked ? "pin " + pin + " is locked by the design"
                                                 : std::string();
        return Respond(JoinNames(config.Candidates(pin)), note);
    }

    const std::size_t comma = args.find(',');
    if (comma == std::string::npos)
        return Refuse(cStatus_BadRequest, "confirm_swap_pins needs two pins, got \"" + args + "\"");
    const std::string a(Text_Trim(std::string_view(args).substr(0, comma)));
    const std::string b(Text_Trim(std::string_view(args).substr(comma + 1)));
    if (options.Refuse)
        return Refuse(cStatus_Refused, "refused (--refuse)");
    bool allowed = false;
    for (const auto& c : config.Candidates(a))
        allowed = allowed || permutor::host::Text_EqualNoCase(c, b);
    if (!allowed)
        return Refuse(cStatus_Refused, "refused: " + b + " is not a candidate of " + a);
    if (!config.SwapSignalsAndSave(a, b, error))
        return Refuse(cStatus_Refused, "refused: " + error);
    const TConfigPin* pa = config.Find(a);
    const TConfigPin* pb = config.Find(b);
    return Respond("accepted", "accepted: " + a + " now carries " + (pa ? pa->Signal : std::string()) + ", " +
                                   b + " carries " + (pb ? pb->Signal : std::string()) + ", saved");
}

std::string Response_Text(const std::string& command, const std::string& result) {
    pugi::xml_document document;
    pugi::xml_node root = document.append_child("v1:pinSettingsQuery");
    root.append_attribute("xmlns:v1").set_value(cPinSettingsQueryNamespace);
    pugi::xml_node response = root.append_child("v1:response");
    response.append_attribute("command").set_value(command.c_str());
    response.append_attribute("result").set_value(result.c_str());
    std::ostringstream text;
    document.save(text, "", pugi::format_raw | pugi::format_no_declaration);
    return text.str();
}

TKestrelTool::TKestrelTool(TToolOptions options, std::ostream& out, std::ostream& err)
    : FOptions(std::move(options)), FOut(out), FErr(err) {}

bool TKestrelTool::Start() {
    if (!FBlock.Open(FOptions.BlockPath)) {
        FErr << "kestrel: " << FBlock.Error() << "\n";
        return false;
    }
    FToolSeq = FBlock.ReadInt(cSlot_ToolSeq);
    return true;
}

void TKestrelTool::Log(const std::string& line) {
    if (FOptions.LogPath.empty())
        return;
    std::ofstream log(FOptions.LogPath, std::ios::app);
    log << Now() << " " << line << "\n";
}

void TKestrelTool::Handle(std::int32_t seq) {
    const std::int32_t code = FBlock.ReadInt(cSlot_RequestCommand);
    const std::string text = FBlock.ReadText(cRequestTextOffset, cRequestTextBytes, cRequestTextBytes / 2);
    std::string command = "?", args, path;
    {
        pugi::xml_document document;
        if (document.load_string(text.c_str()))
            if (pugi::xml_node q = document.child("v1:pinSettingsQuery").child("v1:query")) {
                command = q.attribute("command").value();
                args = q.attribute("args").value();
                path = q.attribute("pincfg").value();
            }
    }
    const std::string request = "#" + std::to_string(seq) + " " + command + "(" + args + ")";
    if (FOptions.Silent) {
        Log(request + " -> no answer (--silent)");
        return;
    }
    TAnswer answer = Request_Answer(text, code, FOptions);
    if (FOptions.AckStatus && *FOptions.AckStatus != answer.Status) {
        answer.Status = *FOptions.AckStatus;
        answer.Respond = answer.Status == cStatus_OK && answer.Respond;
        answer.Note = "acknowledged with " + std::to_string(answer.Status) + " (--ack-status)";
    }
    // The status goes first and the number last: a changed number means a whole acknowledgement.
    FBlock.WriteInt(cSlot_AckStatus, answer.Status);
    FBlock.WriteInt(cSlot_AckSeq, seq);
    if (answer.Status == cStatus_OK && answer.Respond) {
        FBlock.WriteText(cResponseTextOffset, cResponseTextBytes, Response_Text(command, answer.Result));
        FBlock.WriteInt(cSlot_ToolSeq, ++FToolSeq);
    }
    std::string line = request + " -> " + std::to_string(answer.Status);
    if (answer.Respond && answer.Status == cStatus_OK && command == "get_swap_pins")
        line += " [" + answer.Result + "]";
    if (!answer.Note.empty())
        line += " " + answer.Note;
    if (!path.empty())
        line += " {" + path + "}";
    Log(line);
}

int TKestrelTool::Serve(const std::atomic<bool>& stop) {
    // What is there now is old; anything after the announcement below is served.
    std::int32_t last = FBlock.ReadInt(cSlot_RequestSeq);
    FOut << "kestrel: serving " << FOptions.BlockPath
         << (FOptions.Once ? " (one request)" : " (Ctrl-C stops)") << std::endl;
    while (!stop.load()) {
        if (!FBlock.StillWhole()) {
            FErr << "kestrel: " << FOptions.BlockPath << " was cut short; stopping\n";
            return 1;
        }
        const std::int32_t seq = FBlock.ReadInt(cSlot_RequestSeq);
        if (seq == last) {
            std::this_thread::sleep_for(std::chrono::milliseconds(FOptions.PollMs));
            continue;
        }
        last = seq;
        Handle(seq);
        ++FServed;
        if (FOptions.Once)
            break;
    }
    FOut << "kestrel: stopped after " << FServed << (FServed == 1 ? " request" : " requests") << std::endl;
    return 0;
}

} // namespace kestrel
