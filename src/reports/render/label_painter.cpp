#include "reports/render/label_painter.h"

#include <zint.h>

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/qt/qt_text.h"
#include "shell/safe_file.h"
#include "shell/text_encoding.h"

namespace vestrim::reports::render {
namespace {

// The label is laid out in hundredths of a millimetre, whatever the
// device's resolution, with the fonts sized in those units.
constexpr double kUnitsPerMm = 100;
constexpr double kMmPerPoint = 25.4 / 72;
// The largest type of the label's lines, and the smallest a line is shrunk
// to before it would not fit (then it is drawn smaller still, not cut).
constexpr double kLargestPoints = 11;
// A page counts as holding a label when it falls short by less than this
// (page sizes pass through points on their way into a PDF).
constexpr double kFitToleranceMm = 0.1;

struct ZintSymbol {
  void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

QFont labelFont(double points, bool bold) {
  // "Arial" where it is installed; the metric-compatible sans face elsewhere.
  QFont font("Arial");
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(1, static_cast<int>(points * kMmPerPoint * kUnitsPerMm)));
  font.setBold(bold);
  return font;
}

// One line of text, drawn from `left` with its baseline at `baseline`, in
// the font of `points` or smaller, so that it is at most `width` wide.
void drawFitted(QPainter& painter, const QString& text, double left, double baseline, double width,
                double points, bool bold) {
  QFont font = labelFont(points, bold);
  const double wide = QFontMetricsF(font).horizontalAdvance(text);
  if (wide > width) {
    font = labelFont(points * width / wide * 0.98, bold);
  }
  painter.setFont(font);
  painter.drawText(QPointF(left, baseline), text);
}

// The largest type whose line pitch is at most `pitch` units, at most
// kLargestPoints.
double pointsForPitch(double pitch, bool bold) {
  const double reference = 10;
  const double referencePitch = QFontMetricsF(labelFont(reference, bold)).lineSpacing();
  return std::min(kLargestPoints, reference * pitch / referencePitch);
}

void paintCode(QPainter& painter, const DataMatrix& code, const QRectF& square) {
  // One light module at least on every side: the quiet zone.
  const double module = square.width() / (std::max(code.columns, code.rows) + 2);
  QPainterPath dark;
  dark.setFillRule(Qt::WindingFill);
  const QPointF origin = square.topLeft() + QPointF(module, module);
  for (const QRectF& cell : code.dark) {
    dark.addRect(QRectF(origin + cell.topLeft() * module, cell.size() * module));
  }
  painter.fillPath(dark, Qt::black);
}

}  // namespace

bool labelSizeAllowed(const LabelSize& size) {
  return size.widthMm >= kMinLabelWidthMm && size.widthMm <= kMaxLabelWidthMm &&
         size.heightMm >= kMinLabelHeightMm && size.heightMm <= kMaxLabelHeightMm;
}

std::optional<DataMatrix> dataMatrix(const std::string& text, QString* error) {
  const std::unique_ptr<zint_symbol, ZintSymbol> symbol(ZBarcode_Create());
  if (!symbol) {
    if (error) {
      *error = "the DataMatrix code could not be made: out of memory";
    }
    return std::nullopt;
  }
  symbol->symbology = BARCODE_DATAMATRIX;
  symbol->option_3 = DM_SQUARE;
  symbol->input_mode = DATA_MODE;
  const int encoded =
      ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(text.data()),
                      static_cast<int>(text.size()));
  const int drawn = encoded < ZINT_ERROR ? ZBarcode_Buffer_Vector(symbol.get(), 0) : encoded;
  if (drawn >= ZINT_ERROR || !symbol->vector || symbol->width <= 0 || symbol->rows <= 0) {
    if (error) {
      *error = QString("the DataMatrix code could not be made: ") + symbol->errtxt;
    }
    return std::nullopt;
  }
  // The vector output's rectangles, in its own units, turned into modules.
  DataMatrix code;
  code.columns = symbol->width;
  code.rows = symbol->rows;
  const double perModule = symbol->vector->width / symbol->width;
  for (const zint_vector_rect* r = symbol->vector->rectangles; r; r = r->next) {
    code.dark.emplace_back(r->x / perModule, r->y / perModule, r->width / perModule,
                           r->height / perModule);
  }
  return code;
}

