#include "app/output_settings_logic.h"

#include <string_view>

namespace tallowin {
namespace {

struct MethodName {
  std::u16string_view german;
  std::u16string_view english;
};
constexpr MethodName kExchanged[] = {{u"Bikubisch", u"Bicubic"}, {u"N\u00e4chster Nachbar", u"Nearest"}};

std::u16string InLanguage(const std::u16string& name, Language language) {
  for (const MethodName& m : kExchanged) {
    if (name == m.german || name == m.english) {
      return std::u16string(language == Language::German ? m.german : m.english);
    }
  }
  return name;
}

}  // namespace

void ExchangeResizeMethodNames(CaptureSettings& settings, Language language) {
  std::vector<std::u16string> items = settings.Items(Setting::act_sizemethode);
  for (std::u16string& item : items) item = InLanguage(item, language);
  settings.SetItems(Setting::act_sizemethode, std::move(items));
  settings.SetText(Setting::act_sizemethode, InLanguage(settings.Text(Setting::act_sizemethode), language));
}

}  // namespace tallowin
