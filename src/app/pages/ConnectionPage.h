#pragma once

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace kelvaro {

class RadioGroup;

// The "Connection" page: the list of belts heard while scanning, the connect and reset buttons
// and "Play capture…",
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

  QTableWidget* scanGrid = nullptr;
  QLabel* scanHeading = nullptr;
  QPushButton* connectSelectedButton = nullptr;
  QPushButton* connectLastButton = nullptr;
  QPushButton* connectionResetButton = nullptr;
  QPushButton* playCaptureButton = nullptr;  // a recorded belt instead of the dongle's
  QLabel* lastBeltIdLabel = nullptr;
  QLineEdit* lastBeltIdEdit = nullptr;
  QLabel* strongestSignalNote = nullptr;
  QLabel* signalExampleNote = nullptr;

  QGroupBox* usersGroup = nullptr;
  RadioGroup* usersRadioGroup = nullptr;
  QLineEdit* userNameEdit = nullptr;
  QPushButton* addUserButton = nullptr;
  QPushButton* setUserNameButton = nullptr;
  QPushButton* removeUserButton = nullptr;

  QCheckBox* autoComPortCheck = nullptr;
  QPushButton* setComPortButton = nullptr;

  QPushButton* connectionAboutButton = nullptr;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  QWidget* buildScanColumn();
  QWidget* buildSideColumn();
};

}  // namespace kelvaro
