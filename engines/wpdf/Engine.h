#pragma once
// One engine instance: the document being made between actions 4533 and 4539.
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "WpdfApi.h"

namespace wpdf {

class FontSet;
class Spool;
struct EmfText;

// Result codes written into the image record and returned by the actions.
enum ActionResult : int32_t {
    kOk = 0,
    kFailed = 1,        // general failure, reported through the callback
    kNoPage = 2,        // drawing without a begun page
    kBadPicture = 3,    // data are not JPEG data that can be placed
    kUnsupportedKind = 4,
    kNoRecord = 5,
    kDamagedMetafile = 6, // what could be read was placed
};

class Engine {
public:
    Engine(WPPDF_Callback callback, void *component);
    ~Engine();
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    void setInt(int32_t id, int32_t value);
    void setText(int32_t id, const char *text);
    void initializePage(const void *pageRecord);
    intptr_t action(int32_t id, intptr_t argument, void *record);

    // Kind-1 callback with a one-sentence message.
    void report(int32_t value, const std::string &message);

private:
    struct Page {
        double width = 0, height = 0;
        double unitX = 1, unitY = 1; // points per unit of the page's resolution
        std::string content;
        QPDFObjectHandle xobjects;
        QPDFObjectHandle fonts;
        int images = 0;
    };

    int32_t beginDocument(const char *fileName);
    bool openFrontFile();
    std::string copyFrontFile(QPDF &front, const std::string &path, size_t &pageCount);
    int32_t beginPage();
    int32_t endPage();
    int32_t endDocument();
    int32_t writeFile(const char *fileName);
    // Writes the document on a large stack; returns a sentence naming `file`
    // when the front file or the document reported a problem on the way.
    std::string runWriter(const std::string &file, const std::function<void(QPDFWriter &)> &output,
                          const std::function<void(QPDFWriter &)> &written = {});
    intptr_t memoryCopy(intptr_t size, void *buffer);
    int32_t closeDocument();
    // file: the JPEG data are that file's, read again when writing.
    int32_t drawImage(uint8_t *record, const char *file);
    int32_t drawMetafile(intptr_t metafile, const uint8_t *record);
    void drawText(const EmfText &text, double originX, double originY, double scaleX, double scaleY);
    void setDocumentInfo();
    void setViewerPreferences();
    void configureWriter(QPDFWriter &writer);
    int32_t intProp(int32_t id, int32_t fallback = 0) const;
    std::string textProp(int32_t id) const;

    WPPDF_Callback callback_;
    void *component_;
    std::map<int32_t, int32_t> ints_;
    std::map<int32_t, std::string> texts_;

    // Geometry from the last page record.
    int32_t pageWidth_ = 595, pageHeight_ = 842, resX_ = 72, resY_ = 72;

    std::unique_ptr<QPDF> pdf_;
    std::unique_ptr<QPDF> front_;
    std::shared_ptr<Spool> spool_;
    std::unique_ptr<FontSet> fonts_;
    std::optional<Page> page_;
    std::shared_ptr<Buffer> memory_;
    std::string fileName_;
    std::string ownerFallback_;
    bool ended_ = false;
};

} // namespace wpdf
