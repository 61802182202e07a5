#include "app/radio_group.h"
#include "platform/guard.h"
#include <QGridLayout>
#include <QRadioButton>

RadioGroup::RadioGroup(const QStringList& items, int columns, QWidget* parent) : QGroupBox(parent) {
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        button->setAutoExclusive(false);
        layout->addWidget(button, i / columns, i % columns);
        m_buttons.push_back(button);
        connect(button, &QRadioButton::clicked, this,
                [this, i] { platform::runGuarded([&] { setItemIndex(i); }); });
    }
}

void RadioGroup::setItemIndex(int index) {
    for (size_t i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setChecked(static_cast<int>(i) == index);
    if (index == m_index)
        return;
    m_index = index;
    if (m_handler)
        m_handler();
}
