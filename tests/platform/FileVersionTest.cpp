#include "PlatformFixture.h"

#include "platform/FileVersion.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cctype>
#include <cstring>
#include <elf.h>
#include <random>

using platform::FileVersion;
using platform::readFileVersion;

namespace {

template <typename T>
void put(QByteArray &bytes, quint64 at, T value)
{
    if (at + sizeof(T) <= quint64(bytes.size()))
        qToLittleEndian(value, bytes.data() + at);
}

template <typename T>
T get(const QByteArray &bytes, quint64 at)
{
    return qFromLittleEndian<T>(bytes.constData() + at);
}

// Where the interesting parts of a (well-formed) ELF64 file sit.
struct Layout {
    quint64 tableOffset = 0, entrySize = 0, count = 0, namesIndex = 0, stampIndex = 0;
    quint64 header(quint64 index) const { return tableOffset + index * entrySize; }
};

Layout layoutOf(const QByteArray &elf)
{
    Layout l;
    l.tableOffset = get<quint64>(elf, 40);
    l.entrySize = get<quint16>(elf, 58);
    l.count = get<quint16>(elf, 60);
    l.namesIndex = get<quint16>(elf, 62);
    const quint64 names = get<quint64>(elf, l.header(l.namesIndex) + 24);
    for (quint64 i = 0; i < l.count; ++i) {
        if (std::strcmp(elf.constData() + names + get<quint32>(elf, l.header(i)), ".tessory_version") == 0)
            l.stampIndex = i;
    }
    return l;
}

// The smallest file that carries a stamp: null section, name table, stamp.
QByteArray syntheticElf(FileVersion v, bool extendedNumbering = false)
{
    const QByteArray names("\0.shstrtab\0.tessory_version\0", 28);
    QByteArray elf(64 + 32 + 16 + 3 * 64, '\0');
    std::memcpy(elf.data(), ELFMAG, SELFMAG);
    elf[EI_CLASS] = ELFCLASS64;
    elf[EI_DATA] = ELFDATA2LSB;
    elf[EI_VERSION] = EV_CURRENT;
    put<quint64>(elf, 40, 112);
    put<quint16>(elf, 52, 64);
    put<quint16>(elf, 58, 64);
    put<quint16>(elf, 60, extendedNumbering ? 0 : 3);
    put<quint16>(elf, 62, extendedNumbering ? SHN_XINDEX : 1);
    std::memcpy(elf.data() + 64, names.constData(), names.size());
    std::memcpy(elf.data() + 96, "TSYVER1", 8);
    const quint16 parts[] = {v.major, v.minor, v.release, v.build};
    for (int i = 0; i < 4; ++i)
        put<quint16>(elf, 104 + 2 * i, parts[i]);
    if (extendedNumbering) {
        put<quint64>(elf, 112 + 32, 3); // sh_size: section count
        put<quint32>(elf, 112 + 40, 1); // sh_link: name table index
    }
    const quint64 names_ = 112 + 64, stamp = 112 + 128;
    put<quint32>(elf, names_ + 0, 1);
    put<quint32>(elf, names_ + 4, SHT_STRTAB);
    put<quint64>(elf, names_ + 24, 64);
    put<quint64>(elf, names_ + 32, names.size());
    put<quint32>(elf, stamp + 0, 11);
    put<quint32>(elf, stamp + 4, SHT_PROGBITS);
    put<quint64>(elf, stamp + 24, 96);
    put<quint64>(elf, stamp + 32, 16);
    return elf;
}

class FileVersionTest : public PlatformFixture {
protected:
    QString writeTemp(const QByteArray &bytes, const QString &name = "probe")
    {
        const QString path = root() + "/" + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }
};

TEST_F(FileVersionTest, ReadsTheStampOfThisProgram)
{
    const QString self = platform::ownExecutablePath();
    EXPECT_TRUE(QFileInfo(self).isAbsolute());
    EXPECT_TRUE(QFileInfo(self).isExecutable());
    EXPECT_EQ(readFileVersion(self), (FileVersion{1, 0, 0, 0}));
}

TEST_F(FileVersionTest, ReadsAMinimalFileIncludingExtendedSectionNumbering)
{
    const FileVersion v{7, 65535, 3, 258};
    EXPECT_EQ(readFileVersion(writeTemp(syntheticElf(v))), v);
    EXPECT_EQ(readFileVersion(writeTemp(syntheticElf(v, true))), v);
}

TEST_F(FileVersionTest, AbsentOrUnreadableFilesHaveNoVersion)
{
    EXPECT_EQ(readFileVersion(root() + "/missing"), std::nullopt);
    EXPECT_EQ(readFileVersion(root()), std::nullopt);
    EXPECT_EQ(readFileVersion(writeTemp("#!/bin/sh\necho not elf\n")), std::nullopt);
}

struct Corruption {
    const char *what;
    std::function<void(QByteArray &, const Layout &)> apply;
};

class CorruptedProgramTest : public FileVersionTest, public ::testing::WithParamInterface<Corruption> {};

TEST_P(CorruptedProgramTest, HasNoVersionAndDoesNotCrash)
{
    QFile self(platform::ownExecutablePath());
    ASSERT_TRUE(self.open(QIODevice::ReadOnly));
    QByteArray elf = self.readAll();
    const Layout layout = layoutOf(elf);
    ASSERT_NE(layout.stampIndex, 0u);
    GetParam().apply(elf, layout);
    EXPECT_EQ(readFileVersion(writeTemp(elf)), std::nullopt);
}

constexpr quint64 kHuge = ~quint64(0) - 7;

const Corruption kCorruptions[] = {
    {"empty", [](QByteArray &e, const Layout &) { e.clear(); }},
    {"short header", [](QByteArray &e, const Layout &) { e.truncate(63); }},
    {"cut before the section table", [](QByteArray &e, const Layout &l) { e.truncate(l.tableOffset + 10); }},
    {"cut inside the section table", [](QByteArray &e, const Layout &l) { e.truncate(l.header(l.count) - 1); }},
    {"bad magic", [](QByteArray &e, const Layout &) { e[1] = 'X'; }},
    {"32-bit class", [](QByteArray &e, const Layout &) { e[EI_CLASS] = ELFCLASS32; }},
    {"big endian", [](QByteArray &e, const Layout &) { e[EI_DATA] = ELFDATA2MSB; }},
    {"table offset overflows", [](QByteArray &e, const Layout &) { put<quint64>(e, 40, kHuge); }},
    {"table offset near the end", [](QByteArray &e, const Layout &) { put<quint64>(e, 40, quint64(e.size()) - 10); }},
    {"entry size zero", [](QByteArray &e, const Layout &) { put<quint16>(e, 58, 0); }},
    {"entry size too small", [](QByteArray &e, const Layout &) { put<quint16>(e, 58, 40); }},
    {"section count beyond the file", [](QByteArray &e, const Layout &) { put<quint16>(e, 60, 0xfeff); }},
    {"name table index out of range", [](QByteArray &e, const Layout &l) { put<quint16>(e, 62, quint16(l.count)); }},
    {"extended name table index zero", [](QByteArray &e, const Layout &l) {
         put<quint16>(e, 62, SHN_XINDEX);
         put<quint32>(e, l.header(0) + 40, 0);
     }},
    {"extended count huge", [](QByteArray &e, const Layout &l) {
         put<quint16>(e, 60, 0);
         put<quint64>(e, l.header(0) + 32, kHuge);
     }},
    {"name table offset overflows", [](QByteArray &e, const Layout &l) { put<quint64>(e, l.header(l.namesIndex) + 24, kHuge); }},
    {"name table size beyond the file", [](QByteArray &e, const Layout &l) { put<quint64>(e, l.header(l.namesIndex) + 32, quint64(e.size())); }},
    {"stamp name index huge", [](QByteArray &e, const Layout &l) { put<quint32>(e, l.header(l.stampIndex), 0xffffffffu); }},
    {"stamp name runs off the name table", [](QByteArray &e, const Layout &l) {
         // The table now ends in the middle of the stamp's name.
         put<quint64>(e, l.header(l.namesIndex) + 32, get<quint32>(e, l.header(l.stampIndex)) + 5);
     }},
    {"stamp offset overflows", [](QByteArray &e, const Layout &l) { put<quint64>(e, l.header(l.stampIndex) + 24, kHuge); }},
    {"stamp runs off the file", [](QByteArray &e, const Layout &l) { put<quint64>(e, l.header(l.stampIndex) + 24, quint64(e.size()) - 8); }},
    {"stamp too small", [](QByteArray &e, const Layout &l) { put<quint64>(e, l.header(l.stampIndex) + 32, 8); }},
    {"stamp without contents", [](QByteArray &e, const Layout &l) { put<quint32>(e, l.header(l.stampIndex) + 4, SHT_NOBITS); }},
    {"stamp magic wrong", [](QByteArray &e, const Layout &l) {
         e[qsizetype(get<quint64>(e, l.header(l.stampIndex) + 24)) + 6] = '2';
     }},
};

INSTANTIATE_TEST_SUITE_P(Cases, CorruptedProgramTest, ::testing::ValuesIn(kCorruptions),
                         [](const ::testing::TestParamInfo<Corruption> &info) {
                             std::string name = info.param.what;
                             for (char &c : name)
                                 c = std::isalnum(uchar(c)) ? c : '_';
                             return name;
                         });

// Random damage to every byte of a small stamped file: run under the address
// sanitizer, this finds any read the bounds checks let through.
TEST_F(FileVersionTest, SurvivesRandomDamage)
{
    const QByteArray good = syntheticElf({1, 2, 3, 4});
    std::mt19937 random(20240611);
    for (int round = 0; round < 1000; ++round) {
        QByteArray damaged = good;
        const int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i)
            damaged[qsizetype(random() % quint32(damaged.size()))] = char(random());
        if (round % 7 == 0)
            damaged.truncate(qsizetype(random() % quint32(damaged.size())));
        const auto version = readFileVersion(writeTemp(damaged));
        if (version) {
            EXPECT_TRUE(damaged.contains("TSYVER1")) << round;
        }
    }
}

} // namespace
