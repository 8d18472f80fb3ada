#include "platform/FileIO.h"

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "platform/Errors.h"

namespace varlen {

namespace {

[[noreturn]] void fail(const std::string& fileName, int error) {
    throw EInOutError(fileName + ": " + std::strerror(error));
}

// Writes every piece or returns the errno of the failure (0 on success).
int writeAll(int fd, const std::vector<ByteSpan>& parts) {
    std::vector<iovec> pending;
    for (const ByteSpan& p : parts)
        if (p.size) pending.push_back(iovec{const_cast<void*>(p.data), p.size});
    std::size_t first = 0;
    while (first < pending.size()) {
        const int count = int(std::min<std::size_t>(pending.size() - first, IOV_MAX));
        const ssize_t n = ::writev(fd, pending.data() + first, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        // Skip what was written, possibly ending inside a piece.
        std::size_t done = std::size_t(n);
        while (first < pending.size() && done >= pending[first].iov_len) done -= pending[first++].iov_len;
        if (done) {
            pending[first].iov_base = static_cast<std::uint8_t*>(pending[first].iov_base) + done;
            pending[first].iov_len -= done;
        }
    }
    return 0;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

void WriteFileAtomic(const std::string& fileName, const void* data, std::size_t size) {
    WriteFileAtomic(fileName, std::vector<ByteSpan>{ByteSpan{data, size}});
}

void WriteFileAtomic(const std::string& fileName, const std::vector<ByteSpan>& parts) {
    std::string target = fileName;
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        // Replace the file the link points to, not the link.
        if (char* resolved = ::realpath(target.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) fail(fileName, EISDIR);
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or pipe cannot be replaced; it takes the bytes directly.
        const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) fail(fileName, errno);
        int error = writeAll(fd, parts);
        if (::close(fd) != 0 && error == 0) error = errno;
        if (error) fail(fileName, error);
        return;
    }

    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) fail(fileName, errno);
    int error = writeAll(fd, parts);
    if (error == 0) {
        const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~currentUmask());
        ::fchmod(fd, mode);
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temp.c_str());
        fail(fileName, error);
    }
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& fileName) {
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail(fileName, errno);
    std::vector<std::uint8_t> bytes;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        fail(fileName, EISDIR);
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0) bytes.reserve(std::size_t(st.st_size));
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            fail(fileName, error);
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    ::close(fd);
    return bytes;
}

}  // namespace varlen
