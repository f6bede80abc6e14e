#pragma once
// The replacements ReplaceTextStep applies: the single pair of fields and the
// rows of the replacement table, each in one of four modes.

#include <string>
#include <string_view>
#include <vector>

namespace tallowin {

// The expression modes, supplied by the expression engine's owner. While no
// engine is attached, expression pairs and rows leave the text unchanged.
class RegexReplacer {
 public:
  virtual ~RegexReplacer() = default;
  virtual std::u16string RegexReplaceLiteral(std::u16string_view text, std::u16string_view expression,
                                             std::u16string_view replacement) = 0;
  virtual std::u16string RegexReplaceTemplate(std::u16string_view text, std::u16string_view expression,
                                              std::u16string_view templ) = 0;
};

enum class SearchMode { Plain, Expression };
enum class ReplacementMode { Literal, Template };
enum class CaseMode { Sensitive, Insensitive };

// One row of the replacement table: search text, replacement and expression
// marker ("-", "x/-", "-/x" or "x").
struct ReplacementRow {
  std::u16string search;
  std::u16string replacement;
  std::u16string marker;
};

std::u16string ReplaceSinglePair(std::u16string_view text, std::u16string_view search,
                                 std::u16string_view replacement, SearchMode searchMode,
                                 ReplacementMode replacementMode, CaseMode caseMode, RegexReplacer* regex);

std::u16string ReplaceTableRow(std::u16string_view text, const ReplacementRow& row, CaseMode caseMode,
                               RegexReplacer* regex);

}  // namespace tallowin
