#include "controls/RadioGroup.h"

#include <QRadioButton>
#include <QVBoxLayout>

TRadioGroup::TRadioGroup(QWidget *parent) : QGroupBox(parent), m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(8, 4, 8, 4);
    m_layout->setSpacing(0);
    // Buttons are named after the group; the name is usually set after
    // construction (form files do so).
    connect(this, &QObject::objectNameChanged, this, [this] { nameButtons(); });
}

void TRadioGroup::SetItems(const QStringList &items)
{
    for (QRadioButton *b : m_buttons)
        delete b;
    m_buttons.clear();
    m_items = items;
    for (int i = 0; i < m_items.size(); ++i) {
        auto *b = new QRadioButton(m_items[i], this);
        connect(b, &QRadioButton::clicked, this, [this, i] { buttonClicked(i); });
        m_layout->addWidget(b);
        m_buttons.append(b);
    }
    if (m_itemIndex >= m_items.size())
        m_itemIndex = -1;
    nameButtons();
    applyIndex();
}

void TRadioGroup::SetItemIndex(int index)
{
    index = qBound(-1, index, int(m_buttons.size()) - 1);
    if (index == m_itemIndex)
        return;
    m_itemIndex = index;
    applyIndex();
    emit Click();
}

QRadioButton *TRadioGroup::Button(int index) const
{
    return index >= 0 && index < m_buttons.size() ? m_buttons[index] : nullptr;
}

void TRadioGroup::buttonClicked(int index)
{
    // A click on the chosen button changes nothing and reports nothing.
    if (index == m_itemIndex)
        return;
    m_itemIndex = index;
    applyIndex();
    emit Click();
}

void TRadioGroup::applyIndex()
{
    if (m_itemIndex >= 0) {
        m_buttons[m_itemIndex]->setChecked(true); // the others follow (auto-exclusive)
        return;
    }
    // Auto-exclusive buttons refuse to leave the group without a choice.
    for (QRadioButton *b : m_buttons) {
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(true);
    }
}

void TRadioGroup::nameButtons()
{
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setObjectName(objectName().isEmpty() ? QString()
                                                           : QStringLiteral("%1_item%2").arg(objectName()).arg(i));
}
