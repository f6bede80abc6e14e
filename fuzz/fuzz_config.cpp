// Fuzz target for configuration files: arbitrary bytes as a file, loaded into the
// settings with their quality link, then a value written into the same document
// and read back after a save and a reload.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/capture_settings.h"
#include "config/configuration.h"
#include "config/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tallowin::CaptureSettings settings;
  tallowin::AttachQualityLink(settings);
  tallowin::ConfigurationWindow window;
  window.screenWidth = 1920;
  window.screenHeight = 1080;
  window.applyLanguage = [&settings] { tallowin::ApplyLanguageToSettings(settings, tallowin::Language::English); };
  tallowin::ApplyConfigurationBytes(settings, bytes, size % 2 == 0, window);
  const std::int32_t bar = settings.Integer(tallowin::Setting::ScrollBar1);
  if (bar < 1 || bar > 100) std::abort();

  // Whatever the file held, a written value reads back (cut at the read limit)
  // and the document survives its own serialization.
  tallowin::IniDocument doc = tallowin::IniDocument::Parse(bytes);
  const std::u16string value = settings.Text(tallowin::Setting::act_ers_text_suchen) + u" \u00E4=";
  doc.Write(u"PBME", u"act_ers_text_suchen", value);
  const tallowin::IniDocument again = tallowin::IniDocument::Parse(doc.Serialize());
  const auto read = again.Read(u"pbme", u"ACT_ERS_TEXT_SUCHEN");
  if (!read) std::abort();
  std::u16string expected = value;
  for (char16_t& c : expected) {
    if (c == u'\r' || c == u'\n') c = u'\v';
  }
  if (doc.encoding() == tallowin::IniDocument::Encoding::Ansi) return 0;  // characters without a byte become '?'
  if (*read != expected.substr(0, tallowin::kIniReadLimit)) std::abort();
  if (again.Serialize() != doc.Serialize()) std::abort();
  return 0;
}
