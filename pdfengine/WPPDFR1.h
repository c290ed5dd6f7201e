#pragma once
// The binding to the PDF engine library: loading it, its entry points, the
// identifiers and records it understands, and the export component that
// drives it as a document of pages with a drawing canvas each.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>

#include "pdfengine/Canvas.h"

namespace platform {
class Module;
}

// Errors of the binding and the component; what() is the text for the user.
class EWPPDFError : public std::runtime_error {
public:
    explicit EWPPDFError(const QString &message, const QString &detail = QString())
        : std::runtime_error(message.toStdString()), m_detail(detail) {}
    // What the engine or the system said about the failure, if anything.
    const QString &Detail() const { return m_detail; }

private:
    QString m_detail;
};

// ---------------------------------------------------------------------------
// Entry points

using WPPDF_Handle = intptr_t; // 0 means failure
using WPPDF_Callback = int32_t (*)(void *component, int32_t kind, int32_t value, void *data);

struct TWPPDFEntries {
    WPPDF_Handle (*Initialize)(int32_t, int32_t, int32_t, int32_t, WPPDF_Callback, void *) = nullptr;
    void (*Finalize)(WPPDF_Handle) = nullptr;
    int32_t (*ProcessPDF)(WPPDF_Handle, const char *) = nullptr; // optional
    void (*SetSProp)(WPPDF_Handle, int32_t, const char *) = nullptr;
    void (*SetIProp)(WPPDF_Handle, int32_t, int32_t) = nullptr;
    intptr_t (*Action)(WPPDF_Handle, int32_t, intptr_t, void *) = nullptr;
    void (*InitializePage)(WPPDF_Handle, int32_t, const void *) = nullptr;
    int32_t (*WPTExec)(WPPDF_Handle, int32_t, intptr_t) = nullptr;
};

namespace wppdf {

// The name the library is known by in messages.
inline constexpr const char *kLibraryName = "wPDF200A.DLL";

enum IntProp : int32_t {
    ipEncodeStreamMethod = 1,
    ipCompressStreamMethod = 2,
    ipPageMode = 3,
    ipFontMode = 4,
    ipConvertJPEGData = 6,
    ipEncryption = 7,
    ipInputfileMode = 8,
    ipPDFReadMode = 9,
    ipVersion = 10, // always 200, sent last
    ipJPEGQuality = 12,
    ipZoomMode = 14,
    ipSecurity = 15,
    ipExtraMessages = 21,
    ipCreateThumbnails = 25,
    ipModes = 26,
    ipOptions = 27,
};

enum TextProp : int32_t {
    spAuthor = 1,
    spCreationDate = 2,
    spModDate = 3,
    spProducer = 4,
    spTitle = 5,
    spSubject = 6,
    spKeywords = 7,
    spExcludedFonts = 9,
    spOwnerPassword = 10,
    spUserPassword = 11,
    spInputFile = 12,
    spMergeStart = 14,
    spMergeText = 15,
    spExtraInfo = 16,
};

enum ActionId : int32_t {
    acBeginDoc = 4533,
    acEndDoc = 4534,
    acBeginPage = 4535,
    acEndPage = 4536,
    acMemoryCopy = 4537,
    acWriteFile = 4538,
    acCloseDoc = 4539,
    acDrawMetafile = 4544,
    acDrawImage = 4549,
    acDrawImageFile = 4550,
};

enum CallbackKind : int32_t { cbMessage = 1, cbInputPageCount = 2, cbPageData = 3, cbMergeText = 4 };
// The value of a message: how it bears on the action that sent it.
enum MessageValue : int32_t { msgError = 0, msgWarning = 1, msgInformation = 2 };

inline constexpr uint32_t kPageRecordFlags = 0x80000010;
inline constexpr int32_t kVersionValue = 200;

} // namespace wppdf

#pragma pack(push, 1)
struct TWPPDFPageRecord {
    int32_t Width = 0;  // points
    int32_t Height = 0;
    int32_t ResolutionX = 72;
    int32_t ResolutionY = 72;
    int32_t PageValue = 0;
    uint32_t Flags = wppdf::kPageRecordFlags;
    uint8_t Zero1[8] = {};
    uint8_t CreateThumbnails = 0;
    uint8_t Zero2[4] = {};
};
#pragma pack(pop)
static_assert(sizeof(TWPPDFPageRecord) == 37);
static_assert(offsetof(TWPPDFPageRecord, Flags) == 20 && offsetof(TWPPDFPageRecord, CreateThumbnails) == 32);

