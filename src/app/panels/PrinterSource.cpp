#include "app/panels/PrinterSource.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace kelvaro {

SystemPrinterSource::SystemPrinterSource() = default;

SystemPrinterSource::~SystemPrinterSource() = default;

QPrinter* SystemPrinterSource::defaultPrinter() {
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) {
    printer_.reset();
    return nullptr;
  }
  // The desktop's default may change while the program runs; the next job goes to the new one.
  if (!printer_ || printer_->printerName() != info.printerName()) {
    printer_ = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
  }
  return printer_.get();
}

}  // namespace kelvaro
