#include "platform/TempFolder.h"

#include "platform/PlatformError.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

[[noreturn]] void refuse(const QString &sentence)
{
    throw PlatformError(sentence.toStdString());
}

} // namespace

QString privateTempFolder()
{
    // A relative TMPDIR would put each process's folder somewhere else.
    QByteArray base = qgetenv("TMPDIR");
    if (base.isEmpty() || base.front() != '/')
        base = "/tmp";
    while (base.size() > 1 && base.endsWith('/'))
        base.chop(1);
    const QByteArray path = (base == "/" ? QByteArray() : base) + "/tessory-" + QByteArray::number(getuid());
    const QString shown = QFile::decodeName(path);

    bool made = false;
    if (::mkdir(path.constData(), 0700) == 0) {
        made = true;
    } else if (errno != EEXIST) {
        refuse(QStringLiteral("The temporary folder %1 cannot be created (%2); check that %3 exists and is writable.")
                   .arg(shown, QString::fromLocal8Bit(std::strerror(errno)), QFile::decodeName(base)));
    }

    struct stat st {};
    if (::lstat(path.constData(), &st) != 0) {
        refuse(QStringLiteral("The temporary folder %1 cannot be examined (%2); check the permissions of %3.")
                   .arg(shown, QString::fromLocal8Bit(std::strerror(errno)), QFile::decodeName(base)));
    }
    if (S_ISLNK(st.st_mode))
        refuse(QStringLiteral("The temporary folder %1 is a symbolic link, which others could have planted; remove it and start again.").arg(shown));
    if (!S_ISDIR(st.st_mode))
        refuse(QStringLiteral("The temporary folder %1 is not a folder; remove that file and start again.").arg(shown));
    if (st.st_uid != geteuid())
        refuse(QStringLiteral("The temporary folder %1 belongs to another user; remove it (as that user or the administrator) and start again.").arg(shown));

    // The umask may have taken bits from a folder made just now; give them back
    // through a descriptor so a swapped-in link is not followed.
    if (made && (st.st_mode & 07777) != 0700) {
        const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            if (::fchmod(fd, 0700) == 0 && ::fstat(fd, &st) != 0)
                st.st_mode = 0;
            ::close(fd);
        }
    }

    // An existing folder that others could reach is refused rather than
    // repaired: whatever they put into it is already there.
    if (st.st_mode & 077)
        refuse(QStringLiteral("The temporary folder %1 is open to other users; remove it and start again.").arg(shown));
    if ((st.st_mode & 0700) != 0700)
        refuse(QStringLiteral("The temporary folder %1 is not fully accessible to you; run \"chmod 700 %1\" and start again.").arg(shown));

    return shown + u'/';
}

} // namespace platform