struct TWPPDFMetafileRecord {
    int32_t Zero0[2] = {};
    int32_t X = 0; // page points, top left origin
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t ResolutionX = 0;
    int32_t ResolutionY = 0;
    uint8_t Zero1[544] = {};
};
static_assert(sizeof(TWPPDFMetafileRecord) == 576);
static_assert(offsetof(TWPPDFMetafileRecord, X) == 8 && offsetof(TWPPDFMetafileRecord, ResolutionY) == 28);

struct TWPPDFImageRecord {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t DisplayWidth = 0; // points
    int32_t DisplayHeight = 0;
    int32_t Result = 0;       // written by the engine
    uint8_t Zero1[12] = {};
    const void *Data = nullptr;
    int32_t Length = 0;
    int32_t Kind = 0; // 2 JPEG, 7 and 6 the two other kinds
    int32_t PixelWidth = 0;
    int32_t PixelHeight = 0;
    uint8_t Zero2[8] = {};
};
static_assert(sizeof(TWPPDFImageRecord) == 64);
static_assert(offsetof(TWPPDFImageRecord, Data) == 32 && offsetof(TWPPDFImageRecord, Length) == 40 &&
              offsetof(TWPPDFImageRecord, PixelHeight) == 52);

// One component's hold on the library and its engine instance.
struct TWPPDFEngineLink {
    TWPPDFEngineLink();
    ~TWPPDFEngineLink();
    TWPPDFEngineLink(const TWPPDFEngineLink &) = delete;
    TWPPDFEngineLink &operator=(const TWPPDFEngineLink &) = delete;

    std::unique_ptr<platform::Module> Library;
    TWPPDFEntries Entries; // resolved from Library
    bool OwnsEngine = false;
    WPPDF_Handle Engine = 0;
    int Nesting = 0; // documents begun and not yet ended
};

// Makes the library ready: loads it if the link has none and resolves the
// entries. Raises EWPPDFError "not found" or "not compatible".
bool LoadEngine(TWPPDFEngineLink &link, const QString &libraryName = QString::fromLatin1(wppdf::kLibraryName));
// Finalises a remaining owned instance, then frees the library.
void UnloadEngine(TWPPDFEngineLink &link);

// The file that stands for a library name: "wPDF200A.DLL" -> "wPDF200A.so".
QString EngineFileName(const QString &libraryName);
// Where LoadEngine looks, in order: the program's own folder, then the plain
// file name for the system's library search.
QStringList EngineLibraryCandidates(const QString &libraryName);
// A fixed path to load instead of searching (empty: search); process-wide.
void SetEngineLibraryPath(const QString &path);
QString EngineLibraryPath();

// ---------------------------------------------------------------------------
// The export component

template <typename E>
class TWPSet {
public:
    constexpr TWPSet() = default;
    constexpr TWPSet(std::initializer_list<E> items)
    {
        for (E e : items)
            Include(e);
    }
    static constexpr TWPSet FromBits(uint32_t bits)
    {
        TWPSet s;
        s.m_bits = bits;
        return s;
    }
    constexpr bool Contains(E e) const { return m_bits & bit(e); }
    constexpr TWPSet &Include(E e)
    {
        m_bits |= bit(e);
        return *this;
    }
    constexpr TWPSet &Exclude(E e)
    {
        m_bits &= ~bit(e);
        return *this;
    }
    constexpr bool IsEmpty() const { return m_bits == 0; }
    constexpr uint32_t Bits() const { return m_bits; }
    constexpr bool operator==(const TWPSet &) const = default;

private:
    static constexpr uint32_t bit(E e) { return 1u << static_cast<unsigned>(e); }
    uint32_t m_bits = 0;
};

