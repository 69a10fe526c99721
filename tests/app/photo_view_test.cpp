// The photo page driven through its buttons and keys on a sample collection: fitting, reading
// and writing the photo field, the clipboard, Escape and moves between records.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QPushButton>
#include <QTest>
#include <QtEndian>

#include "app_fixture.h"
#include "controls/command_runner.h"
#include "data/data_module.h"
#include "inventory/db_img_aspct.h"
#include "inventory/fm_inven_brw.h"
#include "inventory/photo_page.h"

using rf::data::TdmMain;
using rf::dataset::DatasetState;
using rf::inventory::fitRect;
using rf::inventory::PhotoPage;
using rf::inventory::TDBImageAsp;
using rf::inventory::TfmInvenBrw;
using rf::testing::Collection;

namespace {

QImage solid(int w, int h, QColor c) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(c);
  return img;
}

QByteArray encoded(const QImage& img, const char* format) {
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, format);
  return bytes;
}

// The 8-byte picture header some writers put before the BMP file.
QByteArray withHeader(const QByteArray& bmp, quint32 size) {
  QByteArray h(8, '\0');
  h[0] = 1;
  h[3] = 1;  // type 0x0100, little-endian
  for (int i = 0; i < 4; ++i) h[4 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
  return h + bmp;
}

TEST(PhotoFit, FittingRectangleInTheDesignSizeControl) {
  struct Case {
    int w, h;
    QRect expected;
  } cases[] = {
      {100, 50, QRect(217, 133, 100, 50)},   // smaller: its own size, centred
      {1070, 634, QRect(0, 0, 535, 317)},    // twice the size
      {2000, 500, QRect(0, 91, 535, 134)},   // 133.75 rounds up
      {500, 2000, QRect(228, 0, 79, 317)},   // 79.25 rounds down
      {1070, 633, QRect(0, 0, 535, 316)},    // 316.5: a tie goes to the even neighbour
      {1070, 635, QRect(1, 0, 533, 317)},    // 317.5 gives 318, too high: the second step
      {535, 317, QRect(0, 0, 535, 317)},     // exactly the size: untouched
      {536, 1, QRect(0, 158, 535, 1)},       // 0.998 rounds to 1, never to nothing
  };
  for (const Case& c : cases)
    EXPECT_EQ(fitRect(QSize(c.w, c.h), QSize(535, 317)), c.expected) << c.w << " x " << c.h;
  EXPECT_EQ(fitRect(QSize(2000, 500), QSize(535, 317), false), QRect(0, 0, 535, 134));
  EXPECT_EQ(fitRect(QSize(), QSize(535, 317)), QRect(0, 0, 535, 317));
}

TEST(PhotoFit, PictureHeaderSkippedOnlyWhenItMatches) {
  const QByteArray bmp = encoded(solid(4, 3, Qt::red), "BMP");
  const auto size = static_cast<quint32>(bmp.size());
  EXPECT_EQ(rf::inventory::bitmapBytes(withHeader(bmp, size)), bmp);
  EXPECT_EQ(rf::inventory::bitmapBytes(bmp), bmp);
  // A size that is not what follows: the bytes are taken from the first one.
  EXPECT_EQ(rf::inventory::bitmapBytes(withHeader(bmp, size + 1)).size(), bmp.size() + 8);
  EXPECT_EQ(rf::inventory::bitmapBytes(QByteArray("\x01\x00", 2)).size(), 2);
}

class Photo : public ::testing::Test {
 protected:
  void SetUp() override {
    rf::controls::setErrorPresenter([this](QWidget*, const QString& t) { errors << t; });
    QGuiApplication::clipboard()->clear();
    dm = std::make_unique<TdmMain>(c.engine());
    b = std::make_unique<TfmInvenBrw>(*dm);
    page = std::make_unique<PhotoPage>(&b->dsInven());
    page->resize(537 + 144, 319);
  }
  void TearDown() override {
    page.reset();
    rf::controls::setErrorPresenter({});
  }

  // A new record holding `photo` in I_Photo (nothing when empty); left current.
  void addPiece(const QByteArray& photo) {
    auto& inv = b->tbInven();
    inv.insert();
    inv.edit();
    if (!photo.isEmpty()) inv.field("I_Photo").setBytes(photo);
    inv.post();
  }
  void showPage() {
    page->show();
    QApplication::processEvents();
  }
  TDBImageAsp& image() { return page->fldImage(); }
  void click(const char* name) {
    auto* btn = page->findChild<QPushButton*>(QString::fromLatin1(name));
    ASSERT_NE(btn, nullptr) << name;
    QTest::mouseClick(btn, Qt::LeftButton);
  }
  QByteArray stored() { return b->tbInven().field("I_Photo").asBytes(); }
  DatasetState state() { return b->tbInven().state(); }

  Collection c;
  QStringList errors;
  std::unique_ptr<TdmMain> dm;
  std::unique_ptr<TfmInvenBrw> b;
  std::unique_ptr<PhotoPage> page;
};

TEST_F(Photo, PageHasTheControlAndTheButtonColumn) {
  showPage();
  EXPECT_EQ(image().objectName(), "fldImage");
  const char* names[] = {"bntCut", "btnCopy", "btnPaste", "btnLoad", "btnSave"};
  const char* texts[] = {"Cu&t", "&Copy", "&Paste", "&Load...", "&Save..."};
  int lastTop = -1;
  for (int i = 0; i < 5; ++i) {
    auto* btn = page->findChild<QPushButton*>(QString::fromLatin1(names[i]));
    ASSERT_NE(btn, nullptr) << names[i];
    EXPECT_EQ(btn->text(), texts[i]);
    EXPECT_EQ(btn->size(), QSize(75, 25));
    EXPECT_GE(btn->mapTo(page.get(), QPoint()).x(), page->width() - 144);
    EXPECT_GT(btn->y(), lastTop);
    lastTop = btn->y();
  }
  // At the design size the control is 535 x 317 with its 2-pixel sunken border inside.
  EXPECT_EQ(image().size(), QSize(535, 317));
  EXPECT_EQ(image().contentsRect(), QRect(2, 2, 531, 313));
}

TEST_F(Photo, HeaderedAndPlainBitmapsShowAndAreFittedToTheInnerArea) {
  const QByteArray bmp = encoded(solid(100, 50, Qt::blue), "BMP");
  addPiece(withHeader(bmp, static_cast<quint32>(bmp.size())));
  showPage();
  ASSERT_TRUE(image().hasPicture());
  EXPECT_EQ(image().picture().size(), QSize(100, 50));
  EXPECT_TRUE(errors.isEmpty());
  // Centred in the 531 x 313 inside the border.
  EXPECT_EQ(image().fittingRect(), QRect(2 + 215, 2 + 131, 100, 50));
  const QImage shot = image().grab().toImage();
  EXPECT_EQ(shot.pixelColor(2 + 215 + 50, 2 + 131 + 25), QColor(Qt::blue));
  EXPECT_EQ(shot.pixelColor(10, 10), image().palette().color(QPalette::Base));

  addPiece(encoded(solid(2000, 500, Qt::green), "BMP"));
  QApplication::processEvents();
  EXPECT_EQ(image().fittingRect().size(), QSize(531, 133));  // 531 / 2000 x 500 = 132.75
}

TEST_F(Photo, BytesThatAreNoBitmapAreRefusedWithTheErrorBox) {
  struct Case {
    const char* what;
    QByteArray bytes;
  } cases[] = {
      {"a PNG file", encoded(solid(10, 10, Qt::red), "PNG")},
      {"garbage", QByteArray("not a picture at all")},
      {"a cut-off bitmap", encoded(solid(10, 10, Qt::red), "BMP").left(20)},
      {"a header whose size does not match",
       withHeader(encoded(solid(10, 10, Qt::red), "BMP"), 3)},
  };
  showPage();
  for (const Case& k : cases) {
    errors.clear();
    addPiece(k.bytes);
    QApplication::processEvents();
    EXPECT_EQ(errors, QStringList{"Bitmap image is not valid."}) << k.what;
    EXPECT_FALSE(image().hasPicture()) << k.what;
  }
  // A record without a photo is the whole control in the background colour, no message.
  errors.clear();
  addPiece({});
  QApplication::processEvents();
  EXPECT_TRUE(errors.isEmpty());
  EXPECT_FALSE(image().hasPicture());
  EXPECT_EQ(image().fittingRect(), image().contentsRect());
  const QImage shot = image().grab().toImage();
  const QColor bg = image().palette().color(QPalette::Base);
  for (QPoint p : {QPoint(3, 3), QPoint(267, 158), QPoint(530, 312)}) EXPECT_EQ(shot.pixelColor(p), bg);
}

TEST_F(Photo, PasteStoresABitmapFileOfTheClipboardsImage) {
  addPiece({});
  showPage();
  QGuiApplication::clipboard()->setImage(solid(40, 30, QColor(10, 200, 30)));
  click("btnPaste");
  EXPECT_EQ(state(), DatasetState::Edit);
  EXPECT_EQ(image().picture().size(), QSize(40, 30));
  b->tbInven().post();
  const QByteArray bytes = stored();
  ASSERT_TRUE(bytes.startsWith("BM"));
  // The file's own size field holds the whole file: nothing before or after it.
  EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 2), static_cast<quint32>(bytes.size()));
  QImage back = QImage::fromData(bytes, "BMP");
  EXPECT_EQ(back.size(), QSize(40, 30));
  EXPECT_EQ(back.pixelColor(5, 5), QColor(10, 200, 30));
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Photo, PastingAnImageWithAlphaOrAnotherFormatStillStoresABitmap) {
  addPiece({});
  showPage();
  QImage translucent(8, 8, QImage::Format_ARGB32);
  translucent.fill(QColor(255, 0, 0, 128));
  QGuiApplication::clipboard()->setImage(translucent);
  click("btnPaste");
  b->tbInven().post();
  ASSERT_TRUE(stored().startsWith("BM"));
  EXPECT_FALSE(QImage::fromData(stored(), "BMP").isNull());
}

