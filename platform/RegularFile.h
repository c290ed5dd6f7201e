#pragma once
#include <QByteArray>
#include <QString>

namespace platform {

// A whole file read at once. Devices, FIFOs, sockets and folders are refused
// without being read: opening a FIFO would wait for a writer for ever, and
// /dev/zero never ends.
struct FileContents {
    enum Status { Read, Missing, NotAFile, TooLarge, Unreadable };
    Status status = Missing;
    QByteArray bytes;
    QString reason; // one sentence naming the file, for every status but Read
};

FileContents readRegularFile(const QString &path, qint64 maxBytes);

} // namespace platform