enum TWPPDFReadMode { wpdfStandard, wpdfRetrieveASCII, wpdfRetrieveEMF, wpdfRetrieveBMP };
enum TWPPDFCanvasReference { wprefScreen, wprefPrinter };
enum TWPEncodeStreamMethod { wpEncodeNone, wpASCII85Encode, wpASCIIHexEncode };
enum TWPCompressStreamMethod { wpCompressNone, wpCompressFlate, wpCompressRunlength, wpCompressFastFlate };
enum TWPDevMode {
    wpNoBITBLTFillRect, wpNeverFill, wpWhiteBrushIsTransparent, wpExactTextPositioning,
    wpNoTextRectClipping, wpClipRectSupport, wpDontStackWorldModifications, wpDontAdjustTextSpacing,
    wpDontCropBitmaps, wpAllowTransparentBit, wpAlwaysHighResPDF, wpNeverHighResPDF,
    wpUseFontWidthArgument, wpNoTextScaling,
};
using TWPDevModes = TWPSet<TWPDevMode>;
enum TWPDFOption { wpCreateAutoLinks };
using TWPDFOptions = TWPSet<TWPDFOption>;
enum TWPPDFPageModes { pwUseNone, wpUseOutlines, wpUseThumbs, wpFullScreen };
enum TWPPDFZoomModes { pwZoomDefault, pwZoomFitPage, pwZoomFitVertical, pwZoomFitHorizontal };
enum TWPPDFFontMode {
    wpUseTrueTypeFonts, wpEmbedTrueTypeFonts, wpEmbedSymbolTrueTypeFonts, wpUseBase14Type1Fonts,
    wpEmbedSubsetTrueType_Charsets, wpEmbedSubsetTrueType_UsedChar,
};
enum TWPDFEncryptionItem {
    wpEncryptFile, wpEnablePrinting, wpEnableChanging, wpEnableCopying, wpEnableForms, wpLowQualityPrintOnly,
};
using TWPDFEncryption = TWPSet<TWPDFEncryptionItem>;
enum TWPDFSecurity { wpp40bit, wpp128bit };
enum TWPJPEGQuality { wpNoJPEG, wpJPEG_10, wpJPEG_25, wpJPEG_50, wpJPEG_75, wpJPEG_100 };
enum TWPExtraMessage { wpOnEmbedFonts };
using TWPExtraMessages = TWPSet<TWPExtraMessage>;
enum TWPPDFInputfileMode { pwIgnoreInput, pwAppendToInput, wpConvertInputToWatermark, wpUseInputAsWatermark };

// Kinds of encoded picture data DrawJPEG takes.
enum TWPImageKind { wpImageJPEG = 0, wpImageKind1 = 1, wpImageKind2 = 2 };

// The document information.
class TWPPDFExportInfo {
public:
    TWPPDFExportInfo();
    QString Author, Producer, Title, Subject, Keywords;
    QStringList Strings; // extra information lines
    QDateTime CreationDate, ModDate;
};

class TWPCustomPDFExport;
using TWPNotifyEvent = std::function<void(TWPCustomPDFExport *sender)>;
using TWPErrorEvent = std::function<void(TWPCustomPDFExport *sender, const QString &message, int value)>;
using TWPMergeTextEvent = std::function<void(TWPCustomPDFExport *sender, const QString &name, QString &text)>;
using TWPGaugeEvent = std::function<void(TWPCustomPDFExport *sender, int percent)>;

// Makes a PDF document through the engine. Properties are set before
// BeginDoc; then StartPage, drawing (Canvas, DrawJPEG, DrawMetafile),
// EndPage for every page, and EndDoc. Errors are raised as EWPPDFError.
class TWPCustomPDFExport {
public:
    TWPCustomPDFExport();
    virtual ~TWPCustomPDFExport();
    TWPCustomPDFExport(const TWPCustomPDFExport &) = delete;
    TWPCustomPDFExport &operator=(const TWPCustomPDFExport &) = delete;

    void BeginDoc();
    // Page size in units of the given resolution (0 means 72, so points).
    void StartPage(int width, int height, int pageValue = 0, int resolutionX = 72, int resolutionY = 72);
    // The current page's canvas, in page points; placed on the page by EndPage.
    TCanvas &Canvas();
    // Places encoded picture data at (x, y) with the given display size in
    // points. Returns the engine's result (0 success), -1 when nothing was
    // handed to the engine (no data, unknown kind, no document).
    int DrawJPEG(int x, int y, int kind, int length, const void *data, int pixelWidth, int pixelHeight,
                 int displayHeight, int displayWidth);
    // The same for JPEG data in a file, which the engine reads when the
    // document is written: it must stay as it is until EndDoc.
    int DrawJPEGFile(int x, int y, const QString &file, int pixelWidth, int pixelHeight, int displayHeight,
                     int displayWidth);
    // Places a complete EMF image (its header's size field must fit within
    // the bytes). Returns the engine's result, -1 when nothing was placed.
    int DrawMetafile(int x, int y, int resolutionX, int resolutionY, const QByteArray &metafile, int width = 0,
                     int height = 0);
    void EndPage();
    // Ends, writes and closes the document. Raises EWPPDFError after closing
    // when the file could not be written.
    void EndDoc();

