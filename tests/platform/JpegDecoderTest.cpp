#include "platform/JpegDecoder.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace kelvaro {
namespace {

// A picture with a red left half and a blue right half, encoded by Qt's own JPEG writer.
QByteArray twoColourJpeg(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  QPainter painter(&image);
  painter.fillRect(0, 0, width / 2, height, Qt::red);
  painter.fillRect(width / 2, 0, width - width / 2, height, Qt::blue);
  painter.end();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, "JPG", 95));
  return bytes;
}

TEST(JpegDecoderTest, DecodesSizeAndColours) {
  const QByteArray bytes = twoColourJpeg(37, 23);
  QString error;
  const auto image = JpegDecoder::decode(bytes, &error);
  ASSERT_TRUE(image.has_value()) << error.toStdString();
  EXPECT_EQ(image->width, 37);
  EXPECT_EQ(image->height, 23);
  ASSERT_EQ(image->rgb.size(), 37u * 23u * 3u);
  const auto pixel = [&](int x, int y) { return &image->rgb[(y * 37 + x) * 3]; };
  EXPECT_GT(pixel(3, 11)[0], 200);
  EXPECT_LT(pixel(3, 11)[2], 60);
  EXPECT_LT(pixel(33, 11)[0], 60);
  EXPECT_GT(pixel(33, 11)[2], 200);
}

TEST(JpegDecoderTest, EveryTruncationIsAnErrorNotAnAbort) {
  const QByteArray bytes = twoColourJpeg(16, 16);
  for (qsizetype length = 0; length < bytes.size(); ++length) {
    QString error;
    const auto image = JpegDecoder::decode(QByteArrayView(bytes.constData(), length), &error);
    EXPECT_FALSE(image.has_value()) << "prefix of " << length << " bytes";
    EXPECT_FALSE(error.isEmpty()) << "prefix of " << length << " bytes";
  }
}

TEST(JpegDecoderTest, RejectsDataThatIsNoJpeg) {
  const QByteArray cases[] = {QByteArray(), QByteArray("not a picture at all"),
                              QByteArray(300, '\xff'), QByteArray::fromHex("ffd8ffd9")};
  for (const QByteArray& bytes : cases) {
    QString error;
    EXPECT_FALSE(JpegDecoder::decode(bytes, &error).has_value()) << bytes.toHex().toStdString();
    EXPECT_FALSE(error.isEmpty());
  }
}

TEST(JpegDecoderTest, RefusesHugeDimensionsBeforeAllocating) {
  QByteArray bytes = twoColourJpeg(16, 16);
  const qsizetype frame = bytes.indexOf(QByteArray::fromHex("ffc0"));
  ASSERT_GT(frame, 0);
  // Start-of-frame: marker, length (2), precision (1), height (2), width (2); 12288 x 12288 is
  // within libjpeg's own limit but far beyond a picture this program shows.
  bytes[frame + 5] = bytes[frame + 7] = '\x30';
  bytes[frame + 6] = bytes[frame + 8] = '\x00';
  QString error;
  EXPECT_FALSE(JpegDecoder::decode(bytes, &error).has_value());
  EXPECT_TRUE(error.contains(QStringLiteral("too large"))) << error.toStdString();
}

}  // namespace
}  // namespace kelvaro
