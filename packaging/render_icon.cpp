// Renders an SVG drawing into square PNGs, at build time: the icon theme's
// fixed sizes (render_icon IN.svg SIZE OUT.png), and the Windows programs'
// icons, which have no SVG renderer (render_icon IN.svg STEM SIZE...,
// writing STEM-SIZE.png for each size).
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <cstdio>

namespace {

bool render(QSvgRenderer& drawing, const char* sizeText, const QString& out) {
  const int size = QString::fromLocal8Bit(sizeText).toInt();
  if (size <= 0) {
    std::fprintf(stderr, "render_icon: %s is not a size in pixels\n", sizeText);
    return false;
  }
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  drawing.render(&painter);
  painter.end();
  if (!image.save(out, "PNG")) {
    std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(out));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fputs("usage: render_icon IN.svg SIZE OUT.png | render_icon IN.svg STEM SIZE...\n",
               stderr);
    return 2;
  }
  // Drawings with text need the fonts, which need an application; no display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  QSvgRenderer drawing(QString::fromLocal8Bit(argv[1]));
  if (!drawing.isValid()) {
    std::fprintf(stderr, "render_icon: cannot read the drawing %s\n", argv[1]);
    return 1;
  }
  const QString third = QString::fromLocal8Bit(argv[3]);
  if (argc == 4 && third.endsWith(QLatin1String(".png"))) {
    return render(drawing, argv[2], third) ? 0 : 1;
  }
  const QString stem = QString::fromLocal8Bit(argv[2]);
  for (int i = 3; i < argc; ++i) {
    if (!render(
            drawing, argv[i],
            stem + QLatin1Char('-') + QString::fromLocal8Bit(argv[i]) + QLatin1String(".png"))) {
      return 1;
    }
  }
  return 0;
}
