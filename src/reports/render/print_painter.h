#pragma once

#include <QString>
#include <filesystem>

#include "reports/cycle_chart_data.h"
#include "reports/pdf_document_info.h"
#include "reports/print_layout.h"

class QPagedPaintDevice;

namespace vestrim::reports::render {

// Paints a print job on a printer or a PDF writer: its font, its lines
// each at their column, a new page whenever a page is full; then, when a
// chart is given, the chart on a page of its own. Every line of the job is
// printed. Returns the number of pages; 0 when the device cannot be
// painted on (a file that cannot be written).
int paintPrintJob(const PrintJob& job, QPagedPaintDevice& device,
                  const CycleChart* chart = nullptr);

// The job printed into a PDF/A-1b file, as the printer would print it (and
// the chart after it, when one is given): fonts embedded, the document
// information and the XMP metadata holding `info` and naming PDF/A-1b.
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
