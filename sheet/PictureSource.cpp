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

TExportedPictures::~TExportedPictures()
{
    EndRun();
}

void TExportedPictures::BeginRun(int resolution, int quality)
{
    m_server.SetImageResolutionAndQuality(resolution, uint8_t(qBound(0, quality, 100)));
}

void TExportedPictures::EndRun()
{
    for (const QString &file : std::as_const(m_runFiles))
        QFile::remove(file);
    m_runFiles.clear();
}

QVector<TPdfPicture> TExportedPictures::PdfPictures(std::span<const TFrame> frames)
{
    QVector<TPdfPicture> out;
    for (const TFrame &frame : frames) {
        m_server.ExportFrame(frame.SceneIndex, frame.FrameIndex);
        // The next export overwrites the export file: this one is moved
        // aside, so its bytes go from the file into the PDF unread.
        const QString file = QStringLiteral("%1-sheet%2.jpg").arg(TempImageBase).arg(m_runFiles.size());
        QFile::remove(file);
        TPdfPicture picture;
        if (QFile::rename(ExportImageFileName(), file)) {
            m_runFiles << file;
            QFile in(file);
            if (in.open(QIODevice::ReadOnly)) {
                // The frame header lies near the start; a long one is read whole.
                picture.Pixels = platform::jpegSize(in.read(256 * 1024));
                if (!picture.Pixels.isValid() && in.size() > 256 * 1024 && in.seek(0))
                    picture.Pixels = platform::jpegSize(in.readAll());
            }
            picture.File = file;
        }
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
