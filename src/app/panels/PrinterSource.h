#pragma once

#include <memory>

class QPrinter;

namespace kelvaro {

// Where "Print" sends the chart: the desktop's default printer, or in a test a PDF file.
class PrinterSource {
 public:
  virtual ~PrinterSource() = default;
  // The default printer, configured and kept from one job to the next, so that what a job
  // changes on it (the orientation) can be put back; null when no printer is set up.
  virtual QPrinter* defaultPrinter() = 0;
};

// The printing system's default printer (CUPS), at the printer's own resolution.
class SystemPrinterSource final : public PrinterSource {
 public:
  SystemPrinterSource();
  ~SystemPrinterSource() override;

  QPrinter* defaultPrinter() override;

 private:
  std::unique_ptr<QPrinter> printer_;
};

}  // namespace kelvaro
