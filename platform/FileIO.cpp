#include "platform/FileIO.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"

namespace varlen {

namespace {

[[noreturn]] void fail(const std::string& fileName, int error) {
    throw EInOutError(fileName + ": " + std::strerror(error));
}

// Writes everything or returns the errno of the failure (0 on success).
int writeAll(int fd, const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += n;
        size -= std::size_t(n);
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
        int error = writeAll(fd, data, size);
        if (::close(fd) != 0 && error == 0) error = errno;
        if (error) fail(fileName, error);
        return;
    }

    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) fail(fileName, errno);
    int error = writeAll(fd, data, size);
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
