#pragma once

#include <QGroupBox>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kelvaro {

// The Scratch 3 bridge's controls on "Spec. Setting" → "Standard", beside the Scratch 1.4 link:
// the box that switches it on, the extension's address with "Copy" beside it, and what it is
// doing (how many editors are connected). A passive view; Scratch3Panel wires it.
class Scratch3Group : public QGroupBox {
  Q_OBJECT

 public:
  explicit Scratch3Group(QWidget* parent = nullptr);

  QCheckBox* enableCheck = nullptr;
  QLabel* addressLabel = nullptr;
  QLineEdit* addressEdit = nullptr;
  QPushButton* copyButton = nullptr;
  QLabel* statusLabel = nullptr;
};

}  // namespace kelvaro
