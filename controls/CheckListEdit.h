#pragma once
// A read-only edit that shows the checked ones of its items as a bracketed,
// delimited list, e.g. [1,3]. The owner may shorten each item for the text
// (OnCheckListItemToText) and map each element of a text back to an item
// (OnTextToCheckListItem). The drop-down check list comes with the full
// control; until then the states change through SetChecked and SetText only.
#include <QLineEdit>
#include <QStringList>
#include <QVector>
#include <functional>

class TCheckListEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(QString TextStartChar READ TextStartChar WRITE SetTextStartChar)
    Q_PROPERTY(QString TextEndChar READ TextEndChar WRITE SetTextEndChar)
    Q_PROPERTY(QString TextDelimiter READ TextDelimiter WRITE SetTextDelimiter)
    Q_PROPERTY(int DropHeight READ DropHeight WRITE SetDropHeight)
    Q_PROPERTY(int DropWidth READ DropWidth WRITE SetDropWidth)
    Q_PROPERTY(bool DropFlat READ DropFlat WRITE SetDropFlat)
    Q_PROPERTY(TDropDirection DropDirection READ DropDirection WRITE SetDropDirection)
    Q_PROPERTY(bool DropSorted READ DropSorted WRITE SetDropSorted)
    Q_PROPERTY(bool EditorEnabled READ EditorEnabled WRITE SetEditorEnabled)
public:
    enum TDropDirection { ddDown, ddUp };
    Q_ENUM(TDropDirection)

    // Both get the text to change in place.
    using TCheckListItemToText = std::function<void(QString &aText)>;
    using TTextToCheckListItem = std::function<void(QString &aItem)>;

    explicit TCheckListEdit(QWidget *parent = nullptr);

    const QStringList &Items() const { return m_items; }
    // The states follow the items by position: new items come unchecked,
    // states of removed items go. The text is rebuilt.
    void SetItems(const QStringList &items);
    void AddItem(const QString &item);
    void ClearItems() { SetItems({}); }

    // Outside 0 .. item count - 1 both throw std::out_of_range("Index out of bounds").
    bool Checked(int index) const;
    void SetChecked(int index, bool checked);

    // Sets the text and the states it names (see ReadStatesFromText).
    void SetText(const QString &text);

    // The index of the current item of the open drop list; -1 while it is
    // closed.
    int DropItemIndex() const { return -1; }

    QString TextStartChar() const { return m_textStartChar; }
    void SetTextStartChar(const QString &value);
    QString TextEndChar() const { return m_textEndChar; }
    void SetTextEndChar(const QString &value);
    QString TextDelimiter() const { return m_textDelimiter; }
    void SetTextDelimiter(const QString &value);

    int DropHeight() const { return m_dropHeight; }
    void SetDropHeight(int value) { m_dropHeight = value; }
    int DropWidth() const { return m_dropWidth; }
    void SetDropWidth(int value) { m_dropWidth = value; }
    bool DropFlat() const { return m_dropFlat; }
    void SetDropFlat(bool value) { m_dropFlat = value; }
    TDropDirection DropDirection() const { return m_dropDirection; }
    void SetDropDirection(TDropDirection value) { m_dropDirection = value; }
    bool DropSorted() const { return m_dropSorted; }
    void SetDropSorted(bool value) { m_dropSorted = value; }
    // Stored only: the edit is read-only in any case.
    bool EditorEnabled() const { return m_editorEnabled; }
    void SetEditorEnabled(bool value) { m_editorEnabled = value; }

    // The text the states give: start char, each checked item (through
    // OnCheckListItemToText) followed by the delimiter, the last delimiter
    // dropped, end char.
    QString TextFromStates() const;

    TCheckListItemToText OnCheckListItemToText;
    TTextToCheckListItem OnTextToCheckListItem;

private:
    static constexpr int kCheckedBit = 8;

    void checkIndex(int index) const;
    // Clears every checked bit, then checks the first item (ignoring case)
    // equal to each element of text, after OnTextToCheckListItem.
    void ReadStatesFromText(const QString &text);
    void RebuildText();

    QStringList m_items;
    QVector<int> m_states;   // per item; kCheckedBit set = checked
    QString m_textStartChar = QStringLiteral("[");
    QString m_textEndChar = QStringLiteral("]");
    QString m_textDelimiter = QStringLiteral(",");
    int m_dropHeight = 100;
    int m_dropWidth;
    bool m_dropFlat = true;
    TDropDirection m_dropDirection = ddDown;
    bool m_dropSorted = false;
    bool m_editorEnabled = true;
};
