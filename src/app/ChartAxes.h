#pragma once

class QValueAxis;

namespace kelvaro {

// Fits a chart's value axis to values from `lowest` to `highest`: round ends, a round step
// between its labels and the labels in the program's number style ("." as the decimal point, no
// thousands separator), as on the live chart.
void fitValueAxis(QValueAxis& axis, double lowest, double highest);

}  // namespace kelvaro
