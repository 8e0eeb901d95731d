#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace kelvaro {

// The About box: program name and version in a bevelled panel, the program picture, "OK".
// Fixed size, no logic; created once and shown modally by both "About" buttons.
class AboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit AboutBox(QWidget* parent = nullptr);

  QFrame* framePanel = nullptr;
  QLabel* programIcon = nullptr;
  QLabel* productNameLabel = nullptr;
  QLabel* versionLabel = nullptr;
  QPushButton* okButton = nullptr;
};

}  // namespace kelvaro
