#include "text/regex_replace.h"

#include <utility>

namespace tallowin {
namespace {

// The matcher's resource guards stop a search part way through. A text replaced
// only up to that point would be worse than an untouched one, so such a call
// leaves its text as it was (the error is still shown).
bool SearchWasCutShort(const RegexErrorReport& report) {
  return !report.success &&
         (report.code == kRegexStepBudgetExhausted || report.code == kRegexBacktrackMemoryExhausted);
}

}  // namespace

RegexReplace::RegexReplace(RegexContext& context, ErrorSink errorSink)
    : context_(context), errorSink_(std::move(errorSink)) {}

std::u16string RegexReplace::RegexReplaceLiteral(std::u16string_view text, std::u16string_view expression,
                                                 std::u16string_view replacement) {
  if (expression == u"[") return std::u16string(text);
  return ReplaceAll(text, expression, replacement, Insert::Literal);
}

std::u16string RegexReplace::RegexReplaceTemplate(std::u16string_view text, std::u16string_view expression,
                                                  std::u16string_view templ) {
  if (!expression.empty() && expression.back() == u'[') return std::u16string(text);
  return ReplaceAll(text, expression, templ, Insert::Template);
}

std::u16string RegexReplace::ReplaceAll(std::u16string_view text, std::u16string_view expression,
                                        std::u16string_view replacement, Insert insert) {
  context_.errorReport.success = true;
  std::u16string result;
  {
    RegexEngine engine(context_);
    engine.SetPatternText(expression);
    result.reserve(text.size());
    // `copied` is the 0-based end of the text already in the result.
    std::size_t copied = 0;
    for (bool found = engine.SearchFirstInPlace(text); found; found = engine.SearchNext()) {
      const int position = engine.GroupPosition(0);
      const int length = engine.GroupLength(0);
      if (position < 1 || length < 0) break;
      const std::size_t start = static_cast<std::size_t>(position - 1);
      if (start < copied || start + static_cast<std::size_t>(length) > text.size()) break;
      result.append(text.substr(copied, start - copied));
      if (insert == Insert::Template) {
        result += engine.ExpandTemplate(replacement);
      } else {
        result.append(replacement);
      }
      copied = start + static_cast<std::size_t>(length);
    }
    result.append(text.substr(copied));
  }
  const RegexErrorReport& report = context_.errorReport;
  if (!report.success) {
    if (errorSink_) errorSink_(report.message);
    if (SearchWasCutShort(report)) return std::u16string(text);
  }
  return result;
}

}  // namespace tallowin
