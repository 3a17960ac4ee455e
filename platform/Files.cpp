#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "platform/TempFileGuard.h"

namespace lithoscope {

namespace {

SafeWriteFault FaultFromEnvironment() {
    const char* v = std::getenv("LITHOSCOPE_SAFE_WRITE_FAULT");
    if (!v) return SafeWriteFault::None;
    const std::string f = v;
    if (f == "create") return SafeWriteFault::Create;
    if (f == "write") return SafeWriteFault::Write;
    if (f == "flush") return SafeWriteFault::Flush;
    if (f == "rename") return SafeWriteFault::Rename;
    if (f == "stop") return SafeWriteFault::Stop;
    return SafeWriteFault::None;
}

SafeWriteFault& Fault() {
    static SafeWriteFault fault = FaultFromEnvironment();
    return fault;
}

bool Fail(std::string* error, const std::string& what, int err) {
    if (error) *error = what + ": " + std::strerror(err);
    errno = err;
    return false;
}

// What stands at a path instead of a regular file, or "".
std::string NotRegularKind(mode_t mode) {
    if (S_ISREG(mode)) return std::string();
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a file";
}

// A name for the temporary file beside target that nobody is likely to use.
std::string TemporaryName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const char* const digits = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    uint64_t x = uint64_t(now.tv_nsec) * 0x9E3779B97F4A7C15ull ^ uint64_t(now.tv_sec) << 20 ^
                 uint64_t(::getpid()) << 40 ^ counter.fetch_add(1) * 0xBF58476D1CE4E5B9ull;
    std::string suffix;
    for (int i = 0; i < 6; ++i, x /= 62) suffix += digits[x % 62];
    const std::string folder = FolderOf(target);
    return (folder.empty() ? std::string("./") : folder) + "." + FileNameOf(target) + "." + suffix;
}

}  // namespace

void SetSafeWriteFault(SafeWriteFault fault) { Fault() = fault; }

constexpr int kMaxLinks = 40;

std::string ResolveLinkTarget(const std::string& path, int* error) {
    if (error) *error = 0;
    std::string current = path;
    // As many links as the system follows in one path (its MAXSYMLINKS); one more is a loop
    // or a chain it refuses alike.
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        if (hops == kMaxLinks) break;
        std::vector<char> buf(size_t(st.st_size > 0 ? st.st_size : 255) + 1);
        for (;;) {
            const ssize_t n = ::readlink(current.c_str(), buf.data(), buf.size());
            if (n < 0) {
                if (error) *error = errno;
                return current;
            }
            if (size_t(n) < buf.size()) {
                buf.resize(size_t(n));
                break;
            }
            buf.resize(buf.size() * 2);
        }
        const std::string link(buf.begin(), buf.end());
        current = !link.empty() && link[0] == '/' ? link : FolderOf(current) + link;
    }
    if (error) *error = ELOOP;
    return current;
}

int CheckWritable(const std::string& path, std::string* notRegular) {
    if (notRegular) notRegular->clear();
    if (path.empty()) return ENOENT;
    int linkError = 0;
    const std::string target = ResolveLinkTarget(path, &linkError);
    if (linkError) return linkError;
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return EISDIR;
        if (!S_ISREG(st.st_mode)) {
            if (notRegular) *notRegular = NotRegularKind(st.st_mode);
            return EINVAL;
        }
        if (::access(target.c_str(), W_OK) != 0) return errno;
    } else if (errno != ENOENT) {
        return errno;
    }
    std::string folder = FolderOf(target);
    if (folder.empty()) folder = ".";
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return errno;
    return 0;
}

