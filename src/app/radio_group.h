#pragma once
// A group of radio buttons with one selected item, as one control: a change
// of the selected item, by the user or by the program, runs the click handler.
#include <QGroupBox>
#include <QStringList>
#include <functional>
#include <vector>

class QRadioButton;

class RadioGroup : public QGroupBox {
    Q_OBJECT
  public:
    RadioGroup(const QStringList& items, int columns, QWidget* parent = nullptr);
    int itemIndex() const { return m_index; }
    void setItemIndex(int index);
    void setHandler(std::function<void()> handler) { m_handler = std::move(handler); }

  private:
    std::vector<QRadioButton*> m_buttons;
    int m_index = -1;
    std::function<void()> m_handler;
};
