#pragma once

#include <QImage>
#include <QRectF>
#include <QString>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/pack_label.h"
#include "shell/own_texts.h"

class QPagedPaintDevice;
class QPainter;

// Pack labels on paper: the label's texts beside its DataMatrix code
// (ISO/IEC 16022, made by libzint), on a label printer's roll (one label a
// page, the page the size of the label), on a sheet (labels on a grid), or
// as a picture for the preview.
namespace vestrim::reports::render {

struct LabelSize {
  double widthMm = 57;
  double heightMm = 32;

  bool operator==(const LabelSize&) const = default;
};
inline constexpr double kMinLabelWidthMm = 30;
inline constexpr double kMaxLabelWidthMm = 200;
inline constexpr double kMinLabelHeightMm = 20;
inline constexpr double kMaxLabelHeightMm = 200;
// Whether labels of `size` can be drawn legibly: 30 to 200 mm wide, 20 to
// 200 mm high.
bool labelSizeAllowed(const LabelSize& size);

// The dark modules of the DataMatrix code of `text` (single-byte text, as
// bytes), as squares of side 1 in a grid of `columns` x `rows` modules,
// without quiet zone. Nothing, with `error` saying why, when libzint
// refuses the text.
struct DataMatrix {
  int columns = 0;
  int rows = 0;
  std::vector<QRectF> dark;
};
std::optional<DataMatrix> dataMatrix(const std::string& text, QString* error = nullptr);

// Draws `label` into `rect` (in the painter's units), which should have the
// proportions of `size`: everything is laid out in millimetres of `size`
// and scaled to the rectangle. The code keeps a light quiet zone of at
// least one module; a text too long for its line is drawn smaller, never
// cut. False when the code cannot be made.
bool paintLabel(QPainter& painter, const QRectF& rect, const LabelSize& size,
                const archive::PackLabel& label,
                const shell::LanguageTexts& texts = shell::englishOnly());

// Draws `copies` labels on the pages of `device` (a printer, a PDF writer)
// inside its page's printable area: on a grid, as many as fit, when a label
// fits the page (a sheet of labels); one a page, scaled down to fit and
// centred, when it does not. Returns the pages drawn; 0 when the device
// cannot be painted on or the code cannot be made.
int paintLabels(QPagedPaintDevice& device, const archive::PackLabel& label, int copies,
                const LabelSize& size, const shell::LanguageTexts& texts = shell::englishOnly());

// `copies` labels into a PDF file, one a page, each page the size of the
// label, as label printers take them. Written safely: a temporary file in
// the same folder, renamed over `file` when complete. False with `error`
// (the file and the reason) when it cannot be written.
bool labelsToPdf(const archive::PackLabel& label, int copies, const LabelSize& size,
                 const std::filesystem::path& file, QString* error = nullptr,
                 const shell::LanguageTexts& texts = shell::englishOnly());

// One label as a picture, `pixelsPerMm` pixels to the millimetre, on white.
QImage labelImage(const archive::PackLabel& label, const LabelSize& size, double pixelsPerMm,
                  const shell::LanguageTexts& texts = shell::englishOnly());

}  // namespace vestrim::reports::render
