// Pack labels drawn into PDF files and pictures: the codes decode back to
// their cycle (poppler's pdftoppm, libdmtx's dmtxread), labels fill sheets,
// and no text leaves the label.
#include "reports/render/label_painter.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <iostream>

#include "../archive/sealed_cycles.h"
#include "archive/release.h"
#include "temp_folder.h"

namespace vestrim::reports::render {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

void startGui() {
  // The offscreen platform's fonts, with or without a display.
  static char name[] = "label_tests", platform[] = "-platform", offscreen[] = "offscreen";
  static char* argv[] = {name, platform, offscreen, nullptr};
  static int argc = 3;
  static const QGuiApplication application(argc, argv);
}

// Whether the decoding tools are there; says so loudly when not.
bool decodersPresent() {
  for (const char* tool : {"pdftoppm", "dmtxread"}) {
    if (QStandardPaths::findExecutable(tool).isEmpty()) {
      std::cerr << "\n*** " << tool
                << " is missing: the labels' codes are NOT decoded (install poppler-utils and "
                   "dmtx-utils, as scripts/install-deps does) ***\n\n";
      return false;
    }
  }
  return true;
}

QString run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  EXPECT_TRUE(process.waitForFinished(60000)) << program.toStdString();
  EXPECT_EQ(process.exitCode(), 0)
      << program.toStdString() << ": " << process.readAllStandardError().toStdString();
  return QString::fromLatin1(process.readAllStandardOutput());
}

// The text of each page's code: the pages at 300 dots an inch, decoded.
std::vector<std::string> decodedPages(const fs::path& pdf, const fs::path& folder) {
  const QString prefix = QString::fromStdString((folder / "page").string());
  run("pdftoppm", {"-r", "300", "-png", QString::fromStdString(pdf.string()), prefix});
  QDir pages(QString::fromStdString(folder.string()), "page*.png", QDir::Name);
  std::vector<std::string> codes;
  for (const QString& page : pages.entryList()) {
    codes.push_back(run("dmtxread", {"-N1", pages.filePath(page)}).trimmed().toStdString());
  }
  return codes;
}

// A released cycle's label, in an archive of its own.
archive::PackLabel releasedLabel(const fs::path& program, std::string& path) {
  const fs::path file = archive::seal(program, {1571});
  path = file.lexically_relative(program).generic_string();
  std::string error;
  archive::ReleaseRequest request;
  request.path = path;
  request.operatorInitials = "AB";
  EXPECT_TRUE(archive::recordRelease(program, request, error)) << error;
  const auto label = archive::packLabelFor(program, path, 180, "Pouch", error);
  EXPECT_TRUE(label) << error;
  return label.value_or(archive::PackLabel{});
}

TEST(PackLabelPdf, LabelsDecodeBackToTheirCycle) {
  startGui();
  if (!decodersPresent()) {
    GTEST_SKIP() << "pdftoppm or dmtxread missing";
  }
  TempFolder folder;
  const fs::path program = folder.path() / "program";
  std::string path;
  const archive::PackLabel label = releasedLabel(program, path);
  QString error;
  const fs::path pdf = folder.path() / "labels.pdf";
  ASSERT_TRUE(labelsToPdf(label, 3, {}, pdf, &error)) << error.toStdString();
  const std::vector<std::string> codes = decodedPages(pdf, folder.path());
  ASSERT_EQ(codes.size(), 3u);
  for (const std::string& code : codes) {
    EXPECT_EQ(code, label.code);
    std::string why;
    const archive::PackCodeSearch found = archive::findPackCode(program, code, why);
    EXPECT_EQ(found.outcome, archive::PackCodeFind::Found) << why;
    EXPECT_EQ(found.path, path);
  }
  // A folder that is not there: the file named, nothing written.
  EXPECT_FALSE(labelsToPdf(label, 1, {}, folder.path() / "none" / "labels.pdf", &error));
  EXPECT_TRUE(error.contains("none/labels.pdf")) << error.toStdString();
}

TEST(PackLabelPdf, SheetsHoldAGridAndSmallPagesOneScaledLabel) {
  startGui();
  TempFolder folder;
  std::string path;
  const archive::PackLabel label = releasedLabel(folder.path() / "program", path);
  const auto pages = [&](const QPageLayout& layout, int copies, const fs::path& file) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    int drawn = 0;
    {
      QPdfWriter writer(&buffer);
      writer.setPageLayout(layout);
      drawn = paintLabels(writer, label, copies, {});
    }
    QFile out(QString::fromStdString(file.string()));
    out.open(QIODevice::WriteOnly);
    out.write(bytes);
    return drawn;
  };
  // A4 with 10 mm margins: 190 x 277 mm hold 3 x 8 labels of 57 x 32.
  const QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
  EXPECT_EQ(pages(a4, 24, folder.path() / "a.pdf"), 1);
  EXPECT_EQ(pages(a4, 25, folder.path() / "a.pdf"), 2);
  EXPECT_EQ(pages(a4, 49, folder.path() / "a.pdf"), 3);
  // A page smaller than the label: one a page, scaled down, still readable.
  const QPageLayout small(
      QPageSize(QSizeF(40, 25), QPageSize::Millimeter, {}, QPageSize::ExactMatch),
      QPageLayout::Portrait, QMarginsF());
  const fs::path smallPdf = folder.path() / "small.pdf";
  EXPECT_EQ(pages(small, 2, smallPdf), 2);
  if (decodersPresent()) {
    EXPECT_EQ(decodedPages(smallPdf, folder.path()),
              (std::vector<std::string>{label.code, label.code}));
  }
}

TEST(PackLabelPicture, LongestTextsStayInsideTheLabel) {
  startGui();
  archive::PackLabel label;
  label.serial = std::string(20, 'W');
  label.program = std::string(20, 'W');
  label.cycleNumber = 999999999;
  label.cycleDate = "28/02/2025";
  label.expiryDate = "28/02/2035";
  label.operatorInitials = "WWWW";
  label.packKind = std::string(30, 'W');
  label.code = archive::packCode(label.serial, label.cycleNumber, "abcdef0123");
  constexpr int kPerMm = 12;
  for (const LabelSize size : {LabelSize{}, LabelSize{30, 20}, LabelSize{50, 80},
                               LabelSize{100, 50}, LabelSize{200, 200}}) {
    const QImage image = labelImage(label, size, kPerMm);
    ASSERT_EQ(image.width(), size.widthMm * kPerMm);
    // Every margin's outer millimetre is white; something is drawn inside.
    int dark = 0;
    int outside = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (qGray(image.pixel(x, y)) < 200) {
          ++dark;
          const bool inMargin = x < kPerMm || y < kPerMm || x >= image.width() - kPerMm ||
                                y >= image.height() - kPerMm;
          outside += inMargin ? 1 : 0;
        }
      }
    }
    EXPECT_EQ(outside, 0) << size.widthMm << "x" << size.heightMm;
    EXPECT_GT(dark, image.width() * image.height() / 20) << size.widthMm << "x" << size.heightMm;
  }
}

}  // namespace
}  // namespace vestrim::reports::render
