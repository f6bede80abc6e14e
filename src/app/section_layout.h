#pragma once
// The six collapsible action sections of the main window. At most one body is
// shown: the one whose switch was clicked last, and only while that switch is on.
// Bodies are the panel settings pa001b..pa006b, so the view follows them like any
// other setting; the stacked positions are computed here.

#include <array>
#include <cstdint>
#include <optional>

#include "settings/capture_settings.h"

namespace tallowin {

inline constexpr int kSectionCount = 6;
inline constexpr std::int32_t kSectionHeaderHeight = 22;

struct SectionInfo {
  Setting toggle;  // the section's switch
  Setting header;  // pa00Na
  Setting body;    // pa00Nb
  Setting group;   // the inner group inside the body
  std::int32_t bodyHeight;
};

// Sections 1 to 6, top to bottom. Section 1's heights depend on cb_se_mehrfach.
const std::array<SectionInfo, kSectionCount>& Sections();

struct ActionsAreaGeometry {
  std::array<std::int32_t, kSectionCount> headerTop{};
  std::array<std::int32_t, kSectionCount> bodyTop{};     // meaningful while the body is shown
  std::array<std::int32_t, kSectionCount> bodyHeight{};
  std::int32_t searchGroupHeight = 165;  // pa_suchenersetzen: 260 with the table, else 165
  std::int32_t scrollRange = 0;          // ScrollBox1's range: stacked height + 5
};

class SectionLayout {
 public:
  // Attaches the layout to the six switches and to cb_se_mehrfach. `settings`
  // must outlive this object.
  explicit SectionLayout(CaptureSettings& settings);
  SectionLayout(const SectionLayout&) = delete;
  SectionLayout& operator=(const SectionLayout&) = delete;

  // Hides every body, shows the body of `clicked` when it is one of the six
  // switches and is on, then sizes and stacks. Called with no switch at start-up
  // and after a configuration load.
  void Run(std::optional<Setting> clicked);

  // Sizes section 1 and stacks, without changing which body is shown.
  void Restack();

  const ActionsAreaGeometry& Geometry() const { return geometry_; }

 private:
  CaptureSettings& settings_;
  ActionsAreaGeometry geometry_;
};

}  // namespace tallowin
