#include "controls/ThumbnailList.h"

#include <QFontMetrics>
#include <QImageReader>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <cmath>

// Paints a cell as the list box's owner drawing did: the tile in the
// selection's colours (or the list's), the caption on its bottom line, the
// picture fitted above it, the focus frame around the whole cell.
class TThumbnailList::Delegate : public QStyledItemDelegate {
public:
    explicit Delegate(TThumbnailList &list) : QStyledItemDelegate(&list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        const int side = m_list.m_thumbnailSize;
        if (m_list.m_orientation == toHorizontal)
            return QSize(side, std::max(1, m_list.viewport()->height()));
        if (m_list.m_columns > 0)
            return QSize(side, side);
        return QSize(std::max(1, m_list.viewport()->width()), side);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QPalette &palette = m_list.palette();
        const bool selected = m_list.m_showSelection && (option.state & QStyle::State_Selected);
        const QColor back = selected ? palette.color(QPalette::Highlight) : palette.color(QPalette::Base);
        const QColor text = selected ? palette.color(QPalette::HighlightedText) : palette.color(QPalette::Text);
        painter->save();
        painter->setPen(QPen(back, 2));
        painter->setBrush(back);
        painter->drawRect(option.rect.adjusted(1, 1, -1, -1));

        QRect area = option.rect.adjusted(2, 2, -2, -2);
        if (m_list.m_showCaption) {
            const QFontMetrics metrics(m_list.font());
            const QString caption =
                metrics.elidedText(index.data(CaptionRole).toString(), Qt::ElideRight, area.width());
            painter->setPen(text);
            painter->setFont(m_list.font());
            painter->drawText(area, Qt::AlignHCenter | Qt::AlignBottom | Qt::TextSingleLine, caption);
            area.setBottom(area.bottom() - metrics.height());
        }
        if (area.width() > 0 && area.height() > 0) {
            const QImage picture = m_list.Picture(index.row());
            if (!picture.isNull())
                painter->drawImage(FitRect(picture.size(), area), picture);
        }
        if (option.state & QStyle::State_HasFocus) {
            painter->setPen(QPen(text, 1, Qt::DotLine));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        }
        painter->restore();
    }

private:
    TThumbnailList &m_list;
};

TThumbnailList::TThumbnailList(QWidget *parent) : QListWidget(parent), m_pictures(kCachedPictures)
{
    setSelectionMode(SingleSelection);
    setItemDelegate(new Delegate(*this));
    setUniformItemSizes(true);
    setResizeMode(Adjust);
    setMovement(Static);
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerPixel);
    connect(this, &QListWidget::itemSelectionChanged, this, &TThumbnailList::Click);
    connect(this, &QListWidget::itemDoubleClicked, this, &TThumbnailList::DblClick);
    ApplyLayout();
}

TThumbnailList::~TThumbnailList() = default;

void TThumbnailList::ApplyLayout()
{
    // Vertical with columns: cells fill a column top to bottom, then the
    // next; the list scrolls sideways. Horizontal: one row of cells.
    const bool columns = m_orientation == toVertical && m_columns > 0;
    setFlow(m_orientation == toHorizontal ? LeftToRight : TopToBottom);
    setWrapping(columns);
    if (m_orientation == toHorizontal)
        setGridSize(QSize(m_thumbnailSize, std::max(1, viewport()->height())));
    else if (columns)
        setGridSize(QSize(m_thumbnailSize, m_thumbnailSize));
    else
        setGridSize(QSize());
    scheduleDelayedItemsLayout();
    viewport()->update();
}

void TThumbnailList::SetColumns(int columns)
{
    m_columns = std::max(0, columns);
    ApplyLayout();
}

void TThumbnailList::SetThumbnailSize(int size)
{
    m_thumbnailSize = std::max(1, size);
    ApplyLayout();
}

void TThumbnailList::SetShowSelection(bool on)
{
    if (on == m_showSelection)
        return;
    m_showSelection = on;
    viewport()->update();
}

void TThumbnailList::SetShowCaption(bool on)
{
    if (on == m_showCaption)
        return;
    m_showCaption = on;
    viewport()->update();
}

void TThumbnailList::SetOrientation(TThumbnailOrientation orientation)
{
    if (orientation == m_orientation)
        return;
    m_orientation = orientation;
    ApplyLayout();
}

void TThumbnailList::resizeEvent(QResizeEvent *event)
{
    QListWidget::resizeEvent(event);
    if (m_orientation == toHorizontal || m_columns == 0)
        ApplyLayout();
}

void TThumbnailList::AddThumbnail(const QString &fileName, const QString &caption)
{
    auto *item = new QListWidgetItem(QStringLiteral("_"));
    item->setData(CaptionRole, caption);
    item->setData(FileNameRole, fileName);
    addItem(item);
}

QString TThumbnailList::Caption(int index) const
{
    const QListWidgetItem *it = item(index);
    return it ? it->data(CaptionRole).toString() : QString();
}

void TThumbnailList::SetCaption(int index, const QString &caption)
{
    if (QListWidgetItem *it = item(index))
        it->setData(CaptionRole, caption);
}

QString TThumbnailList::FileName(int index) const
{
    const QListWidgetItem *it = item(index);
    return it ? it->data(FileNameRole).toString() : QString();
}

bool TThumbnailList::Selected(int index) const
{
    const QListWidgetItem *it = item(index);
    return it && it->isSelected();
}

void TThumbnailList::SetSelected(int index, bool on)
{
    if (QListWidgetItem *it = item(index))
        it->setSelected(on);
}

int TThumbnailList::SelCount() const
{
    return int(selectedItems().size());
}

void TThumbnailList::Clear()
{
    clear();
    m_pictures.clear();
}

QImage TThumbnailList::Picture(int index) const
{
    const QString file = FileName(index);
    if (file.isEmpty())
        return {};
    const QString key = QStringLiteral("%1@%2").arg(file).arg(m_thumbnailSize);
    if (const QImage *kept = m_pictures.object(key))
        return *kept;
    // Decoded no larger than the cell: the reader shrinks JPEG pictures in
    // the decoder, and the cell never shows more.
    QImageReader reader(file);
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > m_thumbnailSize || full.height() > m_thumbnailSize))
        reader.setScaledSize(FitRect(full, QRect(0, 0, m_thumbnailSize, m_thumbnailSize)).size());
    QImage picture = reader.read();
    if (m_buffered && !picture.isNull())
        m_pictures.insert(key, new QImage(picture));
    return picture;
}

QRect TThumbnailList::FitRect(QSize picture, const QRect &area)
{
    const int w = area.width(), h = area.height();
    if (w <= 0 || h <= 0 || picture.isEmpty())
        return {};
    const double rw = double(picture.width()) / w;
    const double rh = double(picture.height()) / h;
    QSize target = picture;
    if (rw > 1 || rh > 1)
        target = rw > rh ? QSize(w, std::max(1, int(picture.height() / rw)))
                         : QSize(std::max(1, int(picture.width() / rh)), h);
    return QRect(area.left() + (w - target.width()) / 2, area.top() + (h - target.height()) / 2, target.width(),
                 target.height());
}

void TThumbnailList::SetEmptyText(const QString &text)
{
    m_emptyText = text;
    viewport()->update();
}

void TThumbnailList::paintEvent(QPaintEvent *event)
{
    QListWidget::paintEvent(event);
    if (count() > 0 || m_emptyText.isEmpty())
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    const QRect area = viewport()->rect().adjusted(12, 12, -12, -12);
    painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, m_emptyText);
}
