#include "movie/SwfFileInfo.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <lzma.h>
#include <zlib.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

namespace {

// Enough for the widest frame rectangle (31-bit fields) plus rate and count.
constexpr size_t kBodySize = 25;
constexpr qint64 kLeadSize = 8;
// Anything of 22 bytes or fewer cannot be a movie worth reading.
constexpr qint64 kSmallestMovie = 23;
// Compressed input is fed in small pieces so only the start of a large
// movie is ever read.
constexpr qint64 kChunkSize = 256;

using Body = std::array<uint8_t, kBodySize>;

SwfHeaderError damaged(const QString &fileName)
{
    return SwfHeaderError(
        QStringLiteral("The compressed movie \"%1\" is damaged and cannot be read.")
            .arg(QFileInfo(fileName).fileName())
            .toStdString());
}

SwfHeaderError unreadable(const QString &fileName)
{
    return SwfHeaderError(QStringLiteral("The movie \"%1\" could not be read.")
                              .arg(QFileInfo(fileName).fileName())
                              .toStdString());
}

size_t rectBits(const Body &body)
{
    return ReadBits(body.data(), 0, 5);
}

// Bytes of the body the header's fields occupy.
size_t fieldBytes(const Body &body)
{
    return (5 + 4 * rectBits(body) + 7) / 8 + 4;
}

// A stream may legitimately end before filling the body (a tiny movie),
// but only once every header field has been delivered; the rest stays zero
// as with a short uncompressed file.
void requireWholeHeader(const Body &body, size_t produced, bool streamEnded,
                        const QString &fileName)
{
    if (produced == kBodySize)
        return;
    if (!streamEnded || produced == 0 || produced < fieldBytes(body))
        throw damaged(fileName);
}

// Refills an empty input buffer from the file; false once the file is
// exhausted.
bool refill(QFile &file, std::array<uint8_t, kChunkSize> &buffer, const uint8_t *&next,
            size_t &available, const QString &fileName)
{
    const qint64 got = file.read(reinterpret_cast<char *>(buffer.data()), kChunkSize);
    if (got < 0)
        throw unreadable(fileName);
    next = buffer.data();
    available = size_t(got);
    return got > 0;
}

void inflateBody(QFile &file, Body &body, const QString &fileName)
{
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        throw std::bad_alloc();
    const std::unique_ptr<z_stream, int (*)(z_stream *)> release(&zs, inflateEnd);

    std::array<uint8_t, kChunkSize> input;
    zs.next_out = body.data();
    zs.avail_out = kBodySize;
    bool ended = false;
    while (zs.avail_out > 0) {
        if (zs.avail_in == 0) {
            const uint8_t *next = nullptr;
            size_t available = 0;
            if (!refill(file, input, next, available, fileName))
                break;
            zs.next_in = const_cast<Bytef *>(next);
            zs.avail_in = uInt(available);
        }
        const int rc = inflate(&zs, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
            ended = true;
            break;
        }
        if (rc == Z_MEM_ERROR)
            throw std::bad_alloc();
        if (rc != Z_OK)
            throw damaged(fileName);
    }
    requireWholeHeader(body, kBodySize - zs.avail_out, ended, fileName);
}

// After the lead: the compressed length (not needed, the file's end bounds
// the data), five LZMA properties, then a raw LZMA stream.
void decodeLzmaBody(QFile &file, Body &body, const QString &fileName)
{
    std::array<uint8_t, 9> prefix;
    if (file.read(reinterpret_cast<char *>(prefix.data()), prefix.size()) != qint64(prefix.size()))
        throw unreadable(fileName);

    lzma_filter filters[2] = {};
    filters[0].id = LZMA_FILTER_LZMA1;
    filters[1].id = LZMA_VLI_UNKNOWN;
    if (lzma_properties_decode(&filters[0], nullptr, prefix.data() + 4, 5) != LZMA_OK)
        throw damaged(fileName);
    const std::unique_ptr<void, void (*)(void *)> options(filters[0].options, std::free);
    // Only the first bytes are decoded, so nothing can refer further back
    // than the smallest window; a damaged size field must not make us
    // reserve gigabytes.
    static_cast<lzma_options_lzma *>(filters[0].options)->dict_size = LZMA_DICT_SIZE_MIN;

    lzma_stream ls = LZMA_STREAM_INIT;
    const lzma_ret init = lzma_raw_decoder(&ls, filters);
    if (init == LZMA_MEM_ERROR)
        throw std::bad_alloc();
    if (init != LZMA_OK)
        throw damaged(fileName);
    const std::unique_ptr<lzma_stream, void (*)(lzma_stream *)> release(&ls, lzma_end);

    std::array<uint8_t, kChunkSize> input;
    ls.next_out = body.data();
    ls.avail_out = kBodySize;
    bool ended = false;
    while (ls.avail_out > 0) {
        if (ls.avail_in == 0 && !refill(file, input, ls.next_in, ls.avail_in, fileName))
            break;
        const lzma_ret rc = lzma_code(&ls, LZMA_RUN);
        if (rc == LZMA_STREAM_END) {
            ended = true;
            break;
        }
        if (rc == LZMA_MEM_ERROR)
            throw std::bad_alloc();
        if (rc != LZMA_OK)
            throw damaged(fileName);
    }
    requireWholeHeader(body, kBodySize - ls.avail_out, ended, fileName);
}

void decodeBody(const Body &body, TSwfHeader &header)
{
    const uint8_t *p = body.data();
    const unsigned n = unsigned(rectBits(body));
    header.Xmin = ReadBits(p, 5, n);
    header.Xmax = ReadBits(p, 5 + n, n);
    header.Ymin = ReadBits(p, 5 + 2 * n, n);
    header.Ymax = ReadBits(p, 5 + 3 * n, n);
    // The rate is 8.8 fixed point, little-endian: fraction first.
    const size_t at = (5 + 4 * n + 7) / 8;
    header.FrameRateFraction = p[at];
    header.FrameRate = p[at + 1];
    header.FrameCount = uint32_t(p[at + 2]) | uint32_t(p[at + 3]) << 8;
}

} // namespace

