#include "platform/RegularFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

FileContents readRegularFile(const QString &path, qint64 maxBytes)
{
    FileContents out;
    const auto fail = [&](FileContents::Status status, const QString &why) {
        out.status = status;
        out.reason = QStringLiteral("The file %1 %2.").arg(path, why);
        out.bytes.clear();
        return out;
    };
    const auto systemError = [] { return QString::fromLocal8Bit(std::strerror(errno)); };

    // Non-blocking only for the open: a FIFO without a writer opens at once.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? fail(FileContents::Missing, QStringLiteral("does not exist"))
                               : fail(FileContents::Unreadable, QStringLiteral("cannot be opened (%1)").arg(systemError()));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return fail(FileContents::Unreadable, QStringLiteral("cannot be examined (%1)").arg(systemError()));
    if (!S_ISREG(st.st_mode))
        return fail(FileContents::NotAFile, S_ISDIR(st.st_mode) ? QStringLiteral("is a folder, not a file")
                                                               : QStringLiteral("is not a regular file"));
    if (st.st_size > maxBytes)
        return fail(FileContents::TooLarge, QStringLiteral("is larger than %1 bytes").arg(maxBytes));

    out.bytes.resize(qsizetype(st.st_size));
    qint64 done = 0;
    // A file that grew since fstat is read up to the limit; one more byte
    // tells whether it went past it.
    for (;;) {
        if (done == out.bytes.size()) {
            if (done > maxBytes)
                return fail(FileContents::TooLarge, QStringLiteral("is larger than %1 bytes").arg(maxBytes));
            out.bytes.resize(qsizetype(std::min<qint64>(done + 64 * 1024, maxBytes + 1)));
        }
        const ssize_t n = ::read(fd, out.bytes.data() + done, size_t(out.bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(FileContents::Unreadable, QStringLiteral("cannot be read (%1)").arg(systemError()));
        if (n == 0)
            break;
        done += n;
    }
    out.bytes.truncate(qsizetype(done));
    if (done > maxBytes)
        return fail(FileContents::TooLarge, QStringLiteral("is larger than %1 bytes").arg(maxBytes));
    out.status = FileContents::Read;
    return out;
}

} // namespace platform
