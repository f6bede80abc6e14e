#pragma once
// The two expression modes of search and replace, over the program's own engine.
//
// Each call creates a fresh engine from the context's EngineDefaults (so a change
// of the options takes effect with the next call) and releases it before
// returning. The context's RegexErrorReport is reset before the engine is made and
// read once the search is over; when an error was reported, its message goes to
// the error sink, which shows it beside the field the user edited last.

#include <functional>
#include <string>
#include <string_view>

#include "regex/regex_engine.h"
#include "text/search_replace.h"

namespace tallowin {

class RegexReplace : public RegexReplacer {
 public:
  // Receives the engine's error message; typically RegexErrorDisplay::RegExFehlerInMemoMarkieren.
  using ErrorSink = std::function<void(std::u16string_view message)>;

  // `context` must outlive this object. `errorSink` may be empty (errors are then
  // only left in the report).
  explicit RegexReplace(RegexContext& context, ErrorSink errorSink = {});

  // Every match replaced by `replacement` as typed ("$" and "\" mean nothing).
  // The expression "[" alone leaves the text unchanged without any engine or error.
  std::u16string RegexReplaceLiteral(std::u16string_view text, std::u16string_view expression,
                                     std::u16string_view replacement) override;

  // Every match replaced by the template expanded for it ("$0", "$&", "$n", "${n}",
  // "\c"). An expression whose last unit is "[" leaves the text unchanged without
  // any engine or error.
  std::u16string RegexReplaceTemplate(std::u16string_view text, std::u16string_view expression,
                                      std::u16string_view templ) override;

 private:
  enum class Insert { Literal, Template };
  std::u16string ReplaceAll(std::u16string_view text, std::u16string_view expression,
                            std::u16string_view replacement, Insert insert);

  RegexContext& context_;
  ErrorSink errorSink_;
};

}  // namespace tallowin
