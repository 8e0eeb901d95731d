#pragma once

#include <QColor>

namespace kelvaro {

// The colour that stands for a belt wherever several are shown at once: belt 0 is the first belt
// (its Force 1 colour), belts 1 to 3 the further ones. The further belts' colours come from the
// Okabe–Ito palette, which people with any common colour-vision deficiency tell apart; they differ
// from every series colour of the first belt and read well on the chart's white. A belt beyond 3
// takes the colours again from the start.
QColor beltColour(int belt);

}  // namespace kelvaro
