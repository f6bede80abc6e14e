#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QWidget>

#include "text/regex_error_display.h"
#include "ui/regex_error_view.h"
#include "ui_test_main.h"

namespace tallowin::testing {
namespace {

TEST(RegexErrorViewTest, MarkAndFieldColourFollowTheDisplay) {
  TestApplication();
  CaptureSettings settings;
  RegexErrorDisplay display;
  display.AttachTo(settings);
  QWidget section;
  auto* search = new QPlainTextEdit(&section);
  auto* searchMark = new QLabel(QStringLiteral("RegEx"), &section);
  auto* replacement = new QPlainTextEdit(&section);
  auto* replacementMark = new QLabel(QStringLiteral("RegEx"), &section);
  RegexErrorView view(display, search, searchMark, replacement, replacementMark);
  section.show();
  const QColor dark(127, 28, 23);
  const QColor normal = replacement->palette().color(QPalette::Text);

  EXPECT_TRUE(searchMark->isHidden());
  EXPECT_TRUE(searchMark->font().bold());
  EXPECT_EQ(searchMark->palette().color(QPalette::WindowText), dark);

  settings.SetText(Setting::act_ers_text_suchen, u"a(");
  display.RegExFehlerInMemoMarkieren(u"missing )");
  EXPECT_FALSE(searchMark->isHidden());
  EXPECT_EQ(searchMark->text(), QStringLiteral("missing )"));
  EXPECT_EQ(searchMark->toolTip(), QStringLiteral("missing )"));
  EXPECT_EQ(search->palette().color(QPalette::Text), dark);
  EXPECT_TRUE(replacementMark->isHidden());
  EXPECT_EQ(replacement->palette().color(QPalette::Text), normal);

  settings.SetText(Setting::act_textadd_vorne, u"x");
  EXPECT_TRUE(searchMark->isHidden());
  EXPECT_EQ(search->palette().color(QPalette::Text), normal);
}

// A message longer than the mark's width is cut visibly ("…") and kept whole
// in the text, the tool tip and the accessible name.
TEST(RegexErrorViewTest, ALongMessageIsElidedAndKeptWhole) {
  TestApplication();
  ElidingLabel mark;
  mark.setText(QStringLiteral("Fehlende Klammer ()"));
  mark.resize(mark.fontMetrics().horizontalAdvance(QStringLiteral("Fehlende Kla")), 20);
  EXPECT_TRUE(mark.ShownText().endsWith(QChar(0x2026))) << mark.ShownText().toStdString();
  EXPECT_EQ(mark.text(), QStringLiteral("Fehlende Klammer ()"));
  mark.resize(400, 20);
  EXPECT_EQ(mark.ShownText(), QStringLiteral("Fehlende Klammer ()"));
}

}  // namespace
}  // namespace tallowin::testing
