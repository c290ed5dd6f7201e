#pragma once
#include <QString>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

// The facts a movie's header gives, in the packed form the rest of the
// program stores and hands on byte for byte.
#pragma pack(push, 1)
struct TSwfHeader {
    char Signature[3];          // "FWS", "CWS" or "ZWS"
    uint8_t Version;
    uint32_t FileLength;        // as stored: the uncompressed length, even for compressed movies
    uint32_t Xmin;              // frame rectangle in twips, read as unsigned values
    uint32_t Xmax;
    uint32_t Ymin;
    uint32_t Ymax;
    uint8_t FrameRate;          // whole frames per second
    uint8_t FrameRateFraction;  // 1/256 frames per second
    uint32_t FrameCount;
};
#pragma pack(pop)

static_assert(sizeof(TSwfHeader) == 30);
static_assert(offsetof(TSwfHeader, Signature) == 0);
static_assert(offsetof(TSwfHeader, Version) == 3);
static_assert(offsetof(TSwfHeader, FileLength) == 4);
static_assert(offsetof(TSwfHeader, Xmin) == 8);
static_assert(offsetof(TSwfHeader, Xmax) == 12);
static_assert(offsetof(TSwfHeader, Ymin) == 16);
static_assert(offsetof(TSwfHeader, Ymax) == 20);
static_assert(offsetof(TSwfHeader, FrameRate) == 24);
static_assert(offsetof(TSwfHeader, FrameRateFraction) == 25);
static_assert(offsetof(TSwfHeader, FrameCount) == 26);

// A compressed movie whose data cannot be unpacked; what() is one sentence
// naming the file, fit to show to the user.
class SwfHeaderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Fills header from the movie fileName. False when the file is missing, too
// short or not a movie; then only the first 8 bytes of header may have been
// overwritten. Throws SwfHeaderError when compressed data is damaged.
bool ReadSwfHeader(const QString &fileName, TSwfHeader &header);

// Why fileName cannot be opened as a movie, in one sentence naming it (not
// a movie, damaged compressed data, no stage); empty when header holds its
// facts. displayName is the name the user gave.
QString SwfFileProblem(const QString &fileName, const QString &displayName, TSwfHeader &header);

// The unsigned value of bitCount bits starting at bitPosition, most
// significant bit first (position 0 is the top bit of data[0]). Counts above
// 32 are taken as 32.
uint32_t ReadBits(const uint8_t *data, size_t bitPosition, unsigned bitCount);
