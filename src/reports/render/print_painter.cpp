#include "reports/render/print_painter.h"

#include <QBuffer>
#include <QDateTime>
#include <QFont>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include "platform/qt/qt_text.h"
#include "reports/render/cycle_chart.h"
#include "shell/safe_file.h"

namespace vestrim::reports::render {
namespace {

// The chart's page: the full width, at most two thirds of it high.
constexpr double kChartAspect = 2.0 / 3.0;

PdfTime now() {
  const QDateTime utc = QDateTime::currentDateTimeUtc();
  const QDate date = utc.date();
  const QTime time = utc.time();
  return {date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()};
}

}  // namespace

int paintPrintJob(const PrintJob& job, QPagedPaintDevice& device, const CycleChart* chart) {
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
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    pages = paintPrintJob(job, writer, chart);
  }
  // The writer leaves its own information dictionary (title, creator and
  // time); the one written here also holds subject and keywords, and the
  // time the XMP metadata names.
  std::string bytes = pdf.toStdString();
  std::string why = "cannot write " + file.string() + ": the PDF could not be made";
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
