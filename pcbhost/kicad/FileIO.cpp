// File access with errors that name the file, and the crash-safe replacement used when saving.
#include "FileIO.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace pcbhost::sexpr {
namespace {

[[noreturn]] void throwErrno(int error, const std::string& what) {
    throw std::system_error(error, std::generic_category(), what);
}

std::string quoted(const fs::path& path) {
    return fmt::format("'{}'", path.string());
}

// Closes a descriptor and removes temporary files unless the save went through.
class Cleanup {
public:
    ~Cleanup() {
        if (fd >= 0) {
            ::close(fd);
        }
        for (const fs::path& path : temporaries) {
            ::unlink(path.c_str());
        }
    }
    int fd = -1;
    std::vector<fs::path> temporaries;
};

// A name no other save uses: same folder (so rename stays on one file system), hidden, unique per
// process and call.
fs::path temporaryName(const fs::path& target, std::string_view tag, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const auto clock =
        static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    return target.parent_path() / fmt::format(".{}.{}-{}-{}-{}", target.filename().string(), tag, ::getpid(),
                                              counter++, (clock + attempt) % 1000000);
}

int createExclusive(const fs::path& target, std::string_view tag, fs::path& created) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        created = temporaryName(target, tag, attempt);
        const int fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

void writeAll(int fd, std::string_view bytes, const fs::path& target) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwErrno(errno, fmt::format("cannot write {}", quoted(target)));
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Makes `backup` hold the content `target` has now. A hard link costs nothing and keeps the old
// inode; file systems without hard links get a copy.
void keepBackupOf(const fs::path& target, const fs::path& backup, Cleanup& cleanup) {
    fs::path staging;
    const int fd = createExclusive(target, "bak", staging);
    if (fd < 0) {
        throwErrno(errno, fmt::format("cannot keep a backup of {} in {}", quoted(target), quoted(backup)));
    }
    ::close(fd);
    cleanup.temporaries.push_back(staging);
    ::unlink(staging.c_str());
    if (::link(target.c_str(), staging.c_str()) != 0) {
        std::error_code ec;
        fs::copy_file(target, staging, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            throw std::system_error(
                ec, fmt::format("cannot keep a backup of {} as {}", quoted(target), quoted(backup)));
        }
    }
    if (::rename(staging.c_str(), backup.c_str()) != 0) {
        throwErrno(errno, fmt::format("cannot keep a backup of {} as {}", quoted(target), quoted(backup)));
    }
    cleanup.temporaries.pop_back();
}

} // namespace

std::string readFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throwErrno(errno, fmt::format("cannot read {}", quoted(path)));
    }
    Cleanup cleanup;
    cleanup.fd = fd;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        throwErrno(errno, fmt::format("cannot read {}", quoted(path)));
    }
    if (S_ISDIR(info.st_mode)) {
        throwErrno(EISDIR, fmt::format("cannot read {}", quoted(path)));
    }
    std::string bytes;
    if (info.st_size > 0) {
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwErrno(errno, fmt::format("cannot read {}", quoted(path)));
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

namespace {

// A new content written and flushed beside its target, waiting to be renamed over it.
struct Prepared {
    fs::path path, target, temporary, undo;
    bool exists = false;
};

Prepared prepare(const fs::path& path, const ContentWriter& content, Cleanup& cleanup) {
    Prepared p;
    p.path = path;
    p.target = path;
    struct stat info {};
    // Renaming over a symbolic link would replace the link with a plain file; write where it points.
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        std::error_code ec;
        const fs::path resolved = fs::canonical(path, ec);
        if (!ec) {
            p.target = resolved;
        }
    }
    if (p.target.filename().empty()) {
        throwErrno(EISDIR, fmt::format("cannot write {}", quoted(path)));
    }
    p.exists = ::stat(p.target.c_str(), &info) == 0;
    if (!p.exists && errno != ENOENT) {
        throwErrno(errno, fmt::format("cannot write {}", quoted(path)));
    }
    if (p.exists && !S_ISREG(info.st_mode)) {
        throwErrno(S_ISDIR(info.st_mode) ? EISDIR : EINVAL,
                   fmt::format("cannot write {} (not a regular file)", quoted(path)));
    }
    if (p.target.parent_path().empty()) {
        p.target = fs::path(".") / p.target;
    }

    cleanup.fd = createExclusive(p.target, "tmp", p.temporary);
    if (cleanup.fd < 0) {
        throwErrno(errno, fmt::format("cannot write {} (no temporary file in {})", quoted(path),
                                      quoted(p.target.parent_path())));
    }
    cleanup.temporaries.push_back(p.temporary);

    // Small pieces are gathered into larger writes.
    constexpr std::size_t kChunk = std::size_t(1) << 20;
    std::string buffer;
    const int fd = cleanup.fd;
    content([&](std::string_view piece) {
        if (buffer.size() + piece.size() > kChunk) {
            writeAll(fd, buffer, path);
            buffer.clear();
        }
        if (piece.size() >= kChunk)
            writeAll(fd, piece, path);
        else
            buffer += piece;
    });
    writeAll(fd, buffer, path);
    if (p.exists) {
        // The new file should look like the old one to everybody else; not being able to restore
        // the owner is no reason to refuse the save.
        (void)::fchmod(cleanup.fd, info.st_mode & 07777);
        (void)::fchown(cleanup.fd, info.st_uid, info.st_gid);
    }
    if (::fsync(cleanup.fd) != 0) {
        throwErrno(errno, fmt::format("cannot write {}", quoted(path)));
    }
    cleanup.fd = -1;
    if (::close(fd) != 0) {
        throwErrno(errno, fmt::format("cannot write {}", quoted(path)));
    }
    return p;
}

} // namespace

