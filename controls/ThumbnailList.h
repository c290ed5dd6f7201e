#pragma once
// A list of captioned thumbnail cells with single or extended selection.
// For now it holds the control's published properties and the selection
// interface its users rely on; the cells, their pictures and their painting
// come with the full control.
#include <QColor>
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

    explicit TThumbnailList(QWidget *parent = nullptr);

    int Columns() const { return m_columns; }
    void SetColumns(int columns) { m_columns = columns; }
    // On: extended selection (click, Ctrl+click, Shift+click); off: one cell.
    bool MultiSelect() const { return selectionMode() == ExtendedSelection; }
    void SetMultiSelect(bool on) { setSelectionMode(on ? ExtendedSelection : SingleSelection); }
    int ThumbnailSize() const { return m_thumbnailSize; }
    void SetThumbnailSize(int size) { m_thumbnailSize = size; }
    bool ShowSelection() const { return m_showSelection; }
    void SetShowSelection(bool on) { m_showSelection = on; }
    bool ShowCaption() const { return m_showCaption; }
    void SetShowCaption(bool on) { m_showCaption = on; }
    TScrollStyle ScrollStyle() const { return m_scrollStyle; }
    void SetScrollStyle(TScrollStyle style) { m_scrollStyle = style; }
    QColor ScrollColor() const { return m_scrollColor; }
    void SetScrollColor(const QColor &color) { m_scrollColor = color; }
    int ScrollWidth() const { return m_scrollWidth; }
    void SetScrollWidth(int width) { m_scrollWidth = width; }
    TThumbnailOrientation Orientation() const { return m_orientation; }
    void SetOrientation(TThumbnailOrientation orientation) { m_orientation = orientation; }
    bool Buffered() const { return m_buffered; }
    void SetBuffered(bool on) { m_buffered = on; }

    int SelCount() const;
    // The focused cell, -1 when there is none.
    int ItemIndex() const { return currentRow(); }
    // Removes every thumbnail.
    void Clear() { clear(); }

private:
    int m_columns = 0;
    int m_thumbnailSize = 64;
    bool m_showSelection = false;
    bool m_showCaption = true;
    TScrollStyle m_scrollStyle = ssNormal;
    QColor m_scrollColor = Qt::black;
    int m_scrollWidth = 16;
    TThumbnailOrientation m_orientation = toVertical;
    bool m_buffered = true;
};
