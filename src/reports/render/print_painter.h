#pragma once

#include <QPageLayout>
#include <QString>
#include <filesystem>

#include "reports/cycle_chart_data.h"
#include "reports/pdf_document_info.h"
#include "reports/print_layout.h"

class QPagedPaintDevice;

namespace vestrim::reports::render {

// The page a report is printed, previewed and exported on: `paper` (A4
// unless the printer or the user chose another) in `orientation`, with
// margins of 10 mm on every side.
QPageLayout reportPageLayout(const QPageSize& paper = QPageSize(QPageSize::A4),
                             QPageLayout::Orientation orientation = QPageLayout::Portrait);

// The lines of `job` that a page holds between the margins of `layout`: the
// height there over the line pitch of the job's font, both in points, hence
// the same on a printer at 300 dots an inch, its preview and a PDF at 1200.
int linesPerPage(const PrintJob& job, const QPageLayout& layout);

// Paints a print job on a printer or a PDF writer, on the paper and in the
// orientation the device has, with the report's margins: its font, its
// lines each at their column, linesPerPage() lines to a page; then, when a
// chart is given, the chart on a page of its own. Every line of the job is
// printed. Returns the number of pages; 0 when the device cannot be
// painted on (a file that cannot be written).
int paintPrintJob(const PrintJob& job, QPagedPaintDevice& device,
                  const CycleChart* chart = nullptr);

// The job printed into a PDF/A-1b file on the report's A4 portrait page, as
// the printer prints it (and the chart after it, when one is given): fonts
// embedded, the document information and the XMP metadata holding `info`
// and naming PDF/A-1b.
// The file is written safely: a temporary file in the same folder, renamed
// over the target when complete. False with `error` set when it cannot be
// written.
bool printJobToPdf(const PrintJob& job, const std::filesystem::path& file,
                   const PdfDocumentInfo& info, const CycleChart* chart = nullptr,
                   QString* error = nullptr);
// The same with a title only.
bool printJobToPdf(const PrintJob& job, const std::filesystem::path& file, const QString& title,
                   QString* error = nullptr);

}  // namespace vestrim::reports::render
