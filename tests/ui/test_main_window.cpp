#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QSplitter>
#include <QTreeView>
#include <QTreeWidget>

#include "lang/ui_texts.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/start_form.h"
#include "ui_test_main.h"

namespace tallowin::testing {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() : start(Language::English) {
    MainWindowOptions options;
    options.programFolder = u"/nonexistent-test-folder/";
    window = std::make_unique<MainWindow>(options, &start);
  }
  template <class W>
  W* Find(const char* name) {
    W* w = window->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QApplication& app = TestApplication();
  StartForm start;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, SectionsStackWithOnlyTheClickedBodyOpen) {
  window->show();
  QApplication::processEvents();
  QWidget* headers[6];
  const char* names[6] = {"pa001a", "pa002a", "pa003a", "pa004a", "pa005a", "pa006a"};
  for (int i = 0; i < 6; ++i) headers[i] = Find<QWidget>(names[i]);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(headers[i]->y(), 22 * i) << names[i] << " " << headers[i]->metaObject()->className() << " " << headers[i]->parentWidget()->objectName().toStdString();

  Find<QCheckBox>("cb_textadd")->click();
  QApplication::processEvents();
  EXPECT_TRUE(Find<QWidget>("pa002b")->isVisible());
  EXPECT_EQ(Find<QWidget>("pa002b")->height(), 129);
  EXPECT_EQ(headers[2]->y(), 2 * 22 + 129);
  EXPECT_TRUE(window->Core().settings.Flag(Setting::cb_textadd));

  Find<QCheckBox>("cb_suchenersetzen")->click();
  QApplication::processEvents();
  EXPECT_FALSE(Find<QWidget>("pa002b")->isVisible());
  EXPECT_TRUE(Find<QWidget>("pa001b")->isVisible());
  EXPECT_EQ(headers[1]->y(), 22 + 171);
}

TEST_F(MainWindowTest, WidgetsFollowSettingsChangedElsewhere) {
  CaptureSettings& s = window->Core().settings;
  s.SetText(Setting::act_textadd_vorne, u"line1\r\nline2");
  EXPECT_EQ(Find<QPlainTextEdit>("act_textadd_vorne")->toPlainText(), QStringLiteral("line1\nline2"));
  Find<QPlainTextEdit>("act_textadd_hinten")->setPlainText(QStringLiteral("a\nb"));
  EXPECT_EQ(s.Text(Setting::act_textadd_hinten), u"a\r\nb");
  s.SetFlag(Setting::cb_history_img, false);
  EXPECT_FALSE(Find<QCheckBox>("cb_history_img")->isChecked());
}

TEST_F(MainWindowTest, TextsAndInitialGeometry) {
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Tallowin - Brannick Media"));
  EXPECT_EQ(Find<QLabel>("Panel7")->text(), QStringLiteral("  History"));
  EXPECT_EQ(Find<QLabel>("Panel9")->text(), QStringLiteral("  Actions"));
  EXPECT_EQ(Find<QLabel>("Panel11")->text(), QStringLiteral("  Clipboard Content"));
  EXPECT_EQ(Find<QCheckBox>("cb_suchenersetzen")->text(), QStringLiteral("Clipboard Text: Search and Replace"));
  EXPECT_EQ(Find<QTreeView>("zuletzt")->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Content"));
  // The program folder became both output folders.
  EXPECT_EQ(window->Core().settings.Text(Setting::savetxt_ordner), u"/nonexistent-test-folder/");
}

TEST_F(MainWindowTest, ResizeRuleSplitsColumnsAndRows) {
  auto* splitter1 = Find<QSplitter>("Splitter1");
  auto* splitter2 = Find<QSplitter>("Splitter2");
  window->show();
  QApplication::processEvents();
  auto sum = [](QSplitter* s) { return s->sizes()[0] + s->sizes()[1]; };
  // Grow the window so that the columns share 755 pixels and the right column's parts 549.
  window->resize(window->width() + 755 - sum(splitter1), window->height() + 549 - sum(splitter2));
  QApplication::processEvents();
  ASSERT_EQ(sum(splitter1), 755);
  ASSERT_EQ(sum(splitter2), 549);
  EXPECT_EQ(splitter1->sizes()[0], 251);
  EXPECT_EQ(splitter2->sizes()[1], 327);
  // A splitter drag holds until the next resize of the window.
  splitter1->setSizes({270, 485});
  EXPECT_EQ(splitter1->sizes()[0], 270);
  window->ApplyResizeRule();
  EXPECT_EQ(splitter1->sizes()[0], 251);
}

TEST_F(MainWindowTest, TypedCharactersAreFilteredPastedOnesAreNot) {
  auto* name = Find<QComboBox>("savetxt_name");
  auto* folder = Find<QLineEdit>("savetxt_ordner");
  auto* margin = Find<QComboBox>("act_zuschlinks");
  name->setEditText(QString());
  QTest::keyClicks(name->lineEdit(), QStringLiteral("a:b*c?d/e"));
  EXPECT_EQ(name->currentText(), QStringLiteral("abcde"));
  folder->clear();
  QTest::keyClicks(folder, QStringLiteral("/data/x\\y|z"));
  EXPECT_EQ(folder->text(), QStringLiteral("/data/xyz"));
  EXPECT_EQ(window->Core().settings.Text(Setting::savetxt_ordner), u"/data/xyz");
  margin->setEditText(QString());
  QTest::keyClicks(margin->lineEdit(), QStringLiteral("1a2-3"));
  EXPECT_EQ(margin->currentText(), QStringLiteral("123"));
  // Text put in any other way is not filtered.
  window->Core().settings.SetText(Setting::act_zuschlinks, u"abc");
  EXPECT_EQ(margin->currentText(), QStringLiteral("abc"));
  QTest::mouseDClick(folder, Qt::LeftButton);
  EXPECT_EQ(folder->selectedText(), QStringLiteral("/data/xyz"));
}

TEST_F(MainWindowTest, F3TogglesCapturing) {
  window->show();
  window->activateWindow();
  QApplication::processEvents();
  EXPECT_TRUE(window->Core().state.captureActive);
  QTest::keyClick(window.get(), Qt::Key_F3);
  EXPECT_FALSE(window->Core().state.captureActive);
  QTest::keyClick(window.get(), Qt::Key_F3);
  EXPECT_TRUE(window->Core().state.captureActive);
}

// The text view lays out what it is given whole, so a long text is given only
// its beginning, with a note under it; a short one is shown exactly, no note.
// The details cell of a long value gets its beginning too.
TEST_F(MainWindowTest, TheTextViewHoldsTheBeginningOfALongTextAndSaysSo) {
  window->Core().state.captureActive = false;  // the start-up pass must not clear what is set here
  window->show();
  ContentViewsModel& views = window->Core().views;
  auto* view = Find<QPlainTextEdit>("display_txt");
  auto* note = Find<QLabel>("display_txt_cut");

  views.ClearText();
  views.AddTextLine(MakeSharedText(u"short\nline"));
  QApplication::processEvents();
  EXPECT_EQ(view->toPlainText(), QStringLiteral("short\nline\n"));
  EXPECT_FALSE(note->isVisible());

  std::u16string text(3'000'000, u'x');
  for (std::size_t i = 0; i < text.size(); i += 97) text[i] = u'a' + static_cast<char16_t>(i % 26);
  views.ClearText();
  views.AddTextLine(MakeSharedText(text));
  QApplication::processEvents();
  EXPECT_EQ(view->toPlainText(), ToQString(text.substr(0, 65536)));
  EXPECT_TRUE(note->isVisible());
  EXPECT_EQ(note->text(), QStringLiteral("The text view shows the first 65,536 of 3,000,002 characters."));

  DetailsModel& details = window->Core().details;
  details.Clear();
  details.Append({u"UNICODETEXT", kFormatUnicodeText, FormatValue::Utf16(MakeSharedText(text))});
  QApplication::processEvents();
  auto* list = Find<QTreeWidget>("liste");
  ASSERT_EQ(list->topLevelItemCount(), 1);
  EXPECT_EQ(list->topLevelItem(0)->text(2), ToQString(text.substr(0, 4096)));

  views.ClearText();
  QApplication::processEvents();
  EXPECT_TRUE(view->toPlainText().isEmpty());
  EXPECT_FALSE(note->isVisible());
}

// The image view shows the raster's pixels (blue, green, red, alpha in memory)
// with their colours, whatever way the pixmap is made from them.
TEST_F(MainWindowTest, TheImageViewShowsTheRastersColours) {
  window->Core().state.captureActive = false;
  window->show();
  RasterImage raster = CreateRaster(3, 2);
  for (std::size_t i = 0; i < raster.pixels.size(); i += 4) {
    raster.pixels[i] = static_cast<std::uint8_t>(10 * i);       // blue
    raster.pixels[i + 1] = static_cast<std::uint8_t>(5 * i + 1);  // green
    raster.pixels[i + 2] = static_cast<std::uint8_t>(200 - i);    // red
    raster.pixels[i + 3] = 255;
  }
  window->Core().views.ShowImage(raster);
  QApplication::processEvents();
  const QImage shown = Find<QLabel>("display_img")->pixmap().toImage();
  ASSERT_EQ(shown.size(), QSize(3, 2));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const std::size_t i = 4 * static_cast<std::size_t>(y * 3 + x);
      EXPECT_EQ(shown.pixel(x, y), qRgba(raster.pixels[i + 2], raster.pixels[i + 1], raster.pixels[i], 255))
          << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace tallowin::testing
