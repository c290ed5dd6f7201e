#pragma once
// A list of captioned thumbnail cells with single or extended selection, on
// Qt's list view: the view owns selection, focus, keyboard and scrolling, a
// delegate paints each cell. File-backed pictures are decoded when their
// cell is first painted and kept in a bounded cache, so a list of thousands
// of frames opens at once and its memory does not grow with them.
#include <QCache>
#include <QColor>
#include <QImage>
#include <QListWidget>

class TThumbnailList : public QListWidget {
    Q_OBJECT
    Q_PROPERTY(int Columns READ Columns WRITE SetColumns)
    Q_PROPERTY(bool MultiSelect READ MultiSelect WRITE SetMultiSelect)
    Q_PROPERTY(int ThumbnailSize READ ThumbnailSize WRITE SetThumbnailSize)
    Q_PROPERTY(bool ShowSelection READ ShowSelection WRITE SetShowSelection)
    Q_PROPERTY(bool ShowCaption READ ShowCaption WRITE SetShowCaption)
    Q_PROPERTY(TScrollStyle ScrollStyle READ ScrollStyle WRITE SetScrollStyle)
    Q_PROPERTY(QColor ScrollColor READ ScrollColor WRITE SetScrollColor)
    Q_PROPERTY(int ScrollWidth READ ScrollWidth WRITE SetScrollWidth)
    Q_PROPERTY(TThumbnailOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(bool Buffered READ Buffered WRITE SetBuffered)
public:
    enum TScrollStyle { ssNormal, ssFlat, ssEncarta };
    Q_ENUM(TScrollStyle)
    enum TThumbnailOrientation { toVertical, toHorizontal };
    Q_ENUM(TThumbnailOrientation)
    // Where a cell keeps its caption and picture file.
    enum Role { CaptionRole = Qt::UserRole + 1, FileNameRole };

    explicit TThumbnailList(QWidget *parent = nullptr);
    ~TThumbnailList() override;

    // Above 0: cells of ThumbnailSize fill a column top to bottom and columns
    // follow left to right, as many as the width holds; 0: one column.
    int Columns() const { return m_columns; }
    void SetColumns(int columns);
    // On: extended selection (click, Ctrl+click, Shift+click); off: one cell.
    bool MultiSelect() const { return selectionMode() == ExtendedSelection; }
    void SetMultiSelect(bool on) { setSelectionMode(on ? ExtendedSelection : SingleSelection); }
    // The side of a cell, in pixels.
    int ThumbnailSize() const { return m_thumbnailSize; }
    void SetThumbnailSize(int size);
    bool ShowSelection() const { return m_showSelection; }
    void SetShowSelection(bool on);
    bool ShowCaption() const { return m_showCaption; }
    void SetShowCaption(bool on);
    // Carried for the forms; the platform's scroll bars are used as they are.
    TScrollStyle ScrollStyle() const { return m_scrollStyle; }
    void SetScrollStyle(TScrollStyle style) { m_scrollStyle = style; }
    QColor ScrollColor() const { return m_scrollColor; }
    void SetScrollColor(const QColor &color) { m_scrollColor = color; }
    int ScrollWidth() const { return m_scrollWidth; }
    void SetScrollWidth(int width) { m_scrollWidth = width; }
    // Vertical: columns as above; horizontal: one row, scrolled sideways.
    TThumbnailOrientation Orientation() const { return m_orientation; }
    void SetOrientation(TThumbnailOrientation orientation);
    bool Buffered() const { return m_buffered; }
    void SetBuffered(bool on) { m_buffered = on; }

    // A cell showing the picture in fileName, with the caption under it.
    void AddThumbnail(const QString &fileName, const QString &caption);
    QString Caption(int index) const;
    void SetCaption(int index, const QString &caption);
    QString FileName(int index) const;
    bool Selected(int index) const;
    void SetSelected(int index, bool on);
    int SelCount() const;
    // The focused cell, -1 when there is none.
    int ItemIndex() const { return currentRow(); }
    // Removes every thumbnail.
    void Clear();

    // The cell's picture as it is painted (at most the cell's size); null
    // when its file is missing or cannot be read.
    QImage Picture(int index) const;
    // Where a picture of that size lands in a cell's picture area: shrunk
    // to fit with its aspect kept when larger, never enlarged, centred.
    static QRect FitRect(QSize picture, const QRect &area);

    // Said in the middle of an empty list: why it is empty.
    QString EmptyText() const { return m_emptyText; }
    void SetEmptyText(const QString &text);

    // Pictures kept decoded at the most.
    static constexpr int kCachedPictures = 256;

signals:
    // The user changed the selection, or double-clicked a cell.
    void Click();
    void DblClick();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    class Delegate;
    void ApplyLayout();

    int m_columns = 0;
    int m_thumbnailSize = 64;
    bool m_showSelection = false;
    bool m_showCaption = true;
    TScrollStyle m_scrollStyle = ssNormal;
    QColor m_scrollColor = Qt::black;
    int m_scrollWidth = 16;
    TThumbnailOrientation m_orientation = toVertical;
    bool m_buffered = true;
    QString m_emptyText;
    mutable QCache<QString, QImage> m_pictures;
};
