#pragma once

#include <QString>
#include <filesystem>

#include "reports/print_layout.h"

class QPagedPaintDevice;

namespace vestrim::reports::ui {

// Paints a print job on a printer or a PDF writer: its font, its lines
// each at their column, a new page whenever a page is full. Every line of
// the job is printed. Returns the number of pages; 0 when the device
// cannot be painted on (a file that cannot be written).
int paintPrintJob(const PrintJob& job, QPagedPaintDevice& device);

// The job printed into a PDF file, as the printer would print it. False
// with `error` set when the file cannot be written.
bool printJobToPdf(const PrintJob& job, const std::filesystem::path& file, const QString& title,
                   QString* error = nullptr);

}  // namespace vestrim::reports::ui
