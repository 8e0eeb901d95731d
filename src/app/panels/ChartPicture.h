#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kelvaro {

class LiveChart;

// The picture formats the live chart is saved in. SVG is this desktop's vector picture, which
// office programs and browsers open; PDF is vector too; PNG is the chart's pixels.
enum class PictureFormat { Svg, Pdf, Png };

// The save dialog's filters, SVG first: "SVG picture (*.svg)", "PDF document (*.pdf)",
// "PNG image (*.png)".
const QStringList& pictureFilters();

// The format a file name's extension names (in any letter case); none for another extension.
std::optional<PictureFormat> pictureFormatOf(const QString& fileName);

// A name that does not end in one of the formats' extensions gets the one of `filter` (SVG for a
// filter that is none of the list), so that the file's content always matches its extension.
QString completePictureName(const QString& fileName, const QString& filter);

// Writes the chart as it is displayed now (shown series, ranges, zoom) to `path`, in the format
// its extension names, at the chart's on-screen size: SVG and PDF of that size in CSS pixels
// (1/96 inch), PNG at the screen's pixel density. The file is written beside the target and then
// renamed over it, so a failure leaves no half-written file. Throws Error with
// "Cannot create file "<path>". <reason>" when it cannot be written.
void writeChartPicture(const LiveChart& chart, const QString& path);

}  // namespace kelvaro
