#include "JpegInfo.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace wpdf {

namespace {

int be16(const uint8_t *p) { return (p[0] << 8) | p[1]; }

bool fail(std::string *reason, const char *text)
{
    if (reason)
        *reason = text;
    return false;
}

struct HeaderCheckError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void onLibjpegError(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<HeaderCheckError *>(cinfo->err)->jump, 1);
}

void onLibjpegMessage(j_common_ptr, int) {}

// A second opinion from the decoder that viewers use: tables and frame header
// must read, so a picture that our marker walk accepts will also display.
bool libjpegAccepts(const uint8_t *data, size_t length)
{
    jpeg_decompress_struct cinfo;
    HeaderCheckError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = onLibjpegError;
    err.mgr.emit_message = onLibjpegMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(length));
    bool ok = jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK;
    jpeg_destroy_decompress(&cinfo);
    return ok;
}

} // namespace

std::optional<JpegInfo> readJpegInfo(const uint8_t *data, size_t length, std::string *reason)
{
    if (!data || length < 4 || data[0] != 0xFF || data[1] != 0xD8) {
        fail(reason, "The picture data are not JPEG data.");
        return std::nullopt;
    }
    JpegInfo info;
    bool haveFrame = false;
    bool adobe = false;
    size_t pos = 2;
    while (pos < length && !haveFrame) {
        if (data[pos] != 0xFF) {
            fail(reason, "The JPEG data are damaged (a marker was expected).");
            return std::nullopt;
        }
        while (pos < length && data[pos] == 0xFF) // fill bytes
            ++pos;
        if (pos >= length)
            break;
        uint8_t marker = data[pos++];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // no length field
        if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA) {
            fail(reason, "The JPEG data have no frame header.");
            return std::nullopt;
        }
        if (pos + 2 > length) {
            fail(reason, "The JPEG data are truncated.");
            return std::nullopt;
        }
        size_t segment = static_cast<size_t>(be16(data + pos));
        if (segment < 2 || pos + segment > length) {
            fail(reason, "The JPEG data are truncated.");
            return std::nullopt;
        }
        const uint8_t *body = data + pos + 2;
        size_t bodyLength = segment - 2;
        if (marker == 0xEE && bodyLength >= 12 && std::memcmp(body, "Adobe", 5) == 0)
            adobe = true;
        bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                   marker != 0xCC;
        if (sof) {
            // Only Huffman-coded baseline, extended and progressive frames display
            // everywhere; lossless, hierarchical and arithmetic ones do not.
            if (marker != 0xC0 && marker != 0xC1 && marker != 0xC2) {
                fail(reason, "The JPEG coding process is not supported in PDF files.");
                return std::nullopt;
            }
            if (bodyLength < 6) {
                fail(reason, "The JPEG frame header is damaged.");
                return std::nullopt;
            }
            info.bitsPerComponent = body[0];
            info.height = be16(body + 1);
            info.width = be16(body + 3);
            info.components = body[5];
            info.progressive = marker == 0xC2;
            if (bodyLength < 6 + 3 * static_cast<size_t>(info.components)) {
                fail(reason, "The JPEG frame header is damaged.");
                return std::nullopt;
            }
            haveFrame = true;
        }
        pos += segment;
    }
    if (!haveFrame) {
        fail(reason, "The JPEG data have no frame header.");
        return std::nullopt;
    }
    if (info.bitsPerComponent != 8) {
        fail(reason, "Only JPEG data with 8 bits per component can be placed.");
        return std::nullopt;
    }
    if (info.width <= 0 || info.height <= 0) {
        fail(reason, "The JPEG data have no picture size.");
        return std::nullopt;
    }
    if (info.components != 1 && info.components != 3 && info.components != 4) {
        fail(reason, "The JPEG data have an unsupported number of colour components.");
        return std::nullopt;
    }
    info.adobeInverted = adobe && info.components == 4;
    if (!libjpegAccepts(data, length)) {
        fail(reason, "The JPEG data are damaged.");
        return std::nullopt;
    }
    return info;
}

} // namespace wpdf
