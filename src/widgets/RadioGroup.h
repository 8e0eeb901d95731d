#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

class QGridLayout;

namespace kelvaro {

// A captioned group of radio buttons addressed by index, with -1 meaning "nothing selected".
// itemIndexChanged fires whenever the selection changes, by the user or by the program.
class RadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  explicit RadioGroup(const QString& caption, QWidget* parent = nullptr);

  void setItems(const QStringList& items);
  void addItem(const QString& item);
  void removeItem(int index);
  void setItemText(int index, const QString& text);
  void clearItems();
  QStringList items() const { return items_; }
  int count() const { return items_.size(); }

  int itemIndex() const { return index_; }
  // Selects the item; any value outside 0..count()-1 clears the selection.
  void setItemIndex(int index);

  void setColumns(int columns);

 signals:
  void itemIndexChanged(int index);

 private:
  void rebuild();

  QStringList items_;
  int index_ = -1;
  int columns_ = 1;
  int stretchRow_ = 0;
  QButtonGroup buttons_;
  QGridLayout* grid_;
};

}  // namespace kelvaro
