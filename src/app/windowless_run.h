#pragma once
// What differs when the capture pipeline runs without a window: there is no
// marquee dialog, so a crop by marquee cannot happen and its step is skipped
// (it fails silently, as it does in a nested pass while the dialog is open).

#include <string>
#include <vector>

#include "config/configuration.h"
#include "settings/capture_settings.h"

namespace tallowin {

// The warnings a window-less run prints at start for the settings in force.
std::vector<std::string> WindowlessRunWarnings(const CaptureSettings& settings);

class ProgramCore;
// What a configuration load or save does besides the settings when there is no
// window: the section layout and the settings' part of the language routine;
// the geometry numbers stay in the settings. `core` must outlive the result.
ConfigurationWindow WindowlessConfigurationTarget(ProgramCore& core);

}  // namespace tallowin
