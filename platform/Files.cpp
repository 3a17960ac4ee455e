#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace lithoscope {

namespace {
SafeWriteFault g_fault = SafeWriteFault::None;

bool Fail(std::string* error, const std::string& what, int err) {
    if (error) *error = what + ": " + std::strerror(err);
    return false;
}
}  // namespace

void SetSafeWriteFault(SafeWriteFault fault) { g_fault = fault; }

bool WriteFileSafely(const std::string& path, const void* data, size_t size,
                     std::string* error) {
    if (path.empty()) return Fail(error, "empty file name", ENOENT);
    struct stat st;
    bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return Fail(error, "can't write " + path, EISDIR);
    if (exists && ::access(path.c_str(), W_OK) != 0)
        return Fail(error, "can't write " + path, errno);

    std::string folder = FolderOf(path);
    std::string tmpl = (folder.empty() ? std::string("./") : folder) + "." + FileNameOf(path) +
                       ".XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = g_fault == SafeWriteFault::Create ? (errno = EACCES, -1) : ::mkstemp(name.data());
    if (fd < 0) return Fail(error, "can't create a file beside " + path, errno);
    const std::string tmp(name.data());
    auto abandon = [&](const std::string& what, int err) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return Fail(error, what, err);
    };

    const uint8_t* p = static_cast<const uint8_t*>(data);
    size_t left = size;
    while (left > 0) {
        if (g_fault == SafeWriteFault::Write) return abandon("can't write " + path, ENOSPC);
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return abandon("can't write " + path, errno);
        }
        p += n;
        left -= size_t(n);
    }
    if (g_fault == SafeWriteFault::Flush || ::fsync(fd) != 0)
        return abandon("can't flush " + path, g_fault == SafeWriteFault::Flush ? EIO : errno);
    // Keep the old file's permissions; a new file gets the usual ones.
    mode_t mode = exists ? (st.st_mode & 07777) : 0666;
    if (!exists) {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(fd, mode);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        return Fail(error, "can't write " + path, err);
    }
    if (g_fault == SafeWriteFault::Rename || ::rename(tmp.c_str(), path.c_str()) != 0) {
        int err = g_fault == SafeWriteFault::Rename ? EXDEV : errno;
        ::unlink(tmp.c_str());
        return Fail(error, "can't replace " + path, err);
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string* error) {
    out.clear();
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return Fail(error, "can't open " + path, errno);
    struct stat st;
    if (::fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode)) {
        int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        std::fclose(f);
        return Fail(error, "can't read " + path, err);
    }
    out.resize(size_t(st.st_size));
    size_t got = out.empty() ? 0 : std::fread(out.data(), 1, out.size(), f);
    int err = std::ferror(f) ? errno : EIO;
    std::fclose(f);
    if (got != out.size()) {
        out.clear();
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
