#include "app/panels/ChartPicture.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSvgGenerator>
#include <cmath>

#include "base/Errors.h"
#include "widgets/LiveChart.h"

namespace kelvaro {
namespace {

// CSS pixels: what browsers and office programs take an SVG or PDF picture's size in.
constexpr int kPictureDpi = 96;

struct FormatName {
  PictureFormat format;
  const char* extension;
};
constexpr FormatName kFormats[] = {
    {PictureFormat::Svg, "svg"}, {PictureFormat::Pdf, "pdf"}, {PictureFormat::Png, "png"}};

[[noreturn]] void cannotCreate(const QString& path, const QString& reason) {
  throw Error(QStringLiteral("Cannot create file \"%1\". %2")
                  .arg(QDir::toNativeSeparators(path), reason)
                  .toStdString());
}

QByteArray svgPicture(const LiveChart& chart) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  const QSize size = chart.size();
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setResolution(kPictureDpi);
  generator.setSize(size);
  generator.setViewBox(QRect(QPoint(0, 0), size));
  generator.setTitle(QStringLiteral("Chart1"));
  QPainter painter(&generator);
  chart.render(painter, size);
  painter.end();
  // The generator gives the size in millimetres; in pixels it is the chart's size exactly, as
  // the viewBox is.
  QByteArray svg = buffer.data();
  static const QRegularExpression sizeAttributes(
      QStringLiteral("<svg([^>]*?)\\swidth=\"[^\"]*\"\\s+height=\"[^\"]*\""));
  const int headerEnd = static_cast<int>(svg.indexOf('>', svg.indexOf("<svg")));
  QString header = QString::fromUtf8(svg.left(headerEnd + 1));
  header.replace(
      sizeAttributes,
      QStringLiteral("<svg\\1 width=\"%1\" height=\"%2\"").arg(size.width()).arg(size.height()));
  return header.toUtf8() + svg.mid(headerEnd + 1);
}

void writePdf(const LiveChart& chart, QIODevice& device) {
  const QSize size = chart.size();
  QPdfWriter writer(&device);
  writer.setTitle(QStringLiteral("Chart1"));
  writer.setCreator(QStringLiteral("KELVARO monitor"));
  writer.setResolution(kPictureDpi);
  writer.setPageLayout(QPageLayout(QPageSize(QSizeF(size) * 72.0 / kPictureDpi, QPageSize::Point,
                                             QString(), QPageSize::ExactMatch),
                                   QPageLayout::Portrait, QMarginsF()));
  QPainter painter(&writer);
  // The page holds whole points; the chart fills it whatever the rounding.
  painter.setWindow(QRect(QPoint(0, 0), size));
  painter.setViewport(QRect(0, 0, writer.width(), writer.height()));
  chart.render(painter, size);
}

QImage pngPicture(const LiveChart& chart) {
  const QSize size = chart.size();
  const double ratio = chart.devicePixelRatioF();
  QImage image((QSizeF(size) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  // Shown at the size the screen shows it, where a viewer honours the density.
  const int dotsPerMetre = static_cast<int>(std::lround(kPictureDpi * ratio / 0.0254));
  image.setDotsPerMeterX(dotsPerMetre);
  image.setDotsPerMeterY(dotsPerMetre);
  image.fill(Qt::white);
  QPainter painter(&image);
  chart.render(painter, size);
  return image;
}

}  // namespace

const QStringList& pictureFilters() {
  static const QStringList filters{QStringLiteral("SVG picture (*.svg)"),
                                   QStringLiteral("PDF document (*.pdf)"),
                                   QStringLiteral("PNG image (*.png)")};
  return filters;
}

std::optional<PictureFormat> pictureFormatOf(const QString& fileName) {
  const QString suffix = QFileInfo(fileName).suffix();
  for (const FormatName& f : kFormats) {
    if (suffix.compare(QLatin1String(f.extension), Qt::CaseInsensitive) == 0) return f.format;
  }
  return std::nullopt;
}

QString completePictureName(const QString& fileName, const QString& filter) {
  if (pictureFormatOf(fileName)) return fileName;
  const char* extension = kFormats[0].extension;
  for (const FormatName& f : kFormats) {
    if (filter.contains(QStringLiteral("(*.%1)").arg(QLatin1String(f.extension)))) {
      extension = f.extension;
    }
  }
  return fileName + QLatin1Char('.') + QLatin1String(extension);
}

void writeChartPicture(const LiveChart& chart, const QString& path) {
  const std::optional<PictureFormat> format = pictureFormatOf(path);
  if (!format) cannotCreate(path, QStringLiteral("Not a picture format: use .svg, .pdf or .png"));
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) cannotCreate(path, file.errorString());
  switch (*format) {
    case PictureFormat::Svg:
      file.write(svgPicture(chart));
      break;
    case PictureFormat::Pdf:
      writePdf(chart, file);
      break;
    case PictureFormat::Png:
      if (!pngPicture(chart).save(&file, "PNG")) {
        file.cancelWriting();
        cannotCreate(path, QStringLiteral("The PNG encoder failed"));
      }
      break;
  }
  if (!file.commit()) cannotCreate(path, file.errorString());
}

}  // namespace kelvaro
