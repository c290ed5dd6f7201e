#pragma once
// A titled group of mutually exclusive choices, one radio button per item,
// stacked top to bottom. ItemIndex is the chosen item (-1: none); Tag is free
// for the owner (the page setup step keeps the last explicit orientation in
// it).
#include <QGroupBox>
#include <QStringList>
#include <QVector>

class QRadioButton;
class QVBoxLayout;

class TRadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
public:
    explicit TRadioGroup(QWidget *parent = nullptr);

    QStringList Items() const { return m_items; }
    // Rebuilds the buttons; the chosen index stays when it still names an
    // item, else nothing is chosen. Emits no Click.
    void SetItems(const QStringList &items);

    int ItemIndex() const { return m_itemIndex; }
    // Clamped to -1 .. count - 1. Emits Click when the index changes, as a
    // choice made by the user does.
    void SetItemIndex(int index);

    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }

    // The button of item index (nullptr outside the items).
    QRadioButton *Button(int index) const;

signals:
    void Click();

private:
    void buttonClicked(int index);
    void applyIndex();
    void nameButtons();

    QStringList m_items;
    QVector<QRadioButton *> m_buttons;
    QVBoxLayout *m_layout;
    int m_itemIndex = -1;
    int m_tag = 0;
};