    bool InDocument() const { return m_inDoc; }
    bool InPage() const { return m_inPage; }
    int PageCount() const { return m_pageCounter; }
    // Pages of the input file, as the engine reported them.
    int InputPageCount() const { return m_inputPageCount; }
    // The finished document in memory mode.
    const QByteArray &MemoryDocument() const { return m_memoryDocument; }

protected:
    // Properties; TWPPDFPrinter publishes them.
    const QString &Filename() const { return m_filename; }
    void SetFilename(const QString &v) { m_filename = v; }
    TWPPDFReadMode PDFReadMode() const { return m_readMode; }
    void SetPDFReadMode(TWPPDFReadMode v) { m_readMode = v; }
    TWPPDFCanvasReference CanvasReference() const { return m_canvasReference; }
    void SetCanvasReference(TWPPDFCanvasReference v) { m_canvasReference = v; }
    bool AutoLaunch() const { return m_autoLaunch; }
    void SetAutoLaunch(bool v) { m_autoLaunch = v; }
    TWPEncodeStreamMethod EncodeStreamMethod() const { return m_encode; }
    void SetEncodeStreamMethod(TWPEncodeStreamMethod v) { m_encode = v; }
    TWPCompressStreamMethod CompressStreamMethod() const { return m_compress; }
    void SetCompressStreamMethod(TWPCompressStreamMethod v) { m_compress = v; }
    TWPPDFExportInfo &Info() { return *m_info; }
    const TWPPDFExportInfo &Info() const { return *m_info; }
    void SetInfo(const TWPPDFExportInfo &v) { *m_info = v; }
    bool CreateThumbnails() const { return m_createThumbnails; }
    void SetCreateThumbnails(bool v) { m_createThumbnails = v; }
    bool CreateOutlines() const { return m_createOutlines; }
    void SetCreateOutlines(bool v) { m_createOutlines = v; }
    bool ConvertJPEGData() const { return m_convertJpeg; }
    void SetConvertJPEGData(bool v) { m_convertJpeg = v; }
    bool InMemoryMode() const { return m_inMemory; }
    void SetInMemoryMode(bool v) { m_inMemory = v; }
    bool DebugMode() const { return m_debugMode; }
    void SetDebugMode(bool v) { m_debugMode = v; }
    TWPDevModes Modes() const { return m_modes; }
    void SetModes(TWPDevModes v);
    TWPDFOptions Options() const { return m_options; }
    void SetOptions(TWPDFOptions v);
    QStringList &ExcludedFonts() { return m_excludedFonts; }
    const QStringList &ExcludedFonts() const { return m_excludedFonts; }
    void SetExcludedFonts(const QStringList &v) { m_excludedFonts = v; }
    TWPPDFPageModes PageMode() const { return m_pageMode; }
    void SetPageMode(TWPPDFPageModes v) { m_pageMode = v; }
    TWPPDFZoomModes ZoomMode() const { return m_zoomMode; }
    void SetZoomMode(TWPPDFZoomModes v) { m_zoomMode = v; }
    TWPPDFFontMode FontMode() const { return m_fontMode; }
    void SetFontMode(TWPPDFFontMode v) { m_fontMode = v; }
    TWPDFEncryption Encryption() const { return m_encryption; }
    void SetEncryption(TWPDFEncryption v) { m_encryption = v; }
    TWPDFSecurity Security() const { return m_security; }
    void SetSecurity(TWPDFSecurity v) { m_security = v; }
    const QString &UserPassword() const { return m_userPassword; }
    void SetUserPassword(const QString &v) { m_userPassword = v; }
    const QString &OwnerPassword() const { return m_ownerPassword; }
    void SetOwnerPassword(const QString &v) { m_ownerPassword = v; }
    const QString &InputFile() const { return m_inputFile; }
    void SetInputFile(const QString &v) { m_inputFile = v; }
    const QString &MergeStart() const { return m_mergeStart; }
    void SetMergeStart(const QString &v);
    const QString &DebugMetafilePath() const { return m_debugMetafilePath; }
    void SetDebugMetafilePath(const QString &v) { m_debugMetafilePath = v; }
    TWPJPEGQuality JPEGQuality() const { return m_jpegQuality; }
    void SetJPEGQuality(TWPJPEGQuality v);
    TWPExtraMessages ExtraMessages() const { return m_extraMessages; }
    void SetExtraMessages(TWPExtraMessages v) { m_extraMessages = v; }
    TWPPDFInputfileMode InputfileMode() const { return m_inputfileMode; }
    void SetInputfileMode(TWPPDFInputfileMode v) { m_inputfileMode = v; }

