#include <gtest/gtest.h>

#include "config/ini_file.h"

namespace tallowin {
namespace {

std::string Utf16File(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

TEST(IniDocument, ReadsSectionsAndKeysWithoutRegardToCaseAndKeepsBlanksInValues) {
  const IniDocument doc = IniDocument::Parse(
      "; comment\r\nlone=before\r\n[PBCH]\r\ncb_savetxt=1\r\n[ rxed ]\r\n zk_space = $9 \r\nno equals\r\n"
      "zk_word=a=b\r\nzk_word=second\r\n[Last]\nk=v");
  struct Case {
    std::u16string_view section, key;
    std::optional<std::u16string> value;
  };
  const Case cases[] = {
      {u"pbch", u"CB_SAVETXT", u"1"},   {u"RXED", u"zk_space", u" $9 "},  {u"RxEd", u"ZK_WORD", u"a=b"},
      {u"last", u"k", u"v"},            {u"PBCH", u"lone", std::nullopt}, {u"PBCH", u"missing", std::nullopt},
      {u"none", u"k", std::nullopt},    {u"RXED", u"no equals", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(doc.Read(c.section, c.key), c.value) << std::string(c.key.begin(), c.key.end());
  }
  EXPECT_EQ(doc.encoding(), IniDocument::Encoding::Ansi);
}

TEST(IniDocument, WritesInPlaceAppendsKeysToTheirSectionAndSectionsAtTheEnd) {
  IniDocument doc = IniDocument::Parse(Utf16File(u"[A]\r\nx=1\r\nforeign=keep\r\n\r\n[B]\r\ny=2\r\n"));
  doc.Write(u"a", u"X", u"10");    // in place, the file's spelling of the key stays
  doc.Write(u"A", u"z", u"3");     // after the last line of A that is not blank
  doc.Write(u"C", u"w", u"a\nb");  // a new section at the end; a line break cannot split the value
  doc.Write(u"C", u"w", u"4");
  EXPECT_EQ(doc.lines(),
            (std::vector<std::u16string>{u"[A]", u"x=10", u"foreign=keep", u"z=3", u"", u"[B]", u"y=2", u"[C]", u"w=4"}));
  EXPECT_EQ(doc.Serialize(), Utf16File(u"[A]\r\nx=10\r\nforeign=keep\r\nz=3\r\n\r\n[B]\r\ny=2\r\n[C]\r\nw=4\r\n"));
  IniDocument broken;
  broken.Write(u"S", u"k", u"a\r\nb");
  EXPECT_EQ(broken.Read(u"S", u"k"), u"a\v\vb");
}

TEST(IniDocument, KeepsTheEncodingOfTheFile) {
  IniDocument created;  // a new file
  created.Write(u"S", u"k", u"\u00E4\u20AC\u4E2D");
  EXPECT_EQ(created.Serialize(), Utf16File(u"[S]\r\nk=\u00E4\u20AC\u4E2D\r\n"));

  IniDocument ansi = IniDocument::Parse("[S]\r\nk=\xE4\x80\r\n");  // "ä€" in Windows-1252
  EXPECT_EQ(ansi.Read(u"S", u"k"), u"\u00E4\u20AC");
  ansi.Write(u"S", u"k", u"\u00F6\u4E2D");  // a character without a byte becomes "?"
  EXPECT_EQ(ansi.Serialize(), "[S]\r\nk=\xF6?\r\n");

  // A UTF-16 file of odd length loses its last byte, nothing more.
  EXPECT_EQ(IniDocument::Parse(Utf16File(u"[S]\r\nk=v") + "x").Read(u"S", u"k"), u"v");
}

TEST(IniDocument, AReadValueIsCutAtTheLimitWhileTheFileKeepsItWhole) {
  const std::u16string longValue(kIniReadLimit + 10, u'x');
  IniDocument doc;
  doc.Write(u"S", u"k", longValue);
  const std::optional<std::u16string> read = IniDocument::Parse(doc.Serialize()).Read(u"S", u"k");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->size(), kIniReadLimit);
  EXPECT_EQ(doc.lines().back().size(), 2 + longValue.size());
}

}  // namespace
}  // namespace tallowin
