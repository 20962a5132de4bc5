#include "reports/render/print_painter.h"

#include <QBuffer>
#include <QDateTime>
#include <QFont>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>

#include "platform/qt/qt_text.h"
#include "reports/render/cycle_chart.h"
#include "shell/safe_file.h"

namespace vestrim::reports::render {
namespace {

// The chart's page: the full width, at most two thirds of it high.
constexpr double kChartAspect = 2.0 / 3.0;
// The report's margins, in millimetres, on every side.
constexpr double kMarginMm = 10;
// The lines are laid out in hundredths of a point whatever the device's
// resolution, with the font sized in those units. Laid out at the device's
// own size, the face's hinted widths and heights would end 80 characters
// anywhere between 380 and 396 points and put the line pitch anywhere
// between 8.97 and 9.34 points (from 72 to 1200 dots an inch), and the lines
// of a page with them.
constexpr int kUnitsPerPoint = 100;
constexpr double kUnitsPerInch = 72.0 * kUnitsPerPoint;

QFont printFont(const PrintJob& job) {
  QFont font(QString::fromStdString(job.font));
  font.setPixelSize(job.fontSize * kUnitsPerPoint);
  // "Courier New" where it is installed; a metric-compatible fixed-pitch face
  // elsewhere, so that the columns keep their widths.
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setBold(job.bold);
  font.setUnderline(job.underline);
  return font;
}

PdfTime now() {
  const QDateTime utc = QDateTime::currentDateTimeUtc();
  const QDate date = utc.date();
  const QTime time = utc.time();
  return {date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()};
}

}  // namespace

QPageLayout reportPageLayout(const QPageSize& paper, QPageLayout::Orientation orientation) {
  return {paper, orientation, QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
          QPageLayout::Millimeter};
}

int linesPerPage(const PrintJob& job, const QPageLayout& layout) {
  const double height = layout.paintRect(QPageLayout::Point).height() * kUnitsPerPoint;
  return std::max(1, static_cast<int>(height / QFontMetricsF(printFont(job)).lineSpacing()));
}

int paintPrintJob(const PrintJob& job, QPagedPaintDevice& device, const CycleChart* chart) {
  // Whatever margins a print dialog left: the report's, where the printer
  // can print that close to the edge.
  device.setPageMargins(reportPageLayout().margins(), QPageLayout::Millimeter);
  QPainter painter;
  if (!painter.begin(&device)) {
    return 0;
  }
  painter.save();
  painter.scale(device.logicalDpiX() / kUnitsPerInch, device.logicalDpiY() / kUnitsPerInch);
  const QFont font = printFont(job);
  painter.setFont(font);
  const QFontMetricsF metrics(font);
  const int perPage = linesPerPage(job, device.pageLayout());
  int pages = 1;
  int row = 0;
  for (const std::string& line : printedLines(job)) {
    if (row == perPage) {
      device.newPage();
      ++pages;
      row = 0;
    }
    painter.drawText(QPointF(0, row * metrics.lineSpacing() + metrics.ascent()),
                     platform::fromCore(line));
    ++row;
  }
  painter.restore();
  if (chart) {
    device.newPage();
    ++pages;
    const QRect page = painter.viewport();
    CycleChartPainter(*chart).paint(
        painter,
        QRectF(0, 0, page.width(), std::min<double>(page.height(), page.width() * kChartAspect)));
  }
  return pages;
}

bool printJobToPdf(const PrintJob& job, const std::filesystem::path& file,
                   const PdfDocumentInfo& info, const CycleChart* chart, QString* error) {
  const std::string producer = "Qt " QT_VERSION_STR;
  const PdfTime time = now();
  QByteArray pdf;
  QBuffer buffer(&pdf);
  buffer.open(QIODevice::WriteOnly);
  int pages = 0;
  {
    QPdfWriter writer(&buffer);
    writer.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
    writer.setTitle(QString::fromStdString(info.title));
    writer.setCreator(QString::fromStdString(info.creator));
    writer.setDocumentXmpMetadata(QByteArray::fromStdString(pdfaXmpPacket(info, producer, time)));
    writer.setPageLayout(reportPageLayout());
    pages = paintPrintJob(job, writer, chart);
  }
  // The writer leaves its own information dictionary (title, creator and
  // time); the one written here also holds subject and keywords, and the
  // time the XMP metadata names.
  std::string bytes = pdf.toStdString();
  std::string why = "cannot write " + shell::utf8Of(file) + ": the PDF could not be made";
  if (pages == 0 || !setDocumentInformation(bytes, info, producer, time) ||
      !shell::replaceFile(file, bytes, &why)) {
    if (error) {
      *error = QString::fromStdString(why);
    }
    return false;
  }
  return true;
}

bool printJobToPdf(const PrintJob& job, const std::filesystem::path& file, const QString& title,
                   QString* error) {
  PdfDocumentInfo info;
  info.title = title.toStdString();
  return printJobToPdf(job, file, info, nullptr, error);
}

}  // namespace vestrim::reports::render
