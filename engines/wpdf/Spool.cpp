#include "Spool.h"

#include <qpdf/Pipeline.hh>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <stdexcept>
#include <unistd.h>
#include <algorithm>
#include <vector>

namespace wpdf {

namespace {

// O_TMPFILE leaves nothing behind even if the process dies; mkstemp plus an
// immediate unlink is the fallback for file systems without it.
int openUnnamed(const std::string &folder)
{
    if (folder.empty())
        return -1;
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
    std::string pattern = folder + "/.wpdf-spool-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(name.data());
    return fd;
}

} // namespace

Spool::Spool(const std::string &folder)
{
    fd_ = openUnnamed(folder);
    if (fd_ < 0) {
        const char *tmp = std::getenv("TMPDIR");
        fd_ = openUnnamed(tmp && *tmp ? tmp : "/tmp");
        if (fd_ < 0 && !(tmp && *tmp))
            fd_ = openUnnamed("/tmp");
    }
    if (fd_ < 0)
        throw std::runtime_error("No temporary file for picture data could be created.");
}

Spool::~Spool()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void Spool::add(QPDFObjGen og, const uint8_t *data, size_t length)
{
    uint64_t offset = end_;
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::pwrite(fd_, data + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error(std::string("Picture data could not be stored: ") +
                                     std::strerror(n < 0 ? errno : ENOSPC) + ".");
        done += static_cast<size_t>(n);
    }
    end_ += length;
    extents_[og] = Extent{offset, length};
}

void Spool::addFile(QPDFObjGen og, const std::string &path, int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw std::runtime_error("The picture file \"" + path + "\" cannot be examined: " + std::strerror(errno) + ".");
    files_[og] = FileData{path, uint64_t(st.st_dev), uint64_t(st.st_ino), uint64_t(st.st_size),
                          int64_t(st.st_mtim.tv_sec), int64_t(st.st_mtim.tv_nsec)};
}

void Spool::provideFile(const FileData &file, Pipeline *pipeline)
{
    const int fd = ::open(file.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    const bool same = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && uint64_t(st.st_dev) == file.device &&
                      uint64_t(st.st_ino) == file.inode && uint64_t(st.st_size) == file.length &&
                      st.st_mtim.tv_sec == file.modifiedSeconds && st.st_mtim.tv_nsec == file.modifiedNanoseconds;
    if (!same) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("The picture file \"" + file.path +
                                 "\" was changed or removed before the PDF file was written.");
    }
    // One buffer for every picture; the writer copies what it is given.
    static thread_local std::vector<unsigned char> buffer(1 << 20);
    uint64_t done = 0;
    while (done < file.length) {
        const size_t want = size_t(std::min<uint64_t>(buffer.size(), file.length - done));
        const ssize_t n = ::pread(fd, buffer.data(), want, off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            throw std::runtime_error("The picture file \"" + file.path + "\" could not be read back.");
        }
        pipeline->write(buffer.data(), size_t(n));
        done += uint64_t(n);
    }
    ::close(fd);
    pipeline->finish();
}

void Spool::provideStreamData(QPDFObjGen const &og, Pipeline *pipeline)
{
    if (auto file = files_.find(og); file != files_.end()) {
        provideFile(file->second, pipeline);
        return;
    }
    auto it = extents_.find(og);
    if (it == extents_.end())
        throw std::runtime_error("Picture data for a stream is missing.");
    // Small chunks: the writer may call this once per picture on huge documents.
    unsigned char buffer[64 * 1024];
    uint64_t left = it->second.length;
    uint64_t pos = it->second.offset;
    while (left > 0) {
        size_t want = left < sizeof(buffer) ? static_cast<size_t>(left) : sizeof(buffer);
        ssize_t n = ::pread(fd_, buffer, want, static_cast<off_t>(pos));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error("Picture data could not be read back.");
        pipeline->write(buffer, static_cast<size_t>(n));
        pos += static_cast<uint64_t>(n);
        left -= static_cast<uint64_t>(n);
    }
    pipeline->finish();
}

} // namespace wpdf
