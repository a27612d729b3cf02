// The stand-in tool's side of the shared block: it waits for the module's requests, acknowledges
// each, answers candidate queries from the pin-configuration file the request names and accepts
// or refuses confirmations, writing accepted swaps back into that file.
#pragma once

#include "permutor/provider/SharedBlock.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace kestrel {

struct TToolOptions {
    std::string BlockPath;
    bool Refuse = false;                   // every confirmation is refused
    std::optional<std::int32_t> AckStatus; // every request is acknowledged with this status
    bool Silent = false;                   // requests are logged, never answered
    bool Once = false;                     // stop after the first request
    std::string LogPath;
    std::int32_t PollMs = 1;
};

// What the tool makes of one request.
struct TAnswer {
    std::int32_t Status = 200;
    bool Respond = false; // a response document follows the acknowledgement
    std::string Result;   // its "result"
    std::string Note;     // for the log
};

// Answers one request text (the block aside): the parsing and the decisions, testable alone.
TAnswer Request_Answer(const std::string& requestText, std::int32_t commandCode, const TToolOptions& options);
// The response document for a result.
std::string Response_Text(const std::string& command, const std::string& result);

class TKestrelTool {
public:
    TKestrelTool(TToolOptions options, std::ostream& out, std::ostream& err);
    // Maps the block; false (with the reason on `err`) when it may not be used.
    bool Start();
    // Serves until `stop` is set (or after one request with Once). 0, or 1 when the block went
    // away under the tool.
    int Serve(const std::atomic<bool>& stop);

private:
    void Handle(std::int32_t seq);
    void Log(const std::string& line);

    TToolOptions FOptions;
    std::ostream& FOut;
    std::ostream& FErr;
    permutor::provider::TSharedBlock FBlock;
    std::int32_t FToolSeq = 0;
    std::int32_t FServed = 0;
};

} // namespace kestrel
