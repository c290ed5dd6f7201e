// Fuzz entry for the PDF engine's two readers of outside data: the page
// metafile and the front PDF file. The first byte chooses: bit 0 set, the
// rest is a front file; clear, the rest is a metafile drawn on a page. Bit 1
// asks for embedded font subsets.
#include "engines/wpdf/WpdfApi.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

int32_t Ignore(void *, int32_t, int32_t, void *)
{
    return 0;
}

const std::string &Folder()
{
    static const std::string folder = [] {
        char name[] = "/tmp/engine-fuzz-XXXXXX";
        const char *made = mkdtemp(name);
        return std::string(made ? made : "/tmp");
    }();
    return folder;
}

void BeginPage(WPPDF_Handle h)
{
    unsigned char record[37] = {};
    const int32_t size = 300, res = 72;
    const uint32_t fixed = 0x80000010u;
    std::memcpy(record + 0, &size, 4);
    std::memcpy(record + 4, &size, 4);
    std::memcpy(record + 8, &res, 4);
    std::memcpy(record + 12, &res, 4);
    std::memcpy(record + 20, &fixed, 4);
    WPPDF_InitializePage(h, 0, record);
    WPPDF_Action(h, wpdf::kBeginPage, 0, nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t mode = data[0];
    ++data;
    --size;
    const std::string front = Folder() + "/front.pdf";
    const std::string out = Folder() + "/out.pdf";

    WPPDF_Handle h = WPPDF_Initialize(0, 0, 0, 1, Ignore, nullptr);
    if (!h)
        return 0;
    WPPDF_SetIProp(h, 4, (mode & 2) ? 5 : 0); // font mode
    if (mode & 1) {
        FILE *f = std::fopen(front.c_str(), "wb");
        if (!f) {
            WPPDF_Finalize(h);
            return 0;
        }
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        WPPDF_SetIProp(h, 8, 1);
        WPPDF_SetSProp(h, 12, front.c_str());
    }
    WPPDF_SetIProp(h, 10, 200);
    if (WPPDF_Action(h, wpdf::kBeginDoc, reinterpret_cast<intptr_t>(out.c_str()), nullptr) == 0) {
        BeginPage(h);
        if (!(mode & 1) && size >= 52) {
            // The engine reads as many bytes as the header declares, so the
            // declared size is made to match the bytes there are.
            std::vector<uint8_t> emf(data, data + size);
            const uint32_t bytes = uint32_t(emf.size());
            std::memcpy(emf.data() + 48, &bytes, 4);
            unsigned char record[576] = {};
            const int32_t res = 72;
            std::memcpy(record + 24, &res, 4);
            std::memcpy(record + 28, &res, 4);
            WPPDF_Action(h, wpdf::kDrawMetafile, reinterpret_cast<intptr_t>(emf.data()), record);
        }
        WPPDF_Action(h, wpdf::kEndPage, 0, nullptr);
        WPPDF_Action(h, wpdf::kEndDoc, 0, nullptr);
        WPPDF_Action(h, wpdf::kWriteFile, 0, const_cast<char *>(out.c_str()));
        WPPDF_Action(h, wpdf::kCloseDoc, 0, nullptr);
    }
    WPPDF_Finalize(h);
    return 0;
}
