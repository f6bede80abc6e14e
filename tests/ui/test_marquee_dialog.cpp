#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "ui/marquee_dialog.h"
#include "ui_test_main.h"

namespace tallowin::testing {
namespace {

RasterImage Picture() {
  RasterImage r = CreateRaster(60, 40);
  for (std::size_t i = 0; i < r.pixels.size(); ++i) r.pixels[i] = static_cast<std::uint8_t>(i * 13 + 5);
  for (std::size_t i = 3; i < r.pixels.size(); i += 4) r.pixels[i] = 255;
  return r;
}

class MarqueeDialogTest : public ::testing::Test {
 protected:
  // Runs the dialog modally for `picture`; `script` runs inside its loop and must close it.
  std::optional<MarginTexts> Run(const RasterImage& picture, std::function<void()> script) {
    QTimer::singleShot(0, &dialog, [script] { script(); });
    return dialog.ChooseCutout(picture);
  }
  QWidget* Bild() { return dialog.findChild<QWidget*>("bild"); }
  QRgb Shown(int x, int y) { return Bild()->grab().toImage().pixel(x, y) & 0xFFFFFFu; }
  static QRgb Source(const RasterImage& r, int x, int y) {
    const std::uint8_t* p = &r.pixels[(static_cast<std::size_t>(y) * r.width + x) * 4];
    return static_cast<QRgb>(p[0] | (p[1] << 8) | (p[2] << 16));
  }
  void Drag(QPoint from, QPoint to) {
    QTest::mousePress(Bild(), Qt::LeftButton, {}, from);
    QTest::mouseMove(Bild(), (from + to) / 2);
    QTest::mouseMove(Bild(), to);
    QTest::mouseRelease(Bild(), Qt::LeftButton, {}, to);
  }
  void Click(const char* button) { dialog.findChild<QPushButton*>(button)->click(); }

  QApplication& app = TestApplication();  // before any widget
  MarqueeCutDialog dialog{Language::English};
};

TEST_F(MarqueeDialogTest, DragDrawsAnXorOutlineAndOkHandsBackTheMargins) {
  const RasterImage picture = Picture();
  bool checked = false;
  const auto margins = Run(picture, [&] {
    Drag({30, 25}, {10, 5});
    // The outline inverts the picture's pixels; inside and outside are untouched.
    EXPECT_EQ(Shown(10, 5), Source(picture, 10, 5) ^ 0xFFFFFFu);
    EXPECT_EQ(Shown(29, 24), Source(picture, 29, 24) ^ 0xFFFFFFu);
    EXPECT_EQ(Shown(20, 15), Source(picture, 20, 15));
    EXPECT_EQ(Shown(40, 30), Source(picture, 40, 30));
    EXPECT_EQ(dialog.windowTitle(), "10:5 0:0 0:40");
    // A margin that is one of the items is the current item, one that is not leaves none.
    auto* left = dialog.findChild<QComboBox*>("act_zuschlinks");
    EXPECT_EQ(left->currentIndex(), left->findText("10"));
    EXPECT_EQ(dialog.findChild<QComboBox*>("act_zuschrechts")->currentIndex(), -1);
    EXPECT_EQ(dialog.findChild<QComboBox*>("act_zuschrechts")->currentText(), "30");
    checked = true;
    Click("Button1");
  });
  EXPECT_TRUE(checked);
  ASSERT_TRUE(margins);
  EXPECT_EQ(*margins, (MarginTexts{u"10", u"30", u"5", u"15"}));
}

TEST_F(MarqueeDialogTest, TypedMarginsMoveTheOutlineAndRestoreTheOldPlace) {
  const RasterImage picture = Picture();
  const auto margins = Run(picture, [&] {
    Drag({10, 5}, {30, 25});
    dialog.findChild<QComboBox*>("act_zuschlinks")->setEditText("2");
    EXPECT_EQ(Shown(10, 15), Source(picture, 10, 15)) << "the old left edge is erased";
    EXPECT_EQ(Shown(2, 15), Source(picture, 2, 15) ^ 0xFFFFFFu);
    dialog.findChild<QComboBox*>("act_zuschunten")->setEditText("abc");  // not a number: nothing moves
    EXPECT_EQ(Shown(2, 15), Source(picture, 2, 15) ^ 0xFFFFFFu);
    Click("Button1");
  });
  ASSERT_TRUE(margins);
  EXPECT_EQ(*margins, (MarginTexts{u"2", u"30", u"5", u"abc"}));
}

// Enter takes OK: typed into a margin box (its text is what counts) and with
// the picture focused after a drag.
TEST_F(MarqueeDialogTest, EnterKeyTakesOk) {
  const RasterImage picture = Picture();
  auto margins = Run(picture, [&] {
    Drag({10, 5}, {30, 25});
    QComboBox* left = dialog.findChild<QComboBox*>("act_zuschlinks");
    left->setFocus();
    left->lineEdit()->selectAll();
    QTest::keyClicks(left->lineEdit(), "7");
    QTest::keyClick(left->lineEdit(), Qt::Key_Return);
  });
  ASSERT_TRUE(margins);
  EXPECT_EQ(*margins, (MarginTexts{u"7", u"30", u"5", u"15"}));

  bool accepted = false;
  QObject::connect(&dialog, &QDialog::accepted, [&] { accepted = true; });
  margins = Run(picture, [&] {
    Drag({20, 10}, {40, 30});
    QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_Enter);
  });
  EXPECT_TRUE(accepted);
  ASSERT_TRUE(margins);
  EXPECT_EQ(*margins, (MarginTexts{u"20", u"20", u"10", u"10"}));
}

TEST_F(MarqueeDialogTest, CancelZeroesTheMarginsAndTheNextPictureShowsTheLastRectangle) {
  const RasterImage picture = Picture();
  auto margins = Run(picture, [&] {
    Drag({10, 5}, {30, 25});
    Click("Abbrechen");
  });
  ASSERT_TRUE(margins);
  EXPECT_EQ(*margins, (MarginTexts{u"0", u"0", u"0", u"0"}));

  margins = Run(picture, [&] {
    EXPECT_EQ(Shown(10, 5), Source(picture, 10, 5) ^ 0xFFFFFFu) << "drawn once on the new picture";
    EXPECT_EQ(Shown(20, 15), Source(picture, 20, 15));
    dialog.close();  // the close box applies what the boxes show
  });
  ASSERT_TRUE(margins);
  EXPECT_EQ(*margins, (MarginTexts{u"0", u"0", u"0", u"0"}));
}

// Escape is Cancel (margins "0"), not the close box (which applies the boxes).
TEST_F(MarqueeDialogTest, EscapeCancels) {
  const RasterImage picture = Picture();
  auto margins = Run(picture, [&] {
    Drag({10, 5}, {30, 25});
    QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_Escape);
  });
  ASSERT_TRUE(margins);
  EXPECT_EQ(*margins, (MarginTexts{u"0", u"0", u"0", u"0"}));