TEST_F(Photo, PasteWithoutABitmapChangesNothingButStillEdits) {
  const QByteArray bmp = encoded(solid(20, 20, Qt::red), "BMP");
  addPiece(bmp);
  showPage();
  QGuiApplication::clipboard()->setText(QStringLiteral("just text"));
  click("btnPaste");
  EXPECT_TRUE(errors.isEmpty());
  EXPECT_EQ(state(), DatasetState::Edit);  // the data source step runs first
  EXPECT_FALSE(image().modified());
  b->tbInven().post();
  EXPECT_EQ(stored(), bmp);
}

TEST_F(Photo, CutThenPostEmptiesTheFieldAndLeavesThePictureOnTheClipboard) {
  addPiece(encoded(solid(30, 20, Qt::yellow), "BMP"));
  showPage();
  click("bntCut");
  EXPECT_FALSE(image().hasPicture());
  const QImage clip = QGuiApplication::clipboard()->image();
  EXPECT_EQ(clip.size(), QSize(30, 20));
  EXPECT_EQ(clip.pixelColor(1, 1), QColor(Qt::yellow));
  b->tbInven().post();
  EXPECT_FALSE(b->tbInven().field("I_Photo").hasValue());
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Photo, ARecordThatCannotBeEditedKeepsItsPictureAndTheRefusalIsShown) {
  const QByteArray bmp = encoded(solid(20, 10, Qt::red), "BMP");
  addPiece(bmp);
  showPage();
  // Another program deletes the record shown.
  {
    auto engine = c.otherEngine();
    rf::tables::OpenRequest r;
    r.name = "Inven.DB";
    auto t = engine->open(r);
    auto cur = t->openCursor();
    ASSERT_TRUE(cur->first());
    t->remove(cur->bookmark());
  }
  QGuiApplication::clipboard()->setImage(solid(70, 70, Qt::blue));
  click("btnPaste");
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].contains("deleted")) << errors[0].toStdString();
  EXPECT_NE(state(), DatasetState::Edit);
  EXPECT_FALSE(image().modified());
  EXPECT_NE(image().picture().size(), QSize(70, 70));
}

