#include "widgets/NumberEdit.h"

#include <algorithm>

namespace kelvaro {
namespace {

// Characters a number can consist of while it is being typed ("-", "1e", "2.").
bool couldBecomeNumber(const QString& text) {
  return std::all_of(text.begin(), text.end(), [](QChar c) {
    return c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('+') || c == QLatin1Char('.') ||
           c == QLatin1Char('e') || c == QLatin1Char('E') || c == QLatin1Char(' ');
  });
}

}  // namespace

NumberEdit::NumberEdit(const QString& picture, QWidget* parent)
    : QDoubleSpinBox(parent), pictureText_(picture), picture_(picture) {
  setDecimals(6);
  setButtonSymbols(QAbstractSpinBox::NoButtons);
  setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

QString NumberEdit::textFromValue(double value) const { return picture_.format(value); }

double NumberEdit::valueFromText(const QString& text) const {
  return fmt::parseReal(text).value_or(0.0);
}

QValidator::State NumberEdit::validate(QString& text, int&) const {
  const auto value = fmt::parseReal(text);
  if (!value) return couldBecomeNumber(text) ? QValidator::Intermediate : QValidator::Invalid;
  return *value >= minimum() && *value <= maximum() ? QValidator::Acceptable
                                                    : QValidator::Intermediate;
}

void NumberEdit::fixup(QString& input) const {
  const auto value = fmt::parseReal(input);
  if (value) input = textFromValue(std::clamp(*value, minimum(), maximum()));
}

}  // namespace kelvaro
