// The shared block through which the module and the external pin-configuration tool talk: a
// 1 MiB file in the temporary folder mapped by both processes. This is the layout both sides
// agree on and the safe opening of a file that lives in a folder other users can write to; the
// module's provider and the stand-in tool both use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <sys/stat.h>
#include <sys/types.h>

namespace permutor::provider {

inline constexpr std::size_t cBlockSize = 1048576;
inline constexpr const char* cBlockFileName = "8E64136C-43BD-4974-84B5-289AD12E902B.map";

// Integer slots (32-bit little-endian).
inline constexpr std::size_t cSlot_RequestSeq = 0;      // module: written last, announces a request
inline constexpr std::size_t cSlot_RequestCommand = 4;  // module: always 1 (an XML query)
inline constexpr std::size_t cSlot_ToolSeq = 8;         // tool: a change announces a response
inline constexpr std::size_t cSlot_ConsumedSeq = 16;    // module: the tool message it consumed
inline constexpr std::size_t cSlot_ConsumedStatus = 20; // module: always 200
inline constexpr std::size_t cSlot_AckSeq = 24;         // tool: the request it acknowledges
inline constexpr std::size_t cSlot_AckStatus = 28;      // tool: 200 = accepted

// Text areas: 16-bit big-endian units, a zero unit ends the text.
inline constexpr std::size_t cRequestTextOffset = 1024;
inline constexpr std::size_t cRequestTextBytes = 0x7FC00;
inline constexpr std::size_t cResponseTextOffset = 0x80000;
inline constexpr std::size_t cResponseTextBytes = 131072;
// The module reads no more of a response than this.
inline constexpr std::size_t cResponseReadUnits = 65536;

inline constexpr std::int32_t cRequestCommand_Xml = 1;
inline constexpr std::int32_t cStatus_OK = 200;

// The folder of the block: $TEMP, else $TMPDIR, else /tmp; and the block's full path there.
std::string SharedBlock_Folder();
std::string SharedBlock_DefaultPath();

// Why an opened file may not serve as the block; empty when it may. Only a regular file owned by
// `user` is trusted: anybody else could watch or forge the queries.
std::string SharedBlock_Refusal(const struct stat& info, uid_t user);

// One mapping of the block. Every access checks its range against the block, so whatever the
// other side writes, nothing outside the 1 MiB is read or written.
class TSharedBlock {
public:
    TSharedBlock() = default;
    ~TSharedBlock();
    TSharedBlock(const TSharedBlock&) = delete;
    TSharedBlock& operator=(const TSharedBlock&) = delete;

    // Opens the file (created with mode 0600 when missing, never through a symbolic link),
    // refuses one that is not a regular file of the current user, grows it to the block size and
    // maps it. False with the reason in Error(); the block then stays closed.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return FView != nullptr; }
    const std::string& Error() const { return FError; }
    const std::string& Path() const { return FPath; }

    // False when somebody shrank the file under the mapping: touching the missing pages would
    // kill the process, so callers give up instead.
    bool StillWhole() const;

    // Slot access; a closed block reads 0 and ignores writes.
    std::int32_t ReadInt(std::size_t offset) const;
    void WriteInt(std::size_t offset, std::int32_t value);

    // Writes `text` as 16-bit units (UTF-8 decoded, each character's low byte) with its zero
    // unit, cut to fit `areaBytes`.
    void WriteText(std::size_t offset, std::size_t areaBytes, std::string_view text);
    // Reads up to the zero unit, at most `maxUnits` and never past `areaBytes`; each unit's low
    // byte is a character (returned as UTF-8).
    std::string ReadText(std::size_t offset, std::size_t areaBytes, std::size_t maxUnits) const;

private:
    int FFile = -1;
    unsigned char* FView = nullptr;
    std::string FPath, FError;
};

} // namespace permutor::provider
