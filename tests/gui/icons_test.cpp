// The icons as the desktop program gets them: from the compiled resource, through Qt's SVG
// plugin. An icon using SVG that Qt does not draw, or a missing plugin, shows as a blank.
#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>

#include <gtest/gtest.h>

namespace {

int OpaquePixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += qAlpha(image.pixel(x, y)) > 0;
  }
  return count;
}

TEST(Icons, EveryResourceIconDrawsAtListAndLargeSizes) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "icon_tests";
  char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);

  int icons = 0;
  for (QDirIterator it(":/icons"); it.hasNext();) {
    const QString path = it.next();
    ++icons;
    for (const int size : {16, 64}) {
      const QImage image = QIcon(path).pixmap(size, size).toImage();
      EXPECT_EQ(image.size(), QSize(size, size)) << path.toStdString();
      // The smallest drawing, the "new" star, covers about a fifth of its square.
      EXPECT_GT(OpaquePixels(image), size * size / 8) << path.toStdString() << " at " << size;
    }
  }
  EXPECT_GT(icons, 0) << "the resource holds no icons";
  // The message list asks for its row images by the mark's number.
  for (int mark = 0; mark <= 7; ++mark) {
    EXPECT_TRUE(QFile::exists(QString(":/icons/mark-%1.svg").arg(mark))) << "mark " << mark;
  }
}

}  // namespace
