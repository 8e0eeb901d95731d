#include <QImage>

#include <gtest/gtest.h>

#include "widgets/ShapeIndicator.h"

namespace kelvaro {
namespace {

TEST(ShapeIndicator, PaintsItsColourAndNamesIt) {
  const struct {
    QColor color;
    const char* description;
  } cases[] = {
      {QColor(0, 255, 0), "green"}, {QColor(255, 0, 0), "red"}, {QColor(255, 128, 0), "#ff8000"}};
  ShapeIndicator lamp;
  lamp.resize(40, 40);
  for (const auto& c : cases) {
    lamp.setColor(c.color);
    EXPECT_EQ(lamp.accessibleDescription(), QString::fromLatin1(c.description));
    const QImage image = lamp.grab().toImage();
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), c.color) << c.description;
  }
}

TEST(ShapeIndicator, CircleLeavesTheCornersUnpainted) {
  ShapeIndicator circle(ShapeIndicator::Shape::Circle);
  ShapeIndicator box(ShapeIndicator::Shape::Rectangle);
  for (auto* w : {&circle, &box}) {
    w->resize(40, 40);
    w->setColor(QColor(0, 255, 0));
  }
  EXPECT_NE(circle.grab().toImage().pixelColor(3, 3), QColor(0, 255, 0));
  EXPECT_EQ(box.grab().toImage().pixelColor(3, 3), QColor(0, 255, 0));
}

}  // namespace
}  // namespace kelvaro
