// Whole-file reading and crash-safe replacement of KiCad files.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pcbhost::sexpr {

// The file's bytes. Throws std::system_error whose message names the file.
std::string readFile(const std::filesystem::path& path);

// Replaces `path` with `bytes` so that the file is at every moment either the old or the new
// content: the bytes go to a temporary file in the same folder, are flushed to disk, and the
// temporary is renamed over the target. With `keepBackup` the previous content stays as
// `<name>.bak` beside it. On failure the target is untouched, the temporary is removed, and a
// std::system_error naming the file is thrown. A symbolic link is followed, so the link survives.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, bool keepBackup = true);

// Replaces several files as one step: every new content is written and flushed beside its target
// before any target is replaced; a failure on the way leaves every file (and none half-written)
// as it was, putting back those already replaced.
void writeFilesAtomically(const std::vector<std::pair<std::filesystem::path, std::string>>& files,
                          bool keepBackup = true);

// Produces a file's new content, handing it to `write` piece by piece: a large file need not be
// held in memory whole to be saved.
using ContentWriter = std::function<void(const std::function<void(std::string_view)>& write)>;
// The same as above with contents produced by writers, each straight into its temporary file.
void writeFilesAtomically(const std::vector<std::pair<std::filesystem::path, ContentWriter>>& files,
                          bool keepBackup = true);

// Checks, without changing anything, that each file could be replaced now as the writers above
// replace it (a regular file or none, in a folder where a file can be created, and a .bak that
// can be replaced when `keepBackup`): so that long work whose result cannot be saved is not
// started. Throws std::system_error naming the first file that could not.
void checkReplaceable(const std::vector<std::filesystem::path>& paths, bool keepBackup = true);

} // namespace pcbhost::sexpr
