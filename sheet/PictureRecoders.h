#pragma once
// The pictures of one page re-encoded side by side, one recoder (with its
// buffers) per worker thread, kept from page to page.
#include "platform/JpegImage.h"

#include <QByteArray>
#include <QSize>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

class TPictureRecoders {
public:
    TPictureRecoders(QSize size, int quality);
    ~TPictureRecoders();
    QSize Size() const { return m_size; }
    // The files' pictures at the size and quality, in the order given.
    // Throws std::runtime_error with the first failure in that order.
    QVector<QByteArray> Recode(const QStringList &paths);

private:
    QSize m_size;
    std::vector<std::unique_ptr<platform::JpegRecoder>> m_workers;
};
