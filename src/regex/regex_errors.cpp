#include "regex/regex_errors.h"

namespace tallowin {
namespace {

struct ErrorTexts {
  int code;
  const char16_t* english;
  const char16_t* german;
};

constexpr ErrorTexts kTexts[] = {
    {kRegexNoErrors, u"No Errors", u"Keine Fehler"},
    {kRegexNullArgument, u"Null Argument", u"Null Argument"},
    {kRegexTooBig, u"RegExp Too Big", u"RegExp zu lang"},
    {kRegexTooManyGroups, u"Too Many ()", u"Zu viele ()"},
    {kRegexUnmatchedGroup, u"Unmatched ()", u"Fehlende Klammer ()"},
    {kRegexUnmatchedCloseParen, u"Unmatched ()", u"Fehlende Klammer ()"},
    {kRegexJunkOnEnd, u"Junk On End", u"Fehlerhaftes Ende"},
    {kRegexOperandCouldBeEmpty, u"*+ Operand Could Be Empty", u"*+ Operant kann leer sein"},
    {kRegexNestedQuantifier, u"Nested *?+", u"Verschachteltes *?+"},
    {kRegexBadHexDigit, u"Bad Hex Digit", u"Falsche HEX Zahl"},
    {kRegexInvalidRange, u"Invalid [] Range", u"Invalide Menge []"},
    {kRegexClassTrailingBackslash, u"Trailing \\", u"Abschließendes \\"},
    {kRegexNoHexCodeAfterX, u"No Hex Code After \\x", u"Kein HEX Code nach \\x"},
    {kRegexHexCodeTooBig, u"Hex Code After \\x Too Big", u"HEX Code nach \\x zu groß"},
    {kRegexUnmatchedBracket, u"Unmatched []", u"Fehlende Klammer []"},
    {kRegexInternalUrp, u"Internal Urp", u"Internal Urp"},
    {kRegexQuantifierFollowsNothing, u"?+*{ Follows Nothing", u"?+*{ folgt nichts"},
    {kRegexTrailingBackslash, u"Trailing \\", u"Abschließendes \\"},
    {kRegexParseAtomDisaster, u"RarseAtom Internal Disaster", u"RarseAtom Internal Disaster"},
    {kRegexBracesArgTooBig, u"Braces Argument Too Big", u"Quantor {} zu groß"},
    {kRegexBracesMinGreaterMax, u"Brace Min Param Greater then Max",
     u"Min-Quantor größer als Max-Quantor"},
    {kRegexUnclosedComment, u"Unclosed (?#Comment)", u"Ungeschlossener (?#Kommentar)"},
    {kRegexUnrecognizedModifier, u"Urecognized Modifier", u"Unbekannter Modifikator"},
    {kRegexBadPairedSeparator,
     u"LinePairedSeparator must countain two different chars or no chars at all",
     u"LinePairedSeparator muss zwei verschiedene oder kein Char enthalten"},
    {kRegexStepBudgetExhausted,
     u"Expression too complex for this text: search stopped after too many steps",
     u"Ausdruck zu aufwendig f\u00FCr diesen Text: Suche nach zu vielen Schritten abgebrochen"},
    {kRegexBacktrackMemoryExhausted,
     u"Expression too complex for this text: search stopped, too much backtracking memory",
     u"Ausdruck zu aufwendig f\u00FCr diesen Text: Suche wegen zu hohen Speicherbedarfs abgebrochen"},
};

}  // namespace

std::u16string ErrorText(int code, Language language) {
  const bool english = language == Language::English;
  for (const ErrorTexts& t : kTexts) {
    if (t.code == code) return english ? t.english : t.german;
  }
  return english ? u"Unknown Error" : u"Unbekannter Fehler";
}

}  // namespace tallowin
