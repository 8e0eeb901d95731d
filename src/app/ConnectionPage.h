#pragma once

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace kelvaro::ui {

class RadioGroup;

// The "Connection" page: the list of belts heard while scanning, the connect and reset buttons,
// the last used belt, the users, the dongle port mode and the About button. A passive view; the
// main window wires every control.
//
// StringGridScan shows its heading row as the horizontal header, so the grid's row count is the
// number of devices: Qt row r is grid row r + 1, and a grid "with its heading row only" has no
// rows here.
class ConnectionPage : public QWidget {
  Q_OBJECT

 public:
  explicit ConnectionPage(QWidget* parent = nullptr);

  QTableWidget* StringGridScan = nullptr;
  QLabel* Label33 = nullptr;
  QPushButton* ButtonConnect = nullptr;
  QPushButton* ButtonLastIDt2 = nullptr;
  QPushButton* ButtonReset2 = nullptr;
  QLabel* Label32 = nullptr;
  QLineEdit* EditLastID = nullptr;
  QLabel* Label34 = nullptr;
  QLabel* Label35 = nullptr;

  QGroupBox* GroupUsers = nullptr;
  RadioGroup* RadioGroupUsers = nullptr;
  QLineEdit* EditName = nullptr;
  QPushButton* ButtonAdd = nullptr;
  QPushButton* ButtonSetName = nullptr;
  QPushButton* ButtonRemove = nullptr;

  QCheckBox* CheckBoxComAuto = nullptr;
  QPushButton* ButtonSetCom = nullptr;

  QPushButton* Button11 = nullptr;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  QWidget* buildScanColumn();
  QWidget* buildSideColumn();
};

}  // namespace kelvaro::ui
