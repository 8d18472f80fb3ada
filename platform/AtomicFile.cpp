#include "platform/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"

namespace varlen {

void RaiseInOutError(int errorCode, const std::string& fileName) {
    throw EInOutError(std::string(std::strerror(errorCode)) + ": " + fileName);
}

namespace {

// Writes all bytes to fd; returns 0 or the errno of the failed write.
int writeAll(int fd, const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const std::size_t chunk = size > (std::size_t{1} << 30) ? (std::size_t{1} << 30) : size;
        const ssize_t n = ::write(fd, p, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

// A device or pipe named by the user (for example /dev/stdout) is written in place: renaming a
// regular file over it would destroy the special file.
void writeInPlace(const std::string& fileName, const void* data, std::size_t size) {
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) RaiseInOutError(errno, fileName);
    int err = writeAll(fd, data, size);
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) RaiseInOutError(err, fileName);
}

std::atomic<unsigned> temporaryCounter{0};

}  // namespace

void WriteFileAtomically(const std::string& fileName, const void* data, std::size_t size) {
    if (fileName.empty()) RaiseInOutError(ENOENT, fileName);

    // A symbolic link stays a link: the file it points to is replaced.
    std::string target = fileName;
    struct stat st {};
    bool exists = ::lstat(target.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(fileName.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
            exists = ::stat(target.c_str(), &st) == 0;
        } else {
            exists = false;  // a dangling link: the new file replaces the link itself
        }
    }
    if (exists && S_ISDIR(st.st_mode)) RaiseInOutError(EISDIR, fileName);
    if (exists && !S_ISREG(st.st_mode)) {
        writeInPlace(target, data, size);
        return;
    }

    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);

    // A name no file has: O_EXCL refuses an existing one, and we try the next number.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 1000 && fd < 0; ++attempt) {
        temporary = folder + "." + base + "." + std::to_string(::getpid()) + "." +
                    std::to_string(temporaryCounter.fetch_add(1)) + ".tmp";
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) RaiseInOutError(errno, fileName);

    int err = 0;
    // A replaced file keeps its permissions.
    if (exists && ::fchmod(fd, st.st_mode & 07777) != 0) err = errno;
    if (err == 0) err = writeAll(fd, data, size);
    if (err == 0 && ::fdatasync(fd) != 0 && errno != EINVAL && errno != EROFS) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(temporary.c_str());
        RaiseInOutError(err, fileName);
    }
}

}  // namespace varlen
