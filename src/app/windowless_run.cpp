#include "app/windowless_run.h"

#include <optional>

#include "app/program_core.h"

namespace tallowin {

std::vector<std::string> WindowlessRunWarnings(const CaptureSettings& settings) {
  std::vector<std::string> warnings;
  if (settings.Flag(Setting::cb_cutimg) && settings.Flag(Setting::rb_cutimg_auswahl)) {
    warnings.push_back(
        "cropping by marquee (rb_cutimg_auswahl) needs the window; without it the crop step is skipped "
        "(choose rb_cutimg_direkt to crop by fixed margins)");
  }
  return warnings;
}

ConfigurationWindow WindowlessConfigurationTarget(ProgramCore& core) {
  ConfigurationWindow target;
  target.sectionLayout = [&core] { core.sectionLayout.Run(std::nullopt); };
  target.applyLanguage = [&core] { ApplyLanguageToSettings(core.settings, core.CurrentLanguage()); };
  return target;
}

}  // namespace tallowin
