// The bytes a tree was read from; private to the s-expression library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace pcbhost::sexpr::detail {

// A file's bytes: read into memory, or, for a large file, mapped from it read-only. A mapped
// file's pages belong to the system's file cache, which can take them back at any time and reads
// them again when they are next used, so a schematic of a few hundred megabytes does not hold that
// much of the program's own memory for as long as it is open.
class SourceBytes {
public:
    // Files from this size on are mapped; the environment variable PERMUTOR_MAP_FROM (a number of
    // bytes) sets another size, so that tests can run every file through the mapped path.
    static constexpr std::size_t kMapFrom = std::size_t(16) << 20;
    static std::size_t mapFrom();

    SourceBytes() = default;
    explicit SourceBytes(std::string bytes) : owned_(std::move(bytes)) {}
    SourceBytes(SourceBytes&& other) noexcept;
    SourceBytes& operator=(SourceBytes&& other) noexcept;
    SourceBytes(const SourceBytes&) = delete;
    SourceBytes& operator=(const SourceBytes&) = delete;
    ~SourceBytes();

    // Reads a file, mapping it when it has at least `mapFrom` bytes. Throws std::system_error
    // naming the file.
    static SourceBytes load(const std::filesystem::path& path, std::size_t mapFrom = SourceBytes::mapFrom());

    std::string_view view() const {
        return map_ ? std::string_view(map_, mapSize_) : std::string_view(owned_);
    }
    bool mapped() const { return map_ != nullptr; }
    // Lets the system take back the whole pages within [begin, end) of a mapped file; they are
    // read again from the file cache when next used. Does nothing for bytes read into memory.
    void release(std::size_t begin, std::size_t end) const;

    // A mapped file shows whatever is written into it in place, so it must be the file it was when
    // mapped for its bytes to mean what was read: true while the path names the same file, of the
    // same size and time of change (always for bytes read into memory).
    bool unchangedOnDisk() const;
    // The path now names a file written from these bytes (a save renamed it into place): it is
    // the one to compare with from now on.
    void noteReplaced() const;

    struct Identity {
        std::uint64_t device = 0, inode = 0;
        std::int64_t size = 0, seconds = 0, nanoseconds = 0;
        bool operator==(const Identity&) const = default;
    };

private:
    std::string owned_;
    const char* map_ = nullptr;
    std::size_t mapSize_ = 0;
    std::filesystem::path path_;
    mutable Identity identity_;
};

} // namespace pcbhost::sexpr::detail
