#include "SExprSource.h"

#include "FileIO.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <utility>

namespace pcbhost::sexpr::detail {

namespace {

std::size_t pageSize() {
    static const std::size_t size = [] {
        const long page = ::sysconf(_SC_PAGESIZE);
        return page > 0 ? std::size_t(page) : std::size_t(4096);
    }();
    return size;
}

} // namespace

std::size_t SourceBytes::mapFrom() {
    static const std::size_t size = [] {
        const char* text = std::getenv("PERMUTOR_MAP_FROM");
        if (!text || !*text)
            return kMapFrom;
        char* end = nullptr;
        const unsigned long long value = std::strtoull(text, &end, 10);
        return end && *end == '\0' ? std::size_t(value) : kMapFrom;
    }();
    return size;
}

SourceBytes::SourceBytes(SourceBytes&& other) noexcept
    : owned_(std::move(other.owned_)), map_(std::exchange(other.map_, nullptr)),
      mapSize_(std::exchange(other.mapSize_, 0)), path_(std::move(other.path_)), identity_(other.identity_) {}

SourceBytes& SourceBytes::operator=(SourceBytes&& other) noexcept {
    if (this != &other) {
        this->~SourceBytes();
        new (this) SourceBytes(std::move(other));
    }
    return *this;
}

SourceBytes::~SourceBytes() {
    if (map_)
        ::munmap(const_cast<char*>(map_), mapSize_);
}

SourceBytes SourceBytes::load(const std::filesystem::path& path, std::size_t mapFrom) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || std::size_t(info.st_size) < mapFrom ||
        info.st_size == 0)
        return SourceBytes(readFile(path)); // names the file in its errors
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return SourceBytes(readFile(path));
    struct stat opened {};
    void* at = MAP_FAILED;
    if (::fstat(fd, &opened) == 0 && opened.st_size > 0)
        at = ::mmap(nullptr, std::size_t(opened.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    ::close(fd);
    if (at == MAP_FAILED)
        return SourceBytes(readFile(path)); // no mapping to be had: read it
    SourceBytes bytes;
    bytes.map_ = static_cast<const char*>(at);
    bytes.mapSize_ = std::size_t(opened.st_size);
    bytes.path_ = path;
    bytes.identity_ = {opened.st_dev, opened.st_ino, opened.st_size, opened.st_mtim.tv_sec,
                       opened.st_mtim.tv_nsec};
    return bytes;
}

namespace {

bool identityOf(const std::filesystem::path& path, SourceBytes::Identity& identity) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return false;
    identity = {info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
    return true;
}

} // namespace

bool SourceBytes::unchangedOnDisk() const {
    if (!map_)
        return true;
    Identity now;
    return identityOf(path_, now) && now == identity_;
}

void SourceBytes::noteReplaced() const {
    if (map_)
        identityOf(path_, identity_);
}

void SourceBytes::release(std::size_t begin, std::size_t end) const {
    if (!map_)
        return;
    const std::size_t page = pageSize();
    end = std::min(end, mapSize_);
    const std::size_t first = (begin + page - 1) / page * page;
    const std::size_t last = end == mapSize_ ? (end + page - 1) / page * page : end / page * page;
    if (first < last)
        ::madvise(const_cast<char*>(map_) + first, last - first, MADV_DONTNEED);
}

} // namespace pcbhost::sexpr::detail
