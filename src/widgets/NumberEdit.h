#pragma once

#include <QDoubleSpinBox>
#include <QString>

#include "base/Formats.h"

namespace kelvaro {

// A floating-point entry field that shows its value through a picture format ("0000") and reads
// what is typed with "." as the decimal point. The value keeps what was typed (750.5 shows as
// "0751" but stays 750.5); a number beyond the limits is kept while typing and brought to the
// nearer limit when the entry is confirmed (Enter or leaving the field). No step arrows: the
// value is typed.
class NumberEdit : public QDoubleSpinBox {
  Q_OBJECT

 public:
  explicit NumberEdit(const QString& picture, QWidget* parent = nullptr);

  QString picture() const { return pictureText_; }

  QString textFromValue(double value) const override;
  double valueFromText(const QString& text) const override;
  QValidator::State validate(QString& text, int& pos) const override;
  void fixup(QString& input) const override;

 private:
  QString pictureText_;
  fmt::Picture picture_;
};

}  // namespace kelvaro
