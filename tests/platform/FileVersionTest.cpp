#include "PlatformFixture.h"

#include "platform/FileVersion.h"

#include <QFileInfo>
#include <QtEndian>

#include <cstring>
#include <elf.h>
#include <random>

using platform::FileVersion;
using platform::readFileVersion;

namespace {

template <typename T>
void put(QByteArray &b, quint64 at, T value)
{
    if (at + sizeof(T) <= quint64(b.size()))
        qToLittleEndian(value, b.data() + at);
}

template <typename T>
T get(QByteArray &b, quint64 at)
{
    return qFromLittleEndian<T>(b.data() + at);
}

// Offsets of the section headers that matter in a well-formed file.
struct Layout {
    quint64 table, entry, count, names, stamp = 0;
    quint64 at(quint64 index) const { return table + index * entry; }
};

Layout layoutOf(QByteArray &elf)
{
    Layout l{get<quint64>(elf, 40), get<quint16>(elf, 58), get<quint16>(elf, 60), get<quint16>(elf, 62)};
    const quint64 strings = get<quint64>(elf, l.at(l.names) + 24);
    for (quint64 i = 1; i < l.count; ++i) {
        if (std::strcmp(elf.data() + strings + get<quint32>(elf, l.at(i)), ".tessory_version") == 0)
            l.stamp = i;
    }
    return l;
}

// Header, name table at 64, stamp at 96, sections (null, names, stamp) at 112.
QByteArray minimalElf(FileVersion v, bool extendedNumbering)
{
    QByteArray elf(112 + 3 * 64, '\0');
    std::memcpy(elf.data(), "\x7f" "ELF\x02\x01\x01", 7);
    std::memcpy(elf.data() + 64, "\0.shstrtab\0.tessory_version", 28);
    std::memcpy(elf.data() + 96, "TSYVER1", 8);
    put<quint64>(elf, 40, 112);
    put<quint16>(elf, 58, 64);
    put<quint16>(elf, 60, extendedNumbering ? 0 : 3);
    put<quint16>(elf, 62, extendedNumbering ? SHN_XINDEX : 1);
    put<quint64>(elf, 112 + 32, extendedNumbering ? 3 : 0);
    put<quint32>(elf, 112 + 40, extendedNumbering ? 1 : 0);
    const quint16 parts[] = {v.major, v.minor, v.release, v.build};
    for (int i = 0; i < 4; ++i)
        put<quint16>(elf, 104 + 2 * i, parts[i]);
    const quint64 fields[2][4] = {{1, SHT_STRTAB, 64, 28}, {11, SHT_PROGBITS, 96, 16}};
    for (int s = 0; s < 2; ++s) {
        const quint64 h = 112 + 64 * (s + 1);
        put<quint32>(elf, h, quint32(fields[s][0]));
        put<quint32>(elf, h + 4, quint32(fields[s][1]));
        put<quint64>(elf, h + 24, fields[s][2]);
        put<quint64>(elf, h + 32, fields[s][3]);
    }
    return elf;
}

class FileVersionTest : public PlatformFixture {
protected:
    QString write(const QByteArray &bytes)
    {
        QFile file(root() + "/probe");
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return file.fileName();
    }
};

TEST_F(FileVersionTest, ReadsStampsAndOnlyStamps)
{
    const QString self = platform::ownExecutablePath();
    EXPECT_TRUE(QFileInfo(self).isAbsolute() && QFileInfo(self).isExecutable()) << self.toStdString();
    EXPECT_EQ(readFileVersion(self), (FileVersion{1, 0, 0, 0}));

    const FileVersion v{7, 65535, 3, 258};
    EXPECT_EQ(readFileVersion(write(minimalElf(v, false))), v);
    EXPECT_EQ(readFileVersion(write(minimalElf(v, true))), v);

    EXPECT_EQ(readFileVersion(root() + "/missing"), std::nullopt);
    EXPECT_EQ(readFileVersion(root()), std::nullopt);
    EXPECT_EQ(readFileVersion(write("#!/bin/sh\n")), std::nullopt);
}

using Corruption = std::pair<const char *, std::function<void(QByteArray &, const Layout &)>>;
class CorruptedProgramTest : public FileVersionTest, public ::testing::WithParamInterface<Corruption> {};

TEST_P(CorruptedProgramTest, HasNoVersion)
{
    QFile self(platform::ownExecutablePath());
    ASSERT_TRUE(self.open(QIODevice::ReadOnly));
    QByteArray elf = self.readAll();
    const Layout layout = layoutOf(elf);
    ASSERT_NE(layout.stamp, 0u);
    GetParam().second(elf, layout);
    EXPECT_EQ(readFileVersion(write(elf)), std::nullopt);
}

constexpr quint64 kHuge = ~quint64(0) - 7;

INSTANTIATE_TEST_SUITE_P(Cases, CorruptedProgramTest, ::testing::Values(
    Corruption{"ShortHeader", [](QByteArray &e, const Layout &) { e.truncate(63); }},
    Corruption{"CutInSectionTable", [](QByteArray &e, const Layout &l) { e.truncate(l.at(l.count) - 1); }},
    Corruption{"Class32", [](QByteArray &e, const Layout &) { e[EI_CLASS] = ELFCLASS32; }},
    Corruption{"BigEndian", [](QByteArray &e, const Layout &) { e[EI_DATA] = ELFDATA2MSB; }},
    Corruption{"TableOffsetOverflows", [](QByteArray &e, const Layout &) { put<quint64>(e, 40, kHuge); }},
    Corruption{"EntrySizeZero", [](QByteArray &e, const Layout &) { put<quint16>(e, 58, 0); }},
    Corruption{"EntrySizeTooSmall", [](QByteArray &e, const Layout &) { put<quint16>(e, 58, 40); }},
    Corruption{"CountBeyondFile", [](QByteArray &e, const Layout &) { put<quint16>(e, 60, 0xfeff); }},
    Corruption{"NamesIndexOutOfRange", [](QByteArray &e, const Layout &l) { put<quint16>(e, 62, quint16(l.count)); }},
    Corruption{"ExtendedCountHuge", [](QByteArray &e, const Layout &l) {
        put<quint16>(e, 60, 0);
        put<quint64>(e, l.at(0) + 32, kHuge);
    }},
    Corruption{"NamesOffsetOverflows", [](QByteArray &e, const Layout &l) { put<quint64>(e, l.at(l.names) + 24, kHuge); }},
    Corruption{"StampNameIndexHuge", [](QByteArray &e, const Layout &l) { put<quint32>(e, l.at(l.stamp), ~0u); }},
    Corruption{"StampNameCutByTableEnd", [](QByteArray &e, const Layout &l) {
        put<quint64>(e, l.at(l.names) + 32, get<quint32>(e, l.at(l.stamp)) + 5);
    }},
    Corruption{"StampOffsetOverflows", [](QByteArray &e, const Layout &l) { put<quint64>(e, l.at(l.stamp) + 24, kHuge); }},
    Corruption{"StampPastFileEnd", [](QByteArray &e, const Layout &l) { put<quint64>(e, l.at(l.stamp) + 24, e.size() - 8); }},
    Corruption{"StampTooSmall", [](QByteArray &e, const Layout &l) { put<quint64>(e, l.at(l.stamp) + 32, 8); }},
    Corruption{"StampWithoutBits", [](QByteArray &e, const Layout &l) { put<quint32>(e, l.at(l.stamp) + 4, SHT_NOBITS); }},
    Corruption{"StampMagicWrong", [](QByteArray &e, const Layout &l) { e[qsizetype(get<quint64>(e, l.at(l.stamp) + 24)) + 6] = '2'; }}),
    [](const auto &info) { return std::string(info.param.first); });

// Random damage to a small stamped file; under the address sanitizer this
// finds any read that the bounds checks let through.
TEST_F(FileVersionTest, SurvivesRandomDamage)
{
    const QByteArray good = minimalElf({1, 2, 3, 4}, false);
    std::mt19937 random(20240611);
    for (int round = 0; round < 1000; ++round) {
        QByteArray damaged = good;
        for (int i = 1 + int(random() % 4); i > 0; --i)
            damaged[qsizetype(random() % quint32(damaged.size()))] = char(random());
        if (round % 7 == 0)
            damaged.truncate(qsizetype(random() % quint32(damaged.size())));
        if (readFileVersion(write(damaged))) {
            EXPECT_TRUE(damaged.contains("TSYVER1")) << round;
        }
    }
}

} // namespace