    const TWPNotifyEvent &BeforeBeginDoc() const { return m_beforeBeginDoc; }
    void SetBeforeBeginDoc(TWPNotifyEvent v) { m_beforeBeginDoc = std::move(v); }
    const TWPNotifyEvent &AfterBeginDoc() const { return m_afterBeginDoc; }
    void SetAfterBeginDoc(TWPNotifyEvent v) { m_afterBeginDoc = std::move(v); }
    const TWPNotifyEvent &BeforeEndDoc() const { return m_beforeEndDoc; }
    void SetBeforeEndDoc(TWPNotifyEvent v) { m_beforeEndDoc = std::move(v); }
    const TWPNotifyEvent &AfterEndDoc() const { return m_afterEndDoc; }
    void SetAfterEndDoc(TWPNotifyEvent v) { m_afterEndDoc = std::move(v); }
    const TWPErrorEvent &OnError() const { return m_onError; }
    void SetOnError(TWPErrorEvent v) { m_onError = std::move(v); }
    const TWPMergeTextEvent &OnMergeText() const { return m_onMergeText; }
    void SetOnMergeText(TWPMergeTextEvent v) { m_onMergeText = std::move(v); }
    const TWPGaugeEvent &OnUpdateGauge() const { return m_onUpdateGauge; }
    void SetOnUpdateGauge(TWPGaugeEvent v) { m_onUpdateGauge = std::move(v); }

private:
    static int32_t EngineCallback(void *component, int32_t kind, int32_t value, void *data);
    int32_t HandleCallback(int32_t kind, int32_t value, void *data);
    void SendProperties();
    void SetIProp(int32_t id, int32_t value);
    void SetSProp(int32_t id, const QByteArray &text);
    intptr_t Action(int32_t id, intptr_t argument, void *record);
    void FinalizeEngine();
    void DiscardCanvas();
    void WriteDebugMetafile(const QByteArray &metafile);
    void Report(const QString &message, int value);
    // Rethrows what an event handler threw inside the engine's callback.
    void RaisePendingError();

    TWPPDFEngineLink m_link;

    QString m_filename;
    TWPPDFReadMode m_readMode = wpdfStandard;
    TWPPDFCanvasReference m_canvasReference = wprefScreen;
    bool m_autoLaunch = false;
    TWPEncodeStreamMethod m_encode = wpEncodeNone;
    TWPCompressStreamMethod m_compress = wpCompressNone;
    std::unique_ptr<TWPPDFExportInfo> m_info;
    bool m_createThumbnails = false, m_createOutlines = false, m_convertJpeg = false;
    bool m_inMemory = false, m_debugMode = false;
    TWPDevModes m_modes{wpClipRectSupport};
    TWPDFOptions m_options;
    QStringList m_excludedFonts;
    TWPPDFPageModes m_pageMode = pwUseNone;
    TWPPDFZoomModes m_zoomMode = pwZoomDefault;
    TWPPDFFontMode m_fontMode = wpUseTrueTypeFonts;
    TWPDFEncryption m_encryption;
    TWPDFSecurity m_security = wpp40bit;
    QString m_userPassword, m_ownerPassword, m_inputFile, m_mergeStart, m_debugMetafilePath;
    TWPJPEGQuality m_jpegQuality = wpNoJPEG;
    TWPExtraMessages m_extraMessages;
    TWPPDFInputfileMode m_inputfileMode = pwIgnoreInput;
    TWPNotifyEvent m_beforeBeginDoc, m_afterBeginDoc, m_beforeEndDoc, m_afterEndDoc;
    TWPErrorEvent m_onError;
    TWPMergeTextEvent m_onMergeText;
    TWPGaugeEvent m_onUpdateGauge;

    int m_resolutionX = 72, m_resolutionY = 72;
    int m_pageWidth = 0, m_pageHeight = 0;
    bool m_inDoc = false, m_inPage = false;
    int m_pageCounter = 0;
    int m_inputPageCount = 0;
    TWPPDFPageRecord m_pageRecord;
    std::unique_ptr<TMetafileCanvas> m_canvas;
    QByteArray m_memoryDocument;
    QString m_lastEngineMessage;
    std::exception_ptr m_pendingError;
};
