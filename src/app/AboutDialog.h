#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace kelvaro::ui {

// The About box: program name and version in a bevelled panel, the program picture, "OK".
// Fixed size, no logic; created once and shown modally by both "About" buttons.
class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  QFrame* Panel1 = nullptr;
  QLabel* ProgramIcon = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QPushButton* OKButton = nullptr;
};

}  // namespace kelvaro::ui
