#pragma once
// Where the pictures of a sheet come from: frames captured to files and
// re-encoded for the page (SWF mode), pictures exported by the authoring tool
// and passed through (FLA mode), or whatever a tool draws itself.
#include "core/Global.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QVector>

#include <memory>
#include <span>

class TFlashServer;
class TPictureRecoders;

// A picture's JPEG data: in memory, or in a file that stays as it is until
// the run ends (the engine reads it when the document is written).
struct TPdfPicture {
    QByteArray Jpeg;
    QSize Pixels;
    QString File;
};

class TPictureSource {
public:
    virtual ~TPictureSource() = default;
    // Around the pages of one PDF run, with the picture resolution (dpi)
    // and JPEG quality of the sheet.
    virtual void BeginRun(int resolution, int quality) = 0;
    virtual void EndRun() {}
    // All the frames the run will ask for, in order, once it has begun: a
    // source may make them ahead.
    virtual void Announce(std::span<const TFrame> frames) { (void)frames; }
    // The pictures of these frames as they go into the PDF, in order.
    // Throws std::runtime_error with a sentence for the user.
    virtual QVector<TPdfPicture> PdfPictures(std::span<const TFrame> frames) = 0;
    // The frame's picture for the page preview, at least about size; null
    // when it cannot be read. By default its stored picture (FileName).
    virtual QImage PreviewPicture(const TFrame &frame, QSize size);
    // For the size estimate: the bytes the frame's stored picture takes, and
    // those the first one takes as it would go into the PDF (0 when it
    // cannot be made).
    virtual double StoredBytes(const TFrame &frame);
    virtual double ConvertedBytes(const TFrame &frame, int resolution, int quality) = 0;
};

// Captured frame pictures (each frame's FileName), resampled to the movie
// frame at the resolution and re-encoded at the quality.
class TCapturedPictures final : public TPictureSource {
public:
    // The movie frame in pixels at 72 dpi.
    explicit TCapturedPictures(QSize movieSize);
    ~TCapturedPictures() override;
    void BeginRun(int resolution, int quality) override;
    void EndRun() override;
    QVector<TPdfPicture> PdfPictures(std::span<const TFrame> frames) override;
    double ConvertedBytes(const TFrame &frame, int resolution, int quality) override;

private:
    QSize SizeAt(int resolution) const;
    QSize m_movieSize;
    std::unique_ptr<TPictureRecoders> m_recoders;
};

// Pictures the authoring tool exports at the sheet's resolution and quality;
// their JPEG data go into the PDF as they are. Thumbnails (FileName) serve
// the preview and the estimate.
class TExportedPictures final : public TPictureSource {
public:
    explicit TExportedPictures(TFlashServer &server) : m_server(server) {}
    ~TExportedPictures() override;
    void BeginRun(int resolution, int quality) override;
    void EndRun() override;
    QVector<TPdfPicture> PdfPictures(std::span<const TFrame> frames) override;
    double ConvertedBytes(const TFrame &frame, int resolution, int quality) override;

private:
    TFlashServer &m_server;
    // Each export moved aside to a file of its own until the run ends.
    QStringList m_runFiles;
};

// The size in bytes of a file; 0 when it cannot be opened.
double FileBytes(const QString &path);
