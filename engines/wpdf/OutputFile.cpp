#include "OutputFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wpdf {

std::string folderOf(const std::string &path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

namespace {

constexpr size_t kBufferSize = 64 * 1024;

std::string baseOf(const std::string &path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

size_t nameMax(const std::string &folder)
{
    long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return max > 0 ? static_cast<size_t>(max) : NAME_MAX;
}

// Partial files are named "." + stem + "." + six letters or digits. The stem
// is the target's name, or a hash of it where that name would not fit.
std::string stemOf(const std::string &base, size_t max)
{
    if (base.size() + 8 <= max)
        return base;
    uint32_t hash = 2166136261u;
    for (unsigned char c : base)
        hash = (hash ^ c) * 16777619u;
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", hash);
    return hex;
}

bool isSuffixCharacter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

bool isPartialName(const std::string &name, const std::string &stem)
{
    if (name.size() != stem.size() + 8 || name[0] != '.' || name.compare(1, stem.size(), stem) != 0 ||
        name[stem.size() + 1] != '.')
        return false;
    for (size_t i = stem.size() + 2; i < name.size(); ++i)
        if (!isSuffixCharacter(name[i]))
            return false;
    return true;
}

std::string randomSuffix()
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937_64 random{std::random_device{}()};
    std::string s;
    for (int i = 0; i < 6; ++i)
        s.push_back(letters[random() % (sizeof letters - 1)]);
    return s;
}

bool sameFile(const struct stat &a, const struct stat &b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

mode_t creationMode()
{
    // The process umask, read without changing it.
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return 0666 & ~static_cast<mode_t>(std::strtol(line.c_str() + 6, nullptr, 8));
    return 0644;
}

[[noreturn]] void fail(int error) { throw std::runtime_error(std::strerror(error)); }

} // namespace

std::string OutputFile::problem(const std::string &target)
{
    const std::string file = "The PDF file \"" + target + "\" ";
    const std::string folder = folderOf(target), base = baseOf(target);
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return file + "cannot be created: " + std::strerror(errno) + ".";
    const size_t max = nameMax(folder);
    if (base.size() > max)
        return file + "cannot be created because its name is longer than the " + std::to_string(max) +
               " characters its folder allows; choose a shorter name.";
    struct stat st {};
    if (!base.empty() && ::stat(target.c_str(), &st) != 0)
        return errno == ENOENT ? std::string() : file + "cannot be created: " + std::strerror(errno) + ".";
    if (base.empty() || S_ISDIR(st.st_mode))
        return file + "cannot be created because a folder has that name; choose another name.";
    if (!S_ISREG(st.st_mode))
        return file + "cannot be created because something that is not a file has that name; choose another name.";
    // Root may write anything, so the mode tells whether the owner meant to keep the file.
    if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)
        return file + "cannot be replaced because it is write-protected; allow writing to it or choose another name.";
    return {};
}

void OutputFile::removeStalePartials(const std::string &target)
{
    const std::string folder = folderOf(target);
    const std::string stem = stemOf(baseOf(target), nameMax(folder));
    DIR *listing = ::opendir(folder.c_str());
    if (!listing)
        return;
    const int dir = ::dirfd(listing);
    std::vector<std::string> candidates;
    while (dirent *entry = ::readdir(listing))
        if (isPartialName(entry->d_name, stem))
            candidates.push_back(entry->d_name);
    for (const auto &name : candidates) {
        struct stat named {}, opened {}, locked {};
        if (::fstatat(dir, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode) ||
            named.st_uid != ::geteuid())
            continue;
        int fd = ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        // A live writer holds its lock until the file has its final name.
        if (::fstat(fd, &opened) == 0 && sameFile(opened, named) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(dir, name.c_str(), &locked, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(locked, opened))
            ::unlinkat(dir, name.c_str(), 0);
        ::close(fd);
    }
    ::closedir(listing);
}

OutputFile::OutputFile(const std::string &target)
    : target_(target), folder_(folderOf(target)), stem_(stemOf(baseOf(target), nameMax(folder_)))
{
    fd_ = ::open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
        // Guards the moment the file has a temporary name before it replaces the target.
        ::flock(fd_, LOCK_EX);
        return;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        fail(errno);
    for (int attempt = 0; fd_ < 0; ++attempt) {
        std::string pattern = folder_ + "/." + stem_ + ".XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0)
            fail(errno);
        // Locked for the whole write so that other runs leave it alone. One
        // clearing stale partials may have removed it before the lock was taken.
        ::flock(fd, LOCK_EX);
        struct stat opened {}, named {};
        if (::fstat(fd, &opened) == 0 && ::stat(name.data(), &named) == 0 && sameFile(opened, named)) {
            fd_ = fd;
            tempName_ = name.data();
        } else {
            ::close(fd);
            if (attempt == 10)
                throw std::runtime_error("its temporary file was removed by someone else");
        }
    }
}

OutputFile::~OutputFile()
{
    // Removed while still locked, so no other run takes it for stale meanwhile.
    if (!committed_ && !tempName_.empty())
        ::unlink(tempName_.c_str());
    if (fd_ >= 0)
        ::close(fd_);
}

int OutputFile::linkAs(const std::string &name) const
{
    std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    // Without /proc; this needs a privilege most users lack.
    if (errno == ENOENT && ::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0)
        return 0;
    return errno;
}

void OutputFile::commit(uint64_t written)
{
    struct stat st {};
    if (::fsync(fd_) != 0 || ::fstat(fd_, &st) != 0)
        fail(errno);
    if (static_cast<uint64_t>(st.st_size) != written)
        throw std::runtime_error("only " + std::to_string(st.st_size) + " of its " + std::to_string(written) +
                                 " bytes were stored");
    for (int attempt = 0;; ++attempt) {
        struct stat earlier {};
        const bool replacing = ::stat(target_.c_str(), &earlier) == 0;
        if (!replacing && errno != ENOENT)
            fail(errno);
        // A sheet written again keeps the permissions its owner gave it.
        if (::fchmod(fd_, replacing ? (earlier.st_mode & 0777) : creationMode()) != 0)
            fail(errno);
        if (!tempName_.empty()) {
            if (::rename(tempName_.c_str(), target_.c_str()) != 0)
                fail(errno);
            break;
        }
        if (!replacing) {
            int error = linkAs(target_);
            if (error == 0)
                break;
            // Created by someone else meanwhile: replaced as any earlier file.
            if (error != EEXIST || attempt == 3)
                fail(error);
            continue;
        }
        // A link cannot replace a name, so the file gets a temporary one beside it first.
        std::string temp;
        for (int tries = 0; temp.empty(); ++tries) {
            std::string name = folder_ + "/." + stem_ + "." + randomSuffix();
            int error = linkAs(name);
            if (error == 0)
                temp = name;
            else if (error != EEXIST || tries == 100)
                fail(error);
        }
        if (::rename(temp.c_str(), target_.c_str()) != 0) {
            int error = errno;
            ::unlink(temp.c_str());
            fail(error);
        }
        break;
    }
    committed_ = true;
    // The new name on disk too; the file is in place even if this fails.
    int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

FileSink::FileSink(int fd) : Pipeline("PDF file", nullptr), fd_(fd) { buffer_.reserve(kBufferSize); }

void FileSink::write(unsigned char const *data, size_t length)
{
    if (!failure_.empty())
        throw std::runtime_error(failure_);
    if (buffer_.size() + length > kBufferSize) {
        writeAll(buffer_.data(), buffer_.size());
        buffer_.clear();
    }
    if (length >= kBufferSize)
        writeAll(data, length);
    else
        buffer_.insert(buffer_.end(), data, data + length);
}

void FileSink::finish()
{
    // Also called while the writer unwinds, so a failure is only recorded.
    if (!failure_.empty())
        return;
    try {
        writeAll(buffer_.data(), buffer_.size());
    } catch (std::runtime_error &) {
    }
    buffer_.clear();
}

void FileSink::writeAll(const unsigned char *data, size_t length)
{
    while (length > 0) {
        ssize_t n = ::write(fd_, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure_ = std::strerror(n < 0 ? errno : ENOSPC);
            throw std::runtime_error(failure_);
        }
        data += n;
        length -= static_cast<size_t>(n);
        written_ += static_cast<uint64_t>(n);
    }
}

} // namespace wpdf