bool WriteFileSafely(const std::string& path, const void* data, size_t size,
                     std::string* error) {
    if (path.empty()) return Fail(error, "empty file name", ENOENT);
    // Through a link: the file it names is replaced, the link stays.
    int linkError = 0;
    const std::string target = ResolveLinkTarget(path, &linkError);
    if (linkError) return Fail(error, "can't write " + path, linkError);
    struct stat st;
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return Fail(error, "can't write " + path, errno);
    if (exists && S_ISDIR(st.st_mode)) return Fail(error, "can't write " + path, EISDIR);
    if (exists && !S_ISREG(st.st_mode)) {
        if (error) *error = NotRegularFileText(path, NotRegularKind(st.st_mode));
        errno = EINVAL;
        return false;
    }
    if (exists && ::access(target.c_str(), W_OK) != 0)
        return Fail(error, "can't write " + path, errno);

    const SafeWriteFault fault = Fault();
    TempFileGuard guard;
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        tmp = TemporaryName(target);
        guard.Hold(tmp);  // before it exists: an interruption never leaves it behind
        // A replaced file's content is never readable by more people than before.
        fd = fault == SafeWriteFault::Create
                 ? (errno = EACCES, -1)
                 : ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          exists ? 0600 : 0666);
        if (fd < 0) guard.Release();
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return Fail(error, "can't create a file beside " + path, errno);
    auto abandon = [&](const std::string& what, int err) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return Fail(error, what, err);
    };
    if (exists) {
        // The owner and group where the process may set them (the group alone, else
        // neither), then the permission bits, which a change of owner may have cleared.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) (void)!::fchown(fd, uid_t(-1), st.st_gid);
        ::fchmod(fd, st.st_mode & 07777);
    }

    const uint8_t* p = static_cast<const uint8_t*>(data);
    size_t left = size;
    const size_t stopAt = fault == SafeWriteFault::Stop ? size / 2 : SIZE_MAX;
    while (left > 0) {
        if (fault == SafeWriteFault::Write) return abandon("can't write " + path, ENOSPC);
        const size_t done = size - left;
        const size_t chunk = done < stopAt ? std::min(left, stopAt - done) : left;
        ssize_t n = ::write(fd, p, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return abandon("can't write " + path, errno);
        }
        p += n;
        left -= size_t(n);
        if (size - left == stopAt) ::raise(SIGSTOP);
    }
    if (fault == SafeWriteFault::Flush || ::fsync(fd) != 0)
        return abandon("can't flush " + path, fault == SafeWriteFault::Flush ? EIO : errno);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        return Fail(error, "can't write " + path, err);
    }
    if (fault == SafeWriteFault::Rename || ::rename(tmp.c_str(), target.c_str()) != 0) {
        int err = fault == SafeWriteFault::Rename ? EXDEV : errno;
        ::unlink(tmp.c_str());
        return Fail(error, "can't replace " + path, err);
    }
    return true;
}

int OpenRegularFileForReading(const std::string& path, std::string* notRegular) {
    if (notRegular) notRegular->clear();
    // Without O_NONBLOCK, opening a named pipe waits for a writer that may never come.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        if (notRegular) *notRegular = NotRegularKind(st.st_mode);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    // Reads of a regular file never wait anyway; the flag goes for what follows.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

std::string NotRegularFileText(const std::string& path, const std::string& notRegular) {
    return path + " is " + notRegular + ", not a regular file";
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string* error,
                   uint64_t maxBytes) {
    out.clear();
    std::string notRegular;
    const int fd = OpenRegularFileForReading(path, &notRegular);
    if (fd < 0) {
        if (!notRegular.empty()) {
            const int err = errno;
            if (error) *error = NotRegularFileText(path, notRegular);
            errno = err;
            return false;
        }
        return Fail(error, "can't open " + path, errno);
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return Fail(error, "can't read " + path, err);
    }
    if (uint64_t(st.st_size) > maxBytes) {
        ::close(fd);
        return Fail(error, "too large: " + path, EFBIG);
    }
    int err = 0;
    try {
        out.resize(size_t(st.st_size));
    } catch (const std::bad_alloc&) {
        err = ENOMEM;
    }
    size_t got = 0;
    while (err == 0 && got < out.size()) {
        const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) err = n < 0 ? errno : EIO;  // shorter than its size said
        else got += size_t(n);
    }
    ::close(fd);
    if (err != 0) {
        std::vector<uint8_t>().swap(out);
        return Fail(error, "can't read " + path, err);
    }
    return true;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string StemOf(const std::string& path) {
    std::string name = FileNameOf(path);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string ExtensionOf(const std::string& path) {
    std::string name = FileNameOf(path);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ::strcasecmp(a.c_str(), b.c_str()) == 0;
}

std::string FindFileNoCase(const std::string& folder, const std::string& name) {
    std::string exact = JoinPath(folder, name);
    struct stat st;
    if (::stat(exact.c_str(), &st) == 0) return exact;
    DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!d) return std::string();
    std::string found;
    while (dirent* e = ::readdir(d)) {
        if (EqualsNoCase(e->d_name, name)) {
            found = JoinPath(folder, e->d_name);
            break;
        }
    }
    ::closedir(d);
    return found;
}

std::string ExecutableFolder() {
    std::vector<char> buf(4096);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return std::string("./");
        if (size_t(n) < buf.size()) return FolderOf(std::string(buf.data(), size_t(n)));
        buf.resize(buf.size() * 2);
    }
}

}  // namespace lithoscope
