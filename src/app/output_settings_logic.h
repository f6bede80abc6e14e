#pragma once
// The part of the output settings dialog's language switch that changes
// settings: the names of the scaling methods in act_sizemethode.

#include "settings/capture_settings.h"

namespace tallowin {

// Exchanges "Bikubisch"/"Bicubic" and "Nächster Nachbar"/"Nearest" for the names
// of `language`, in the box's current text (only when the whole text is one of
// them) and in its item list, so the chosen method survives the switch.
// "Bilinear" and any other text stay as they are.
void ExchangeResizeMethodNames(CaptureSettings& settings, Language language);

}  // namespace tallowin
