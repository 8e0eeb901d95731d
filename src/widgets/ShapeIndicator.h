#pragma once

#include <QColor>
#include <QWidget>

namespace kelvaro {

// A small filled circle or rectangle whose colour tells a state at a glance (the key-activation
// lamps). The accessible description names the colour, so the state is not told by colour alone.
class ShapeIndicator : public QWidget {
  Q_OBJECT

 public:
  enum class Shape { Circle, Rectangle };

  explicit ShapeIndicator(Shape shape = Shape::Circle, QWidget* parent = nullptr);

  void setColor(const QColor& color);
  QColor color() const { return color_; }
  Shape shape() const { return shape_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Shape shape_;
  QColor color_;
};

}  // namespace kelvaro
