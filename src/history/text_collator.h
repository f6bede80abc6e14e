#pragma once
// Text order by the user's locale, for sorting the history and details lists.
//
// Wraps an ICU collator at secondary strength: letters with accents sort beside
// their base letters as the locale's rules say (German "Ä" with "A", Swedish "Ä"
// after "Z"), and letter case is ignored. Texts are compared through their sort
// keys, made once per row before anything moves.

#include <memory>
#include <string>
#include <string_view>

struct UCollator;

namespace tallowin {

class TextCollator {
 public:
  // A collator for `localeName` in the form of the POSIX locale variables
  // ("de_DE.UTF-8", "sv_SE@euro", "C") or a BCP 47 tag ("de-DE"). The encoding
  // and modifier parts are not part of the collation locale and are dropped;
  // "C", "POSIX" and "" give the root order. A locale ICU does not know falls
  // back to its nearest parent, at worst to the root order.
  explicit TextCollator(std::string_view localeName);
  ~TextCollator();
  TextCollator(const TextCollator&) = delete;
  TextCollator& operator=(const TextCollator&) = delete;

  // The collator for the user's locale: the first non-empty of LC_ALL,
  // LC_COLLATE and LANG.
  static std::shared_ptr<const TextCollator> ForUserLocale();

  // The locale name the variables select: the first non-empty of the three
  // (null or empty means unset), "" when all are unset.
  static std::string UserLocaleName(const char* lcAll, const char* lcCollate, const char* lang);

  // The locale ICU was asked for, after the POSIX parts were dropped ("de_DE").
  const std::string& collationLocale() const { return collationLocale_; }

  // A byte string whose plain byte order (unsigned) is the collation order of
  // the texts; equal keys for texts that differ only in case.
  std::string SortKey(std::u16string_view text) const;

 private:
  struct Closer {
    void operator()(UCollator* collator) const;
  };
  std::string collationLocale_;
  std::unique_ptr<UCollator, Closer> collator_;
};

}  // namespace tallowin
