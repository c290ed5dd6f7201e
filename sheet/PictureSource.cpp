#include "sheet/PictureSource.h"

#include "movie/FlashServer.h"
#include "platform/JpegImage.h"
#include "sheet/PictureRecoders.h"

#include <QFile>
#include <QStringList>

#include <stdexcept>

double FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? double(file.size()) : 0;
}

QImage TPictureSource::PreviewPicture(const TFrame &frame, QSize size)
{
    return platform::readJpegFile(frame.FileName, size);
}

double TPictureSource::StoredBytes(const TFrame &frame)
{
    return FileBytes(frame.FileName);
}

TCapturedPictures::TCapturedPictures(QSize movieSize) : m_movieSize(movieSize) {}

TCapturedPictures::~TCapturedPictures() = default;

QSize TCapturedPictures::SizeAt(int resolution) const
{
    return QSize(ScaledPixels(m_movieSize.width(), resolution), ScaledPixels(m_movieSize.height(), resolution));
}

void TCapturedPictures::BeginRun(int resolution, int quality)
{
    m_recoders = std::make_unique<TPictureRecoders>(SizeAt(resolution), quality);
}

void TCapturedPictures::EndRun()
{
    m_recoders.reset();
}

QVector<TPdfPicture> TCapturedPictures::PdfPictures(std::span<const TFrame> frames)
{
    if (!m_recoders)
        throw std::logic_error("Pictures were asked for outside a run.");
    QStringList paths;
    for (const TFrame &frame : frames)
        paths << frame.FileName;
    QVector<TPdfPicture> out;
    for (QByteArray &jpeg : m_recoders->Recode(paths))
        out.push_back(TPdfPicture{std::move(jpeg), m_recoders->Size()});
    return out;
}

double TCapturedPictures::ConvertedBytes(const TFrame &frame, int resolution, int quality)
{
    platform::JpegRecoder recoder(SizeAt(resolution), quality);
    return double(recoder.recodeFile(frame.FileName).size()); // an unreadable picture adds nothing
}

void TExportedPictures::BeginRun(int resolution, int quality)
{
    m_server.SetImageResolutionAndQuality(resolution, uint8_t(qBound(0, quality, 100)));
}

QVector<TPdfPicture> TExportedPictures::PdfPictures(std::span<const TFrame> frames)
{
    QVector<TPdfPicture> out;
    for (const TFrame &frame : frames) {
        m_server.ExportFrame(frame.SceneIndex, frame.FrameIndex);
        TPdfPicture picture;
        QFile file(ExportImageFileName());
        if (file.open(QIODevice::ReadOnly))
            picture.Jpeg = file.readAll();
        picture.Pixels = platform::jpegSize(picture.Jpeg);
        if (!picture.Pixels.isValid())
            throw std::runtime_error(QStringLiteral("The picture of frame %1 could not be exported from the authoring tool.")
                                         .arg(frame.FrameIndex + 1)
                                         .toStdString());
        out.push_back(std::move(picture));
    }
    return out;
}

double TExportedPictures::ConvertedBytes(const TFrame &frame, int resolution, int quality)
{
    m_server.SetImageResolutionAndQuality(resolution, uint8_t(qBound(0, quality, 100)));
    m_server.ExportFrame(frame.SceneIndex, frame.FrameIndex);
    return FileBytes(ExportImageFileName());
}