  // Also from a margin box being typed into.
  margins = Run(picture, [&] {
    QComboBox* top = dialog.findChild<QComboBox*>("act_zuschoben");
    top->setFocus();
    QTest::keyClicks(top->lineEdit(), "12");
    QTest::keyClick(top->lineEdit(), Qt::Key_Escape);
  });
  ASSERT_TRUE(margins);
  EXPECT_EQ(*margins, (MarginTexts{u"0", u"0", u"0", u"0"}));
}

// A newer picture shown while the dialog is open takes it over: the newer
// picture with the rectangle as it stands, and the choice made then is handed
// to both waiting calls.
TEST_F(MarqueeDialogTest, NewerPictureTakesTheOpenDialogOver) {
  const RasterImage older = Picture();
  RasterImage newer = CreateRaster(80, 50);
  for (std::size_t i = 0; i < newer.pixels.size(); ++i) newer.pixels[i] = static_cast<std::uint8_t>(i * 7 + 1);
  std::optional<MarginTexts> nested;
  const auto outer = Run(older, [&] {
    Drag({10, 5}, {30, 25});
    QTimer::singleShot(0, &dialog, [&] {
      EXPECT_TRUE(dialog.isVisible());
      EXPECT_EQ(Bild()->size(), QSize(80, 50));
      EXPECT_EQ(Shown(10, 5), Source(newer, 10, 5) ^ 0xFFFFFFu) << "the last rectangle, drawn on the newer picture";
      EXPECT_EQ(Shown(20, 15), Source(newer, 20, 15));
      Drag({70, 45}, {50, 40});
      Click("Button1");
    });
    nested = dialog.ChooseCutout(newer);
  });
  ASSERT_TRUE(nested);
  EXPECT_EQ(*nested, (MarginTexts{u"50", u"10", u"40", u"5"}));
  ASSERT_TRUE(outer);
  EXPECT_EQ(*outer, *nested);
  EXPECT_FALSE(dialog.isVisible());
}

// Withdrawn (its picture left the clipboard): no choice for any waiting call,
// the margins kept for the next use.
TEST_F(MarqueeDialogTest, WithdrawnDialogHandsBackNoChoice) {
  std::optional<MarginTexts> nested = MarginTexts{};
  const auto outer = Run(Picture(), [&] {
    Drag({10, 5}, {30, 25});
    QTimer::singleShot(0, &dialog, [&] { dialog.Withdraw(); });
    nested = dialog.ChooseCutout(Picture());
  });
  EXPECT_FALSE(nested);
  EXPECT_FALSE(outer);
  EXPECT_FALSE(dialog.isVisible());
  const auto next = Run(Picture(), [&] { Click("Button1"); });
  ASSERT_TRUE(next);
  EXPECT_EQ(*next, (MarginTexts{u"10", u"30", u"5", u"15"}));
}

TEST_F(MarqueeDialogTest, TextsFollowTheLanguage) {
  dialog.Sprache(Language::German);
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("W\u00e4hlen Sie einen Auschnitt des Bildes mit Ihrer Maus"));
  EXPECT_EQ(dialog.findChild<QPushButton*>("Abbrechen")->text(), "Abbrechen");
  EXPECT_EQ(dialog.findChild<QPushButton*>("Button1")->text(), "OK");
  dialog.Sprache(Language::English);
  EXPECT_EQ(dialog.windowTitle(), "Choose the Cutout with your Mouse");
  EXPECT_EQ(dialog.findChild<QPushButton*>("Abbrechen")->text(), "Cancel");
}

}  // namespace
}  // namespace tallowin::testing
