#pragma once
// The export component as the PDF writer uses it: every property published.
#include "pdfengine/WPPDFR1.h"

class TWPPDFPrinter : public TWPCustomPDFExport {
public:
    TWPPDFPrinter();
    ~TWPPDFPrinter() override;

    using TWPCustomPDFExport::Filename;
    using TWPCustomPDFExport::SetFilename;
    using TWPCustomPDFExport::PDFReadMode;
    using TWPCustomPDFExport::SetPDFReadMode;
    using TWPCustomPDFExport::CanvasReference;
    using TWPCustomPDFExport::SetCanvasReference;
    using TWPCustomPDFExport::AutoLaunch;
    using TWPCustomPDFExport::SetAutoLaunch;
    using TWPCustomPDFExport::EncodeStreamMethod;
    using TWPCustomPDFExport::SetEncodeStreamMethod;
    using TWPCustomPDFExport::CompressStreamMethod;
    using TWPCustomPDFExport::SetCompressStreamMethod;
    using TWPCustomPDFExport::Info;
    using TWPCustomPDFExport::SetInfo;
    using TWPCustomPDFExport::CreateThumbnails;
    using TWPCustomPDFExport::SetCreateThumbnails;
    using TWPCustomPDFExport::CreateOutlines;
    using TWPCustomPDFExport::SetCreateOutlines;
    using TWPCustomPDFExport::ConvertJPEGData;
    using TWPCustomPDFExport::SetConvertJPEGData;
    using TWPCustomPDFExport::InMemoryMode;
    using TWPCustomPDFExport::SetInMemoryMode;
    using TWPCustomPDFExport::DebugMode;
    using TWPCustomPDFExport::SetDebugMode;
    using TWPCustomPDFExport::Modes;
    using TWPCustomPDFExport::SetModes;
    using TWPCustomPDFExport::Options;
    using TWPCustomPDFExport::SetOptions;
    using TWPCustomPDFExport::ExcludedFonts;
    using TWPCustomPDFExport::SetExcludedFonts;
    using TWPCustomPDFExport::PageMode;
    using TWPCustomPDFExport::SetPageMode;
    using TWPCustomPDFExport::ZoomMode;
    using TWPCustomPDFExport::SetZoomMode;
    using TWPCustomPDFExport::FontMode;
    using TWPCustomPDFExport::SetFontMode;
    using TWPCustomPDFExport::Encryption;
    using TWPCustomPDFExport::SetEncryption;
    using TWPCustomPDFExport::Security;
    using TWPCustomPDFExport::SetSecurity;
    using TWPCustomPDFExport::UserPassword;
    using TWPCustomPDFExport::SetUserPassword;
    using TWPCustomPDFExport::OwnerPassword;
    using TWPCustomPDFExport::SetOwnerPassword;
    using TWPCustomPDFExport::InputFile;
    using TWPCustomPDFExport::SetInputFile;
    using TWPCustomPDFExport::MergeStart;
    using TWPCustomPDFExport::SetMergeStart;
    using TWPCustomPDFExport::DebugMetafilePath;
    using TWPCustomPDFExport::SetDebugMetafilePath;
    using TWPCustomPDFExport::JPEGQuality;
    using TWPCustomPDFExport::SetJPEGQuality;
    using TWPCustomPDFExport::ExtraMessages;
    using TWPCustomPDFExport::SetExtraMessages;
    using TWPCustomPDFExport::InputfileMode;
    using TWPCustomPDFExport::SetInputfileMode;

    using TWPCustomPDFExport::BeforeBeginDoc;
    using TWPCustomPDFExport::SetBeforeBeginDoc;
    using TWPCustomPDFExport::AfterBeginDoc;
    using TWPCustomPDFExport::SetAfterBeginDoc;
    using TWPCustomPDFExport::BeforeEndDoc;
    using TWPCustomPDFExport::SetBeforeEndDoc;
    using TWPCustomPDFExport::AfterEndDoc;
    using TWPCustomPDFExport::SetAfterEndDoc;
    using TWPCustomPDFExport::OnError;
    using TWPCustomPDFExport::SetOnError;
    using TWPCustomPDFExport::OnMergeText;
    using TWPCustomPDFExport::SetOnMergeText;
    using TWPCustomPDFExport::OnUpdateGauge;
    using TWPCustomPDFExport::SetOnUpdateGauge;
};