uint32_t ReadBits(const uint8_t *data, size_t bitPosition, unsigned bitCount)
{
    if (bitCount > 32)
        bitCount = 32;
    uint64_t value = 0;
    for (size_t bit = bitPosition; bit < bitPosition + bitCount; ++bit)
        value = value << 1 | ((data[bit / 8] >> (7 - bit % 8)) & 1u);
    return uint32_t(value);
}

QString SwfFileProblem(const QString &fileName, const QString &displayName, TSwfHeader &header)
{
    header = TSwfHeader{};
    try {
        if (!ReadSwfHeader(fileName, header))
            return QStringLiteral("The file \"%1\" is not a Flash movie.").arg(displayName);
    } catch (const SwfHeaderError &e) {
        return QString::fromUtf8(e.what());
    }
    // Less than a whole pixel (20 twips) either way: nothing to capture.
    if (header.Xmax < 20 || header.Ymax < 20)
        return QStringLiteral("The movie \"%1\" has no stage to show (it is damaged or cut short).").arg(displayName);
    return QString();
}

bool ReadSwfHeader(const QString &fileName, TSwfHeader &header)
{
    // Regular files only: opening a pipe or device could block forever.
    const QFileInfo info(fileName);
    if (!info.isFile() || info.size() < kSmallestMovie)
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() < kSmallestMovie)
        return false;

    std::array<char, kLeadSize> lead;
    if (file.read(lead.data(), kLeadSize) != kLeadSize)
        return false;
    std::memcpy(header.Signature, lead.data(), 3);
    header.Version = uint8_t(lead[3]);
    header.FileLength = qFromLittleEndian<quint32>(lead.data() + 4);

    const std::string_view signature(lead.data(), 3);
    Body body{};
    if (signature == "CWS" && header.Version >= 6) {
        inflateBody(file, body, fileName);
    } else if (signature == "ZWS") {
        // LZMA movies first came with version 13, but the layout does not
        // depend on the version, so any version is read.
        decodeLzmaBody(file, body, fileName);
    } else {
        if (signature != "FWS")
            return false;
        // A file shorter than the whole body still holds the leading fields;
        // the missing bytes read as zero.
        if (file.read(reinterpret_cast<char *>(body.data()), kBodySize) < 0)
            return false;
    }
    decodeBody(body, header);
    return true;
}
