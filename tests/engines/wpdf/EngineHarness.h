#pragma once
#include "support/RawPdf.h"
// Drives the built engine library the way the program does: dlopen, the eight
// entry points, and records laid out byte by byte. Also makes test inputs
// (JPEGs whose colour encodes a number, metafiles) and reads PDFs back.
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace wpdftest {

using Handle = intptr_t;
using Callback = int32_t (*)(void *, int32_t, int32_t, void *);

struct EngineLibrary {
    Handle (*initialize)(int32_t, int32_t, int32_t, int32_t, Callback, void *) = nullptr;
    void (*finalize)(Handle) = nullptr;
    void (*setIProp)(Handle, int32_t, int32_t) = nullptr;
    void (*setSProp)(Handle, int32_t, const char *) = nullptr;
    intptr_t (*action)(Handle, int32_t, intptr_t, void *) = nullptr;
    void (*initializePage)(Handle, int32_t, const void *) = nullptr;
    int32_t (*processPdf)(Handle, const char *) = nullptr;
    int32_t (*wptexec)(Handle, int32_t, intptr_t) = nullptr;

    // Loaded once from $TESSORY_BIN/wPDF200A.so (else the path the build
    // recorded); aborts the test program on failure.
    static const EngineLibrary &get();
};

struct Message {
    int32_t kind;
    int32_t value;
    std::string text;
};

// The settings a run sends, with the values the program would send.
struct Settings {
    int32_t fontMode = 0;
    int32_t encryption = 0;
    int32_t security = 0;
    int32_t compress = 0;
    int32_t pageMode = 0;
    int32_t zoom = 0;
    int32_t inputFileMode = 1;
    std::string author, title, subject, keywords;
    std::string producer = "Tessory";
    std::string creationDate = "D:20240102030405", modDate = "D:20240102030405";
    std::string userPassword, ownerPassword, inputFile, excludedFonts;
};

// One engine instance; messages from the callback are collected.
class EngineRun {
public:
    EngineRun();
    ~EngineRun();
    EngineRun(const EngineRun &) = delete;
    EngineRun &operator=(const EngineRun &) = delete;

    Handle handle() const { return handle_; }
    const std::vector<Message> &messages() const { return messages_; }
    bool hasMessage(int32_t kind) const;

    void send(const Settings &s); // integer and text properties in the program's order
    intptr_t begin(const std::string &file);
    intptr_t page(int32_t width, int32_t height);
    // Returns the record's result field (also checked against the return value).
    int32_t image(int32_t x, int32_t y, int32_t w, int32_t h, const std::string &data,
                  int32_t kind = 2, int32_t pixelW = 0, int32_t pixelH = 0);
    // The same with the data in a file, read when the document is written.
    int32_t imageFile(int32_t x, int32_t y, int32_t w, int32_t h, const std::string &path);
    intptr_t metafile(const std::string &emf, int32_t x = 0, int32_t y = 0, int32_t res = 72);
    intptr_t endPage();
    // 4534, 4538 and 4539; returns the result of 4538.
    intptr_t finish(const std::string &file);
    intptr_t action(int32_t id, intptr_t argument = 0, void *record = nullptr);

private:
    static int32_t onCallback(void *component, int32_t kind, int32_t value, void *data);
    Handle handle_ = 0;
    std::vector<Message> messages_;
};

// A JPEG of one flat colour derived from `number` (1, 3 or 4 components).
std::string makeJpeg(int width, int height, int number, int components = 3, bool noisy = false,
                     int quality = 90);
// The colour makeJpeg uses for `number`.
std::array<int, 3> colourFor(int number);

// Builds an enhanced metafile in page points.
class EmfBuilder {
public:
    EmfBuilder(int32_t widthPt = 595, int32_t heightPt = 842);
    EmfBuilder &font(uint32_t id, int32_t height, const std::u16string &face, int32_t weight = 400,
                     bool italic = false, bool underline = false, bool strikeOut = false,
                     int32_t escapement = 0);
    EmfBuilder &select(uint32_t id);
    EmfBuilder &deleteObject(uint32_t id);
    EmfBuilder &textColor(uint32_t colorref);
    EmfBuilder &textAlign(uint32_t align);
    EmfBuilder &bkMode(uint32_t mode);
    EmfBuilder &text(int32_t x, int32_t y, const std::u16string &s);
    EmfBuilder &raw(const std::string &record);
    std::string bytes() const; // with EOF and the header's totals
    static std::string record(uint32_t type, const std::string &body);

private:
    std::string header_;
    std::string records_;
    uint32_t count_ = 1;
};

std::string le32(uint32_t v);

// A scratch folder removed at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path &path() const { return path_; }
    std::string file(const std::string &name) const { return (path_ / name).string(); }
    std::vector<std::string> entries(const std::string &folder = "") const; // of a folder inside, or of itself

private:
    std::filesystem::path path_;
};

struct CommandResult {
    int status;
    std::string output;
};
CommandResult shell(const std::string &command);
std::string quote(const std::string &s);

// Runs `body` in a forked child, so that a crash or a hang fails the test
// instead of ending the test program; `meanwhile` runs in the parent with the
// child's id. A child that crashed, was killed or ran past the timeout has
// finished false.
struct ChildResult {
    bool finished = false;
    std::string status;
    std::string output; // what body returned
};
ChildResult inChild(const std::function<std::string()> &body, int timeoutSeconds = 60,
                    const std::function<void(int pid)> &meanwhile = {});

// An action's result and the messages so far, carried as text out of a child.
struct Outcome {
    intptr_t result = -1;
    std::vector<Message> messages;
    std::string encode() const;
    static Outcome decode(const std::string &text);
};

// A PDF written as text (see support/RawPdf.h).
inline void writeRawPdf(const std::string &path, const std::vector<std::string> &bodies)
{
    rawpdf::write(path, bodies);
}

// Reading the PDF back.
struct Placement {
    double a, b, c, d, e, f;
};
struct PdfFile {
    explicit PdfFile(const std::string &path, const std::string &password = "");
    QPDF pdf;
    std::vector<QPDFObjectHandle> pages();
    std::array<double, 4> mediaBox(int pageIndex);
    std::map<std::string, QPDFObjectHandle> images(int pageIndex);
    std::string content(int pageIndex);
    std::map<std::string, Placement> placements(int pageIndex); // XObject name → cm before Do
    std::string info(const std::string &key);
};

struct Word {
    std::string text;
    double xMin, yMin, xMax, yMax;
};
std::vector<Word> wordsOnPage(const std::string &pdfPath, int page);

} // namespace wpdftest
