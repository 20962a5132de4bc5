// Renders an SVG drawing into a square PNG of the given size, for the icon
// theme's fixed sizes: render_icon IN.svg SIZE OUT.png. Runs at build time.
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: render_icon IN.svg SIZE OUT.png\n", stderr);
    return 2;
  }
  const int size = QString::fromLocal8Bit(argv[2]).toInt();
  QSvgRenderer drawing(QString::fromLocal8Bit(argv[1]));
  if (!drawing.isValid() || size <= 0) {
    std::fprintf(stderr, "render_icon: cannot render %s at %s pixels\n", argv[1], argv[2]);
    return 1;
  }
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  drawing.render(&painter);
  painter.end();
  if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
    std::fprintf(stderr, "render_icon: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
