// The details list as a processed change fills it: one row per format with its
// name, number and value.

#include <regex>

#include "base/errors.h"
#include "app/pipeline_fixture.h"

namespace tallowin::testing {
namespace {

using DetailsRowsTest = PipelineTest;

// The names the clipboard tests leave out; together they cover the whole table.
TEST_F(DetailsRowsTest, PredefinedFormatsAreListedByTheirNamesInTheClipboardsOrder) {
  const std::vector<std::pair<FormatNumber, std::u16string>> table = {
      {3, u"METAFILEPICT"}, {4, u"SYLK"},        {5, u"DIF"},          {6, u"TIFF"},     {7, u"OEMTEXT"},
      {8, u"DIB"},          {9, u"PALETTE"},     {10, u"PENDATA"},     {11, u"RIFF"},    {12, u"WAVE"},
      {14, u"ENHMETAFILE"}, {15, u"HDROP"},      {129, u"DSPTEXT"},    {130, u"DSPBITMAP"}};
  std::vector<MemoryClipboard::Block> blocks;
  for (auto it = table.rbegin(); it != table.rend(); ++it) blocks.push_back({it->first, "x"});
  clipboard.PlaceFromOtherProgram(blocks);

  ASSERT_EQ(details.Rows().size(), table.size());
  for (std::size_t i = 0; i < table.size(); ++i) {
    const DetailsRow& row = details.Rows()[table.size() - 1 - i];
    EXPECT_EQ(row.number, table[i].first);
    EXPECT_EQ(row.format, table[i].second) << table[i].first;
  }
}

TEST_F(DetailsRowsTest, TheLocaleRowShowsItsFourBytesAsCharacters) {
  clipboard.PlaceFromOtherProgram({{16, std::string("\x07\x04\0\0", 4)}});
  ASSERT_EQ(details.Rows().size(), 1u);
  EXPECT_EQ(details.Rows()[0].value, std::u16string(u"\x07\x04\0\0", 4));
}

TEST_F(DetailsRowsTest, RegisteredNamesAreCutTo255Characters) {
  const FormatNumber f = clipboard.RegisterFormat(std::string(300, 'n'));
  clipboard.PlaceFromOtherProgram({{f, "v"}});
  ASSERT_EQ(details.Rows().size(), 1u);
  EXPECT_EQ(details.Rows()[0].format, std::u16string(255, u'n'));
}

TEST_F(DetailsRowsTest, Format49159IsReadAsUtf16WhateverItsNameAndItsNeighbourAsBytes) {
  FormatNumber f = 0;
  for (int i = 0; f != 49160; ++i) f = clipboard.RegisterFormat("format " + std::to_string(i));
  const std::string bytes = UnicodeTextBlock(u"wide") + "tail";
  clipboard.PlaceFromOtherProgram({{49159, bytes}, {49160, bytes}});

  ASSERT_EQ(details.Rows().size(), 2u);
  EXPECT_EQ(details.Rows()[0].value, u"wide");
  EXPECT_EQ(details.Rows()[1].value, std::u16string(u"w\0i\0d\0e\0\0\0tail", 14));
}

TEST_F(DetailsRowsTest, TheWholeBlockIsRenderedHoweverLong) {
  std::string block(200000, 'a');
  block[100] = '\0';
  block.back() = '\xE4';
  const FormatNumber f = clipboard.RegisterFormat("big");
  clipboard.PlaceFromOtherProgram({{f, block}});

  ASSERT_EQ(details.Rows().size(), 1u);
  const std::u16string& value = details.Rows()[0].value.Text();
  ASSERT_EQ(value.size(), block.size());
  EXPECT_EQ(value[100], u'\0');
  EXPECT_EQ(value.back(), u'ä');
}

// Either form of the system's error report, as the failed name lookup gives it.
TEST_F(DetailsRowsTest, AnUnnamedNumberEndsThePassAndKeepsTheRowsListedSoFar) {
  try {
    clipboard.PlaceFromOtherProgram(
        {{kFormatText, std::string("t\0", 2)}, {300, "x"}, {kFormatUnicodeText, UnicodeTextBlock(u"t")}});
    FAIL() << "expected the name lookup to fail";
  } catch (const TallowinError& e) {
    const std::regex report(R"(System Error\.  Code: \d+\.\r\n.+|A call to an OS function failed)");
    EXPECT_TRUE(std::regex_match(std::string(e.what()), report)) << e.what();
  }
  ASSERT_EQ(details.Rows().size(), 1u);
  EXPECT_EQ(details.Rows()[0].format, u"TEXT");
  EXPECT_TRUE(history.Entries().empty());  // the pass ended before the content views
}

}  // namespace
}  // namespace tallowin::testing
