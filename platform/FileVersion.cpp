#include "platform/FileVersion.h"

#include "platform/VersionStamp.h"

#include <QFile>
#include <QtEndian>

#include <cstddef>
#include <cstring>
#include <elf.h>
#include <limits.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

constexpr char kMagic[8] = {'T', 'S', 'Y', 'V', 'E', 'R', '1', '\0'};
constexpr quint64 kHeaderSize = 64;
constexpr quint64 kSectionHeaderSize = 64;
// Far beyond any real program; bounds what a hostile file can make us read.
constexpr quint64 kMaxSectionTable = 16 * 1024 * 1024;
constexpr quint64 kMaxNameTable = 1024 * 1024;

using Bytes = std::vector<uchar>;

// Reads byte ranges that must lie wholly inside the file.
class BoundedFile {
public:
    explicit BoundedFile(const QString &path) : m_file(path) {}
    bool open()
    {
        if (!m_file.open(QIODevice::ReadOnly))
            return false;
        m_size = quint64(m_file.size());
        return true;
    }
    std::optional<Bytes> read(quint64 offset, quint64 length)
    {
        if (offset > m_size || length > m_size - offset || length > quint64(INT_MAX))
            return std::nullopt;
        Bytes bytes(length);
        if (!m_file.seek(qint64(offset)) || m_file.read(reinterpret_cast<char *>(bytes.data()), qint64(length)) != qint64(length))
            return std::nullopt;
        return bytes;
    }

private:
    QFile m_file;
    quint64 m_size = 0;
};

template <typename T>
T field(const Bytes &bytes, quint64 offset)
{
    return qFromLittleEndian<T>(bytes.data() + offset);
}

struct Section {
    quint32 name, type, link;
    quint64 offset, size;
};

Section sectionAt(const Bytes &table, quint64 index, quint64 entrySize)
{
    const quint64 at = index * entrySize;
    return {field<quint32>(table, at + 0), field<quint32>(table, at + 4), field<quint32>(table, at + 40),
            field<quint64>(table, at + 24), field<quint64>(table, at + 32)};
}

} // namespace

std::optional<FileVersion> readFileVersion(const QString &path)
{
    BoundedFile file(path);
    if (!file.open())
        return std::nullopt;
    const auto header = file.read(0, kHeaderSize);
    if (!header || std::memcmp(header->data(), ELFMAG, SELFMAG) != 0
        || (*header)[EI_CLASS] != ELFCLASS64 || (*header)[EI_DATA] != ELFDATA2LSB)
        return std::nullopt;

    const quint64 tableOffset = field<quint64>(*header, 40);
    const quint64 entrySize = field<quint16>(*header, 58);
    quint64 count = field<quint16>(*header, 60);
    quint64 nameIndex = field<quint16>(*header, 62);
    if (tableOffset == 0 || entrySize < kSectionHeaderSize)
        return std::nullopt;

    // With many sections the real count and name-table index live in section 0.
    const auto first = file.read(tableOffset, entrySize);
    if (!first)
        return std::nullopt;
    const Section zero = sectionAt(*first, 0, entrySize);
    if (count == 0)
        count = zero.size;
    if (nameIndex == SHN_XINDEX)
        nameIndex = zero.link;
    if (count == 0 || count > kMaxSectionTable / entrySize || nameIndex == SHN_UNDEF || nameIndex >= count)
        return std::nullopt;

    const auto table = file.read(tableOffset, count * entrySize);
    if (!table)
        return std::nullopt;
    const Section names = sectionAt(*table, nameIndex, entrySize);
    if (names.type == SHT_NOBITS || names.size > kMaxNameTable)
        return std::nullopt;
    const auto nameTable = file.read(names.offset, names.size);
    if (!nameTable)
        return std::nullopt;

    const quint64 wantedLength = sizeof(kVersionSectionName); // with its NUL
    for (quint64 i = 1; i < count; ++i) {
        const Section s = sectionAt(*table, i, entrySize);
        if (s.name >= names.size || names.size - s.name < wantedLength
            || std::memcmp(nameTable->data() + s.name, kVersionSectionName, wantedLength) != 0)
            continue;
        if (s.type == SHT_NOBITS || s.size < sizeof(VersionStampRecord))
            continue;
        const auto record = file.read(s.offset, sizeof(VersionStampRecord));
        if (!record || std::memcmp(record->data(), kMagic, sizeof(kMagic)) != 0)
            continue;
        const quint64 v = offsetof(VersionStampRecord, version);
        return FileVersion{field<quint16>(*record, v), field<quint16>(*record, v + 2),
                           field<quint16>(*record, v + 4), field<quint16>(*record, v + 6)};
    }
    return std::nullopt;
}

QString ownExecutablePath()
{
    QByteArray buffer(PATH_MAX, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), size_t(buffer.size()));
        if (n < 0)
            return QString();
        if (n < buffer.size())
            return QFile::decodeName(buffer.left(n));
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace platform
