#include "reports/ui/print_painter.h"

#include <QFont>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>

#include "platform/qt/qt_text.h"

namespace vestrim::reports::ui {

int paintPrintJob(const PrintJob& job, QPagedPaintDevice& device) {
  QPainter painter;
  if (!painter.begin(&device)) {
    return 0;
  }
  QFont font(QString::fromStdString(job.font), job.fontSize);
  // "Courier New" where it is installed; a metric-compatible fixed-pitch face
  // elsewhere, so that the columns keep their widths.
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setBold(job.bold);
  font.setUnderline(job.underline);
  painter.setFont(font);
  const QFontMetrics metrics(font, &device);
  const int lineHeight = metrics.lineSpacing();
  const int pageHeight = painter.viewport().height();
  int pages = 1;
  int top = 0;
  for (const std::string& line : printedLines(job)) {
    if (top + lineHeight > pageHeight) {
      device.newPage();
      ++pages;
      top = 0;
    }
    painter.drawText(0, top + metrics.ascent(), platform::fromCore(line));
    top += lineHeight;
  }
  return pages;
}

bool printJobToPdf(const PrintJob& job, const std::filesystem::path& file, const QString& title,
                   QString* error) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(file.string()));
  printer.setDocName(title);
  if (paintPrintJob(job, printer) == 0 || printer.printerState() == QPrinter::Error) {
    if (error) {
      *error = QStringLiteral("cannot write %1").arg(QString::fromStdString(file.string()));
    }
    return false;
  }
  return true;
}

}  // namespace vestrim::reports::ui
