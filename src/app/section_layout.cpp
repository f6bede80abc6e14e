#include "app/section_layout.h"

namespace tallowin {
namespace {

constexpr std::int32_t kSearchBodyWithTable = 266;
constexpr std::int32_t kSearchBodyPlain = 171;
constexpr std::int32_t kSearchGroupWithTable = 260;
constexpr std::int32_t kSearchGroupPlain = 165;
constexpr std::int32_t kScrollSlack = 5;

}  // namespace

const std::array<SectionInfo, kSectionCount>& Sections() {
  static const std::array<SectionInfo, kSectionCount> sections = {{
      {Setting::cb_suchenersetzen, Setting::pa001a, Setting::pa001b, Setting::pa_suchenersetzen, kSearchBodyPlain},
      {Setting::cb_textadd, Setting::pa002a, Setting::pa002b, Setting::pa_textadd, 129},
      {Setting::cb_savetxt, Setting::pa003a, Setting::pa003b, Setting::pa_savetxt, 96},
      {Setting::cb_cutimg, Setting::pa004a, Setting::pa004b, Setting::pa_cutimg, 100},
      {Setting::cb_resizeimg, Setting::pa005a, Setting::pa005b, Setting::pa_resizeimg, 86},
      {Setting::cb_saveimg, Setting::pa006a, Setting::pa006b, Setting::pa_saveimg, 134},
  }};
  return sections;
}

SectionLayout::SectionLayout(CaptureSettings& settings) : settings_(settings) {
  for (const SectionInfo& section : Sections()) {
    const Setting toggle = section.toggle;
    settings_.AttachReaction(toggle, [this, toggle] { Run(toggle); });
  }
  settings_.AttachReaction(Setting::cb_se_mehrfach, [this] { Restack(); });
  Restack();
}

void SectionLayout::Run(std::optional<Setting> clicked) {
  for (const SectionInfo& section : Sections()) settings_.SetFlag(section.body, false);
  for (const SectionInfo& section : Sections()) {
    if (clicked == section.toggle && settings_.Flag(section.toggle)) settings_.SetFlag(section.body, true);
  }
  Restack();
}

void SectionLayout::Restack() {
  const bool table = settings_.Flag(Setting::cb_se_mehrfach);
  geometry_.searchGroupHeight = table ? kSearchGroupWithTable : kSearchGroupPlain;
  std::int32_t y = 0;
  for (int i = 0; i < kSectionCount; ++i) {
    const SectionInfo& section = Sections()[i];
    geometry_.bodyHeight[i] = i == 0 ? (table ? kSearchBodyWithTable : kSearchBodyPlain) : section.bodyHeight;
    geometry_.headerTop[i] = y;
    y += kSectionHeaderHeight;
    geometry_.bodyTop[i] = y;
    if (settings_.Flag(section.body)) y += geometry_.bodyHeight[i];
  }
  geometry_.scrollRange = y + kScrollSlack;
}

}  // namespace tallowin