void writeFileAtomically(const fs::path& path, std::string_view bytes, bool keepBackup) {
    writeFilesAtomically(
        {{path, [bytes](const std::function<void(std::string_view)>& write) { write(bytes); }}}, keepBackup);
}

void checkReplaceable(const std::vector<fs::path>& paths, bool keepBackup) {
    for (const fs::path& path : paths) {
        fs::path target = path;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
            std::error_code ec;
            const fs::path resolved = fs::canonical(path, ec);
            if (!ec) {
                target = resolved;
            }
        }
        if (target.filename().empty()) {
            throwErrno(EISDIR, fmt::format("cannot write {}", quoted(path)));
        }
        const bool exists = ::stat(target.c_str(), &info) == 0;
        if (!exists && errno != ENOENT) {
            throwErrno(errno, fmt::format("cannot write {}", quoted(path)));
        }
        if (exists && !S_ISREG(info.st_mode)) {
            throwErrno(S_ISDIR(info.st_mode) ? EISDIR : EINVAL,
                       fmt::format("cannot write {} (not a regular file)", quoted(path)));
        }
        if (target.parent_path().empty()) {
            target = fs::path(".") / target;
        }
        fs::path probe;
        const int fd = createExclusive(target, "probe", probe);
        if (fd < 0) {
            throwErrno(errno, fmt::format("cannot write {} (no new file can be made in {})", quoted(path),
                                          quoted(target.parent_path())));
        }
        ::close(fd);
        ::unlink(probe.c_str());
        const fs::path backup = fmt::format("{}.bak", target.string());
        if (keepBackup && exists && ::lstat(backup.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            throwErrno(EISDIR, fmt::format("cannot keep the backup {} of {} (a folder has that name)",
                                           quoted(backup), quoted(path)));
        }
    }
}

void writeFilesAtomically(const std::vector<std::pair<fs::path, std::string>>& files, bool keepBackup) {
    std::vector<std::pair<fs::path, ContentWriter>> writers;
    for (const auto& [path, bytes] : files) {
        writers.emplace_back(path,
                             [&bytes](const std::function<void(std::string_view)>& write) { write(bytes); });
    }
    writeFilesAtomically(writers, keepBackup);
}

void writeFilesAtomically(const std::vector<std::pair<fs::path, ContentWriter>>& files, bool keepBackup) {
    Cleanup cleanup;
    std::vector<Prepared> prepared;
    for (const auto& [path, content] : files) {
        prepared.push_back(prepare(path, content, cleanup));
    }
    // The old contents stay reachable until every file is replaced: as the .bak files, or as
    // hidden links removed at the end.
    std::vector<fs::path> links;
    for (Prepared& p : prepared) {
        if (!p.exists) {
            continue;
        }
        if (keepBackup) {
            p.undo = fs::path(fmt::format("{}.bak", p.target.string()));
            keepBackupOf(p.target, p.undo, cleanup);
        } else {
            p.undo =
                p.target.parent_path() / fmt::format(".{}.undo-{}", p.target.filename().string(), ::getpid());
            keepBackupOf(p.target, p.undo, cleanup);
            links.push_back(p.undo);
        }
    }
    std::size_t done = 0;
    for (; done < prepared.size(); ++done) {
        if (::rename(prepared[done].temporary.c_str(), prepared[done].target.c_str()) != 0) {
            break;
        }
    }
    if (done < prepared.size()) {
        const int error = errno;
        // Put back what was already replaced: the set is either all old or all new.
        for (std::size_t i = 0; i < done; ++i) {
            const Prepared& p = prepared[i];
            if (p.exists) {
                fs::path restore;
                const int fd = createExclusive(p.target, "restore", restore);
                if (fd >= 0) {
                    ::close(fd);
                    ::unlink(restore.c_str());
                    if (::link(p.undo.c_str(), restore.c_str()) == 0) {
                        (void)::rename(restore.c_str(), p.target.c_str());
                    }
                }
            } else {
                ::unlink(p.target.c_str());
            }
        }
        for (const fs::path& link : links) {
            ::unlink(link.c_str());
        }
        throwErrno(error, fmt::format("cannot write {}", quoted(prepared[done].path)));
    }
    cleanup.temporaries.clear();
    for (const fs::path& link : links) {
        ::unlink(link.c_str());
    }

    // Make the renames themselves durable; the data is already safe, so a failure here is not
    // reported.
    std::vector<fs::path> folders;
    for (const Prepared& p : prepared) {
        if (std::find(folders.begin(), folders.end(), p.target.parent_path()) == folders.end()) {
            folders.push_back(p.target.parent_path());
        }
    }
    for (const fs::path& folder : folders) {
        const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            (void)::fsync(dir);
            ::close(dir);
        }
    }
}

} // namespace pcbhost::sexpr