TEST_F(Photo, CopyLeavesTheRecordAlone) {
  const QByteArray bmp = encoded(solid(12, 34, Qt::cyan), "BMP");
  addPiece(bmp);
  showPage();
  click("btnCopy");
  EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(12, 34));
  EXPECT_EQ(state(), DatasetState::Browse);
  EXPECT_EQ(stored(), bmp);
}

TEST_F(Photo, KeysCutCopyAndPasteWhileThePictureHasTheFocus) {
  addPiece(encoded(solid(16, 16, Qt::magenta), "BMP"));
  showPage();
  image().setFocus();
  QTest::keyClick(&image(), Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(16, 16));
  EXPECT_EQ(state(), DatasetState::Browse);
  QTest::keyClick(&image(), Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_FALSE(image().hasPicture());
  EXPECT_EQ(state(), DatasetState::Edit);
  QGuiApplication::clipboard()->setImage(solid(50, 60, Qt::darkGreen));
  QTest::keyClick(&image(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(image().picture().size(), QSize(50, 60));
  QTest::keyClick(&image(), Qt::Key_X, Qt::ControlModifier);
  EXPECT_FALSE(image().hasPicture());
  QTest::keyClick(&image(), Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(image().picture().size(), QSize(50, 60));
  b->tbInven().post();
  EXPECT_EQ(QImage::fromData(stored(), "BMP").size(), QSize(50, 60));
}

TEST_F(Photo, EscapeDropsAPasteNotYetWritten) {
  const QByteArray bmp = encoded(solid(20, 10, Qt::red), "BMP");
  addPiece(bmp);
  showPage();
  image().setFocus();
  QGuiApplication::clipboard()->setImage(solid(70, 70, Qt::blue));
  QTest::keyClick(&image(), Qt::Key_V, Qt::ControlModifier);
  ASSERT_EQ(image().picture().size(), QSize(70, 70));
  QTest::keyClick(&image(), Qt::Key_Escape);
  EXPECT_FALSE(image().modified());
  EXPECT_EQ(image().picture().size(), QSize(20, 10));
  b->tbInven().post();
  EXPECT_EQ(stored(), bmp);
}

TEST_F(Photo, LeavingTheControlWritesTheChangeAndCancelDropsIt) {
  const QByteArray bmp = encoded(solid(20, 10, Qt::red), "BMP");
  addPiece(bmp);
  showPage();
  image().setFocus();
  QGuiApplication::clipboard()->setImage(solid(70, 70, Qt::blue));
  QTest::keyClick(&image(), Qt::Key_V, Qt::ControlModifier);
  image().clearFocus();
  EXPECT_FALSE(image().modified());
  EXPECT_EQ(QImage::fromData(stored(), "BMP").size(), QSize(70, 70));  // in the record buffer
  b->tbInven().cancel();
  EXPECT_EQ(image().picture().size(), QSize(20, 10));
  EXPECT_EQ(stored(), bmp);
}

TEST_F(Photo, MovingReloadsThePictureReadingTheFieldOncePerRecord) {
  addPiece(encoded(solid(10, 10, Qt::red), "BMP"));
  addPiece({});
  addPiece(encoded(solid(30, 30, Qt::blue), "BMP"));
  auto& inv = b->tbInven();
  showPage();
  inv.first();
  QApplication::processEvents();
  const QSize first = image().picture().size();
  const int before = image().reads();
  // Each move notifies the control more than once; it reads the field once.
  std::vector<QSize> seen;
  while (inv.next()) {
    QApplication::processEvents();
    seen.push_back(image().hasPicture() ? image().picture().size() : QSize());
  }
  EXPECT_EQ(first, QSize(10, 10));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], QSize());
  EXPECT_EQ(seen[1], QSize(30, 30));
  EXPECT_EQ(image().reads() - before, 1);  // the empty record has nothing to read

  // Hidden, the control does not read at each move, and shows the right picture when shown.
  page->hide();
  const int hidden = image().reads();
  inv.first();
  inv.next();
  inv.last();
  QApplication::processEvents();
  EXPECT_EQ(image().reads(), hidden);
  showPage();
  EXPECT_EQ(image().picture().size(), QSize(30, 30));
}

TEST_F(Photo, LoadAndSaveThroughFiles) {
  addPiece({});
  showPage();
  rf::test::TempDir dir;
  const QString png = QString::fromStdString(dir.path() + "/engine.png");
  ASSERT_TRUE(solid(64, 48, QColor(200, 100, 0)).save(png, "PNG"));
  EXPECT_TRUE(page->loadPhoto(png));
  b->tbInven().post();
  ASSERT_TRUE(stored().startsWith("BM"));  // any format read, a bitmap stored
  EXPECT_EQ(QImage::fromData(stored(), "BMP").size(), QSize(64, 48));

  const QString out = QString::fromStdString(dir.path() + "/out.bmp");
  EXPECT_TRUE(page->savePhoto(out));
  QImage saved(out);
  EXPECT_EQ(saved.size(), QSize(64, 48));
  EXPECT_EQ(saved.pixelColor(3, 3), QColor(200, 100, 0));
  EXPECT_TRUE(errors.isEmpty());

  EXPECT_FALSE(page->loadPhoto(QString::fromStdString(dir.path() + "/missing.png")));
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].contains("missing.png")) << errors[0].toStdString();
}

TEST_F(Photo, AnImageFileDroppedOnThePictureIsTakenAsAPaste) {
  addPiece({});
  showPage();
  rf::test::TempDir dir;
  const QString jpg = QString::fromStdString(dir.file("caboose.jpg"));
  ASSERT_TRUE(solid(90, 45, Qt::red).save(jpg, "JPG"));
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(jpg)});
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&image(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&image(), &drop);
  EXPECT_EQ(state(), DatasetState::Edit);
  EXPECT_EQ(image().picture().size(), QSize(90, 45));
  b->tbInven().post();
  EXPECT_TRUE(stored().startsWith("BM"));
  EXPECT_TRUE(errors.isEmpty());
}

}  // namespace
