#include "text/search_replace.h"

#include "text/replace_all.h"

namespace tallowin {
namespace {

std::u16string ReplacePlain(std::u16string_view text, std::u16string_view search, std::u16string_view replacement,
                            CaseMode caseMode) {
  return caseMode == CaseMode::Sensitive ? ReplaceAllExact(text, search, replacement)
                                         : ReplaceAllIgnoreCase(text, search, replacement);
}

}  // namespace

std::u16string ReplaceSinglePair(std::u16string_view text, std::u16string_view search,
                                 std::u16string_view replacement, SearchMode searchMode,
                                 ReplacementMode replacementMode, CaseMode caseMode, RegexReplacer* regex) {
  if (searchMode == SearchMode::Plain) return ReplacePlain(text, search, replacement, caseMode);
  if (!regex) return std::u16string(text);
  return replacementMode == ReplacementMode::Template ? regex->RegexReplaceTemplate(text, search, replacement)
                                                      : regex->RegexReplaceLiteral(text, search, replacement);
}

std::u16string ReplaceTableRow(std::u16string_view text, const ReplacementRow& row, CaseMode caseMode,
                               RegexReplacer* regex) {
  if (row.marker == u"x/-") {
    return regex ? regex->RegexReplaceLiteral(text, row.search, row.replacement) : std::u16string(text);
  }
  if (row.marker == u"x") {
    return regex ? regex->RegexReplaceTemplate(text, row.search, row.replacement) : std::u16string(text);
  }
  return ReplacePlain(text, row.search, row.replacement, caseMode);
}

}  // namespace tallowin