bool paintLabel(QPainter& painter, const QRectF& rect, const LabelSize& size,
                const archive::PackLabel& label, const shell::LanguageTexts& texts) {
  const std::optional<DataMatrix> code = dataMatrix(label.code);
  if (!code) {
    return false;
  }
  const double width = size.widthMm * kUnitsPerMm;
  const double height = size.heightMm * kUnitsPerMm;
  painter.save();
  painter.translate(rect.topLeft());
  painter.scale(rect.width() / width, rect.height() / height);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.fillRect(QRectF(0, 0, width, height), Qt::white);
  painter.setPen(Qt::black);

  // Margins and gaps grow with the label, from 1.2 mm on the smallest.
  const double margin = std::clamp(std::min(width, height) * 0.05, 120.0, 300.0);
  const double gap = margin;
  // The code's text in small type along the bottom, for reading by eye.
  const double codeLine = std::clamp(height * 0.09, 220.0, 400.0);
  const double body = height - 2 * margin - codeLine;
  const bool portrait = height > width * 1.1;
  QRectF square;
  QRectF textArea;
  if (portrait) {
    const double side = std::min(width - 2 * margin, body * 0.5);
    square = QRectF((width - side) / 2, margin, side, side);
    textArea = QRectF(margin, margin + side + gap, width - 2 * margin, body - side - gap);
  } else {
    const double side = std::min(body, width * 0.4);
    square = QRectF(margin, margin + (body - side) / 2, side, side);
    textArea = QRectF(margin + side + gap, margin, width - 2 * margin - side - gap, body);
  }
  paintCode(painter, *code, square);

  const auto own = [&](shell::Text text, const std::string& value) {
    return platform::fromCore(shell::ownText(texts, text, {value}));
  };
  struct Line {
    QString text;
    bool bold;
  };
  const std::vector<Line> lines{
      {platform::fromCore(label.program), true},
      {own(shell::Text::LabelSerial, label.serial), false},
      {own(shell::Text::LabelCycle, std::to_string(label.cycleNumber)), false},
      {own(shell::Text::LabelDate, label.cycleDate), false},
      {own(shell::Text::LabelExpiry, label.expiryDate), true},
      {platform::fromCore(label.packKind) + QString::fromUtf8(" \u00B7 ") +
           own(shell::Text::LabelOperator, label.operatorInitials),
       false},
  };
  const double pitch = textArea.height() / static_cast<double>(lines.size());
  const double points = pointsForPitch(pitch, true);
  const QFontMetricsF metrics(labelFont(points, false));
  // The block of lines centred in the text area's height.
  double baseline = textArea.top() + (pitch - metrics.height()) / 2 + metrics.ascent();
  for (const Line& line : lines) {
    drawFitted(painter, line.text, textArea.left(), baseline, textArea.width(), points, line.bold);
    baseline += pitch;
  }
  const double codePoints = pointsForPitch(codeLine, false);
  drawFitted(painter, platform::fromCore(label.code), margin,
             height - margin - QFontMetricsF(labelFont(codePoints, false)).descent(),
             width - 2 * margin, codePoints, false);
  painter.restore();
  return true;
}

int paintLabels(QPagedPaintDevice& device, const archive::PackLabel& label, int copies,
                const LabelSize& size, const shell::LanguageTexts& texts) {
  if (copies < 1) {
    return 0;
  }
  const QRectF area = device.pageLayout().paintRect(QPageLayout::Millimeter);
  QPainter painter;
  if (!painter.begin(&device)) {
    return 0;
  }
  // Millimetres from the printable area's top left corner.
  painter.scale(device.logicalDpiX() / 25.4, device.logicalDpiY() / 25.4);
  const bool fits = area.width() + kFitToleranceMm >= size.widthMm &&
                    area.height() + kFitToleranceMm >= size.heightMm;
  const int columns =
      fits ? std::max(1, static_cast<int>((area.width() + kFitToleranceMm) / size.widthMm)) : 1;
  const int rows =
      fits ? std::max(1, static_cast<int>((area.height() + kFitToleranceMm) / size.heightMm)) : 1;
  const bool sheet = columns * rows > 1;
  // Scaled down to fit (a page smaller than the label) and centred.
  const double scale =
      fits ? 1.0 : std::min(area.width() / size.widthMm, area.height() / size.heightMm);
  const QSizeF drawn(size.widthMm * scale, size.heightMm * scale);
  const QPointF start =
      fits ? QPointF(0, 0)
           : QPointF((area.width() - drawn.width()) / 2, (area.height() - drawn.height()) / 2);
  int pages = 1;
  for (int copy = 0; copy < copies; ++copy) {
    const int place = copy % (columns * rows);
    if (copy > 0 && place == 0) {
      device.newPage();
      ++pages;
    }
    const QRectF rect(start + QPointF(place % columns * drawn.width(),
                                      static_cast<double>(place / columns) * drawn.height()),
                      drawn);
    if (!paintLabel(painter, rect, size, label, texts)) {
      return 0;
    }
    if (sheet) {
      // Where to cut a sheet of plain paper: a light outline.
      painter.save();
      painter.setPen(QPen(Qt::lightGray, 0.1));
      painter.drawRect(rect);
      painter.restore();
    }
  }
  return pages;
}

bool labelsToPdf(const archive::PackLabel& label, int copies, const LabelSize& size,
                 const std::filesystem::path& file, QString* error,
                 const shell::LanguageTexts& texts) {
  QByteArray pdf;
  QBuffer buffer(&pdf);
  buffer.open(QIODevice::WriteOnly);
  int pages = 0;
  {
    QPdfWriter writer(&buffer);
    writer.setTitle(platform::fromCore(label.code));
    writer.setCreator("Vestrim");
    writer.setPageLayout(
        QPageLayout(QPageSize(QSizeF(size.widthMm, size.heightMm), QPageSize::Millimeter, QString(),
                              QPageSize::ExactMatch),
                    QPageLayout::Portrait, QMarginsF()));
    pages = paintLabels(writer, label, copies, size, texts);
  }
  std::string why = "cannot write " + shell::utf8Of(file) + ": the labels could not be drawn";
  if (pages == 0 || !shell::replaceFile(file, pdf.toStdString(), &why)) {
    if (error) {
      *error = QString::fromStdString(why);
    }
    return false;
  }
  return true;
}

QImage labelImage(const archive::PackLabel& label, const LabelSize& size, double pixelsPerMm,
                  const shell::LanguageTexts& texts) {
  QImage image(static_cast<int>(std::lround(size.widthMm * pixelsPerMm)),
               static_cast<int>(std::lround(size.heightMm * pixelsPerMm)), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  paintLabel(painter, QRectF(0, 0, image.width(), image.height()), size, label, texts);
  return image;
}

}  // namespace vestrim::reports::render
