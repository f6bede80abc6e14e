#pragma once
// Configuration files (".twk"): one snapshot of every setting, written by
// KonfigurationSpeichern and applied by KonfigurationLaden.
//
// Sections are named by the window (PB main window, RX expression options, EA
// output settings) and the kind of control (ED edit, CB combo box, RB radio
// button, CH check box, SB scroll bar, PA panel, ME memo); SP holds the main
// window's geometry and AS the two exit-save entries. The walk follows the
// settings table's control order: main window, then RX, then EA.

#include <climits>
#include <functional>
#include <string>
#include <string_view>

#include "settings/capture_settings.h"

namespace tallowin {

// The section a setting is stored in ("PBCH", "EASB", ...); menu entries are
// stored in AS under their own keys (ExitSaveKey).
std::u16string ConfigSection(const SettingDescriptor& d);

// What a load does to the window besides the settings. The defaults suit a
// program without a window: the geometry is kept in settings.Geometry() only.
struct ConfigurationWindow {
  // The screen the window numbers are checked against.
  std::int32_t screenWidth = INT32_MAX;
  std::int32_t screenHeight = INT32_MAX;
  // The geometry saved: the window's current one (default settings.Geometry()).
  std::function<WindowGeometry()> currentGeometry;
  // PF on in a start-up load: maximize at the first activation.
  std::function<void()> maximizeOnActivate;
  // PF on in any other load: move to left 0, top 0 and maximize.
  std::function<void()> maximizeAtOrigin;
  // PF off: the numbers that passed the screen check are in settings.Geometry().
  std::function<void()> applyGeometry;
  // The section layout with the caller as the clicked switch (never a switch).
  std::function<void()> sectionLayout;
  // The language routine at the end of a load.
  std::function<void()> applyLanguage;
};

// Writes every setting into `path` (UTF-8), updating an existing file in place
// (its other keys and lines stay) and creating a missing one as UTF-16LE. The
// file is replaced whole or not at all. A symbolic link at `path` is followed:
// the file at the end of the chain gets the content and keeps its mode and
// owner, a hard-linked file keeps its other names (TargetLinks::Follow), and a
// dangling link makes the file it names. Raises TallowinError "Cannot create
// file "<path>". <reason>" when a missing file cannot be created, and "Unable to
// write to <path>" when an existing one cannot be rewritten or is no regular
// file (a folder, FIFO or device is never opened).
void KonfigurationSpeichern(CaptureSettings& settings, const std::string& path, const ConfigurationWindow& window = {});

// Applies `path` on top of the current settings: a missing or unreadable file,
// section or key, or a value that is no number where one is needed keeps the
// current value. `startup` tells a load of the start-up sequence. Raises nothing.
void KonfigurationLaden(CaptureSettings& settings, const std::string& path, bool startup,
                        const ConfigurationWindow& window = {});

// The same from a file's bytes (the fuzz target and the tests use it).
void ApplyConfigurationBytes(CaptureSettings& settings, std::string_view bytes, bool startup,
                             const ConfigurationWindow& window = {});

// The part of the language routine that concerns settings: "Bild"/"Image" in
// `saveimg_format`, the method names of `act_sizemethode`, and the item lists of
// the editable choices rebuilt for `language`. The name templates keep their text.
void ApplyLanguageToSettings(CaptureSettings& settings, Language language);

// The reset of every setting (KonfigurationLadenStandard), in its nine steps;
// the output folders become `programFolder`. Geometry, language, history and
// item lists are left alone.
void KonfigurationLadenStandard(CaptureSettings& settings, const std::u16string& programFolder);

// The exit-save entries chosen from the menu: both unchecked, then `chosen` checked.
void ChooseExitSave(CaptureSettings& settings, Setting chosen);

}  // namespace tallowin
