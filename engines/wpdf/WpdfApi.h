#pragma once
// The eight entry points of the PDF engine library and the records that travel
// with them (64-bit Linux layout). Integers are 32-bit little-endian, texts are
// zero-terminated UTF-8, handles and pointers are pointer-sized.
#include <cstdint>

extern "C" {

typedef intptr_t WPPDF_Handle; // 0 means failure
typedef int32_t (*WPPDF_Callback)(void *component, int32_t kind, int32_t value, void *data);

#define WPPDF_EXPORT __attribute__((visibility("default")))

// Creates an engine instance; `one` must be 1. The callback receives kind 1
// (a message: data is a const char* sentence, value a WpdfMessage code) and
// kind 2 (value is the page count of the front file).
WPPDF_EXPORT WPPDF_Handle WPPDF_Initialize(int32_t, int32_t, int32_t, int32_t one,
                                           WPPDF_Callback callback, void *component);
// Releases an instance; 0, unknown or already released handles are ignored.
WPPDF_EXPORT void WPPDF_Finalize(WPPDF_Handle handle);
WPPDF_EXPORT void WPPDF_SetIProp(WPPDF_Handle handle, int32_t id, int32_t value);
// The text is copied; a null text is stored as empty.
WPPDF_EXPORT void WPPDF_SetSProp(WPPDF_Handle handle, int32_t id, const char *text);
// Returns 0 on success for document, page and drawing actions, non-zero on failure.
WPPDF_EXPORT intptr_t WPPDF_Action(WPPDF_Handle handle, int32_t id, intptr_t argument, void *record);
WPPDF_EXPORT void WPPDF_InitializePage(WPPDF_Handle handle, int32_t zero, const void *pageRecord);
WPPDF_EXPORT int32_t WPPDF_ProcessPDF(WPPDF_Handle handle, const char *file);
WPPDF_EXPORT int32_t _WPPDF_WPTEXEC(WPPDF_Handle handle, int32_t, intptr_t);

} // extern "C"

namespace wpdf {

enum CallbackKind : int32_t { kMessage = 1, kInputPageCount = 2 };

// Value passed with a kind-1 message.
enum WpdfMessage : int32_t {
    kMsgError = 0,       // the action failed
    kMsgWarning = 1,     // done, but differently from what was asked
    kMsgInformation = 2, // requested notices (embedded fonts)
};

enum Action : int32_t {
    kBeginDoc = 4533,
    kEndDoc = 4534,
    kBeginPage = 4535,
    kEndPage = 4536,
    kMemoryCopy = 4537,
    kWriteFile = 4538,
    kCloseDoc = 4539,
    kDrawMetafile = 4544,
    kDrawImage = 4549,
    // The same with the JPEG data in a file (argument: its UTF-8 path) that
    // is read when the document is written: big pictures pass from their
    // files into the PDF without a copy in between. The record's data
    // pointer and length are not used.
    kDrawImageFile = 4550,
};

// Integer properties. In effect: compress (0 keeps streams as they are, any
// other value Flate-compresses), page mode (/PageMode), zoom (/OpenAction on
// the first page: 1 Fit, 2 FitV, 3 FitH), font mode (see FontMode), encryption
// and security (0 RC4 40-bit, any other value RC4 128-bit), input file mode
// (1 puts the front file's pages first; 2 and 3, watermarks, are refused with a
// message and the front file is left out), extra messages (bit 0: a message for
// each embedded font). Stored without effect: encode (the file is written
// binary), convert JPEG and JPEG quality (pictures always go in unchanged),
// thumbnails, modes, options, read mode, and id 10.
enum IntProp : int32_t {
    kEncode = 1, kCompress = 2, kPageMode = 3, kFontMode = 4, kConvertJpeg = 6,
    kEncryption = 7, kInputFileMode = 8, kReadMode = 9, kConstant200 = 10,
    kJpegQuality = 12, kZoomMode = 14, kSecurity = 15, kExtraMessages = 21,
    kThumbnails = 25, kModes = 26, kOptions = 27,
};

enum TextProp : int32_t {
    kAuthor = 1, kCreationDate = 2, kModDate = 3, kProducer = 4, kTitle = 5,
    kSubject = 6, kKeywords = 7, kExcludedFonts = 9, kOwnerPassword = 10,
    kUserPassword = 11, kInputFile = 12, kMergeStart = 14, kExtraInfo = 16,
};

enum EncryptionBits : int32_t {
    kEncrypt = 1, kAllowPrint = 2, kAllowChange = 4, kAllowCopy = 8,
    kAllowForms = 16, kLowQualityPrint = 32,
};

// 0 references TrueType fonts in WinAnsiEncoding; 1, 2, 4 and 5 embed subsets
// of the used glyphs (Type0, Identity-H, ToUnicode); 3 and unknown values are
// taken as 0. A face whose text leaves WinAnsiEncoding is embedded in any mode.
enum FontMode : int32_t {
    kUseTrueTypeFonts = 0, kEmbedTrueTypeFonts = 1, kEmbedSymbolTrueTypeFonts = 2,
    kUseBase14Type1Fonts = 3, kEmbedSubsetCharsets = 4, kEmbedSubsetUsedChar = 5,
};

enum InputFileMode : int32_t { kIgnoreInput = 0, kAppendToInput = 1 };

// Page record: width, height (points), horizontal and vertical resolution.
namespace page_record {
inline constexpr int kWidth = 0, kHeight = 4, kResX = 8, kResY = 12, kMinSize = 16;
}
// Metafile record: position (points, top left origin) and the metafile's resolution.
namespace metafile_record {
inline constexpr int kX = 8, kY = 12, kResX = 24, kResY = 28, kMinSize = 32;
}
// Image record (64 bytes).
namespace image_record {
inline constexpr int kX = 0, kY = 4, kDisplayWidth = 8, kDisplayHeight = 12, kResult = 16,
                     kData = 32, kLength = 40, kKind = 44, kPixelWidth = 48,
                     kPixelHeight = 52, kSize = 64;
inline constexpr int32_t kKindJpeg = 2;
}

} // namespace wpdf
