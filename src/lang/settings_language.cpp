#include "lang/settings_language.h"

#include <vector>

namespace tallowin {
namespace {

std::u16string_view DefaultTemplate(Setting s, Language language) {
  const SettingDescriptor& d = Describe(s);
  return language == Language::German && !d.startTextGerman.empty() ? d.startTextGerman : d.startText;
}

// Applies `rewrite` to the text and to every item of `s`.
template <class Rewrite>
void RewriteTextAndItems(CaptureSettings& settings, Setting s, Rewrite rewrite) {
  std::vector<std::u16string> items = settings.Items(s);
  for (std::u16string& item : items) item = rewrite(std::move(item));
  settings.SetItems(s, std::move(items));
  settings.SetText(s, rewrite(settings.Text(s)));
}

}  // namespace

std::u16string ReplaceEvery(std::u16string text, std::u16string_view from, std::u16string_view to) {
  if (from.empty()) return text;
  std::u16string out;
  std::size_t start = 0;
  for (std::size_t at = text.find(from); at != std::u16string::npos; at = text.find(from, start)) {
    out.append(text, start, at - start);
    out.append(to);
    start = at + from.size();
  }
  out.append(text, start, std::u16string::npos);
  return out;
}

void ApplyMainWindowLanguage(CaptureSettings& settings, Language language, TemplateTexts templates) {
  for (Setting s : {Setting::savetxt_name, Setting::saveimg_name}) {
    settings.SetItems(s, DefaultItems(s, language));
    if (templates == TemplateTexts::Reset) settings.SetText(s, std::u16string(DefaultTemplate(s, language)));
  }
  const bool german = language == Language::German;
  RewriteTextAndItems(settings, Setting::saveimg_format, [german](std::u16string text) {
    return german ? ReplaceEvery(std::move(text), u"Image", u"Bild") : ReplaceEvery(std::move(text), u"Bild", u"Image");
  });
}

void ApplyOutputSettingsLanguage(CaptureSettings& settings, Language language) {
  const bool german = language == Language::German;
  RewriteTextAndItems(settings, Setting::act_sizemethode, [german](std::u16string text) {
    if (german) return ReplaceEvery(ReplaceEvery(std::move(text), u"Bicubic", u"Bikubisch"), u"Nearest", u"Nächster Nachbar");
    return ReplaceEvery(ReplaceEvery(std::move(text), u"Bikubisch", u"Bicubic"), u"Nächster Nachbar", u"Nearest");
  });
}

}  // namespace tallowin
