#include "permutor/provider/SharedBlock.h"

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace permutor::provider {

namespace {

std::int32_t LittleEndian(std::int32_t value) {
    if constexpr (std::endian::native == std::endian::little)
        return value;
    const auto u = static_cast<std::uint32_t>(value);
    return static_cast<std::int32_t>((u >> 24) | ((u >> 8) & 0xFF00u) | ((u << 8) & 0xFF0000u) | (u << 24));
}

// The next character's code from UTF-8; a byte that starts no valid sequence is its own code.
std::uint32_t NextCode(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = byte(i);
    std::size_t length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (length > 1 && i + length <= text.size()) {
        std::uint32_t code = b & (0x7F >> length);
        bool valid = true;
        for (std::size_t k = 1; k < length && valid; ++k) {
            valid = (byte(i + k) & 0xC0) == 0x80;
            code = (code << 6) | (byte(i + k) & 0x3F);
        }
        if (valid) {
            i += length;
            return code;
        }
    }
    ++i;
    return b;
}

void AppendLatin1(std::string& out, unsigned char c) {
    if (c < 0x80) {
        out += char(c);
    } else {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    }
}

std::string ErrnoText(int error) {
    return std::strerror(error);
}

} // namespace

std::string SharedBlock_Folder() {
    for (const char* name : {"TEMP", "TMPDIR"})
        if (const char* value = std::getenv(name); value && *value)
            return value;
    return "/tmp";
}

std::string SharedBlock_DefaultPath() {
    std::string folder = SharedBlock_Folder();
    if (folder.back() != '/')
        folder += '/';
    return folder + cBlockFileName;
}

std::string SharedBlock_Refusal(const struct stat& info, uid_t user) {
    if (!S_ISREG(info.st_mode))
        return "it is not a regular file";
    if (info.st_uid != user)
        return "it belongs to user " + std::to_string(info.st_uid) + ", not to user " + std::to_string(user);
    return {};
}

TSharedBlock::~TSharedBlock() {
    Close();
}

bool TSharedBlock::Open(const std::string& path) {
    Close();
    FPath = path;
    FError.clear();
    const int flags = O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    int fd = ::open(path.c_str(), flags);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0600);
        // The other side may have created it in between.
        if (fd < 0 && errno == EEXIST)
            fd = ::open(path.c_str(), flags);
    }
    if (fd < 0) {
        FError = errno == ELOOP    ? "refusing " + path + ": it is a symbolic link"
                 : errno == EISDIR ? "refusing " + path + ": it is not a regular file"
                                   : "cannot open " + path + ": " + ErrnoText(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        FError = "cannot examine " + path + ": " + ErrnoText(errno);
        ::close(fd);
        return false;
    }
    if (const std::string why = SharedBlock_Refusal(info, ::geteuid()); !why.empty()) {
        FError = "refusing " + path + ": " + why;
        ::close(fd);
        return false;
    }
    // A block left shorter (by a crash, or by somebody else) is grown, never shrunk.
    if (info.st_size < off_t(cBlockSize) && ::ftruncate(fd, off_t(cBlockSize)) != 0) {
        FError = "cannot size " + path + ": " + ErrnoText(errno);
        ::close(fd);
        return false;
    }
    void* view = ::mmap(nullptr, cBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        FError = "cannot map " + path + ": " + ErrnoText(errno);
        ::close(fd);
        return false;
    }
    FFile = fd;
    FView = static_cast<unsigned char*>(view);
    return true;
}

void TSharedBlock::Close() {
    if (FView)
        ::munmap(FView, cBlockSize);
    if (FFile >= 0)
        ::close(FFile);
    FView = nullptr;
    FFile = -1;
}

bool TSharedBlock::StillWhole() const {
    struct stat info {};
    return FView && ::fstat(FFile, &info) == 0 && info.st_size >= off_t(cBlockSize);
}

std::int32_t TSharedBlock::ReadInt(std::size_t offset) const {
    if (!FView || offset % 4 != 0 || offset + 4 > cBlockSize)
        return 0;
    // The other process writes these slots: each read is one whole, ordered load.
    std::atomic_ref<std::int32_t> slot(*reinterpret_cast<std::int32_t*>(FView + offset));
    return LittleEndian(slot.load(std::memory_order_acquire));
}

void TSharedBlock::WriteInt(std::size_t offset, std::int32_t value) {
    if (!FView || offset % 4 != 0 || offset + 4 > cBlockSize)
        return;
    std::atomic_ref<std::int32_t> slot(*reinterpret_cast<std::int32_t*>(FView + offset));
    slot.store(LittleEndian(value), std::memory_order_release);
}

void TSharedBlock::WriteText(std::size_t offset, std::size_t areaBytes, std::string_view text) {
    if (!FView || offset >= cBlockSize || areaBytes < 2)
        return;
    if (areaBytes > cBlockSize - offset)
        areaBytes = cBlockSize - offset;
    const std::size_t maxUnits = areaBytes / 2 - 1; // room for the zero unit
    unsigned char* out = FView + offset;
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size() && units < maxUnits; ++units) {
        const std::uint32_t code = NextCode(text, i);
        out[2 * units] = 0;
        out[2 * units + 1] = static_cast<unsigned char>(code & 0xFF);
    }
    out[2 * units] = 0;
    out[2 * units + 1] = 0;
}

std::string TSharedBlock::ReadText(std::size_t offset, std::size_t areaBytes, std::size_t maxUnits) const {
    std::string text;
    if (!FView || offset >= cBlockSize)
        return text;
    if (areaBytes > cBlockSize - offset)
        areaBytes = cBlockSize - offset;
    const std::size_t units = std::min(areaBytes / 2, maxUnits);
    const unsigned char* in = FView + offset;
    for (std::size_t k = 0; k < units; ++k) {
        const unsigned char high = in[2 * k], low = in[2 * k + 1];
        if (high == 0 && low == 0)
            break;
        AppendLatin1(text, low);
    }
    return text;
}

} // namespace permutor::provider
