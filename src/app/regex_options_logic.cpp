#include "app/regex_options_logic.h"

#include <utility>

namespace tallowin {
namespace {

constexpr std::pair<Setting, RegexModifier> kModifierBoxes[] = {
    {Setting::cb_caseinsensitive_i, kModifierI}, {Setting::cb_multiline_m, kModifierM},
    {Setting::cb_singleline_s, kModifierS},      {Setting::cb_greedymode_g, kModifierG},
    {Setting::cb_whitespacecomments_x, kModifierX},
};

constexpr Setting kCharacterLists[] = {Setting::zk_word, Setting::zk_space, Setting::zk_lineseparators};

void CopyModifier(const CaptureSettings& settings, EngineDefaults& defaults, Setting box, RegexModifier modifier) {
  defaults.SetModifier(modifier, settings.Flag(box));
}

}  // namespace

void AttachModifierReactions(CaptureSettings& settings, EngineDefaults& defaults) {
  for (const auto& [box, modifier] : kModifierBoxes) {
    settings.AttachReaction(box, [&settings, &defaults, box = box, modifier = modifier] {
      CopyModifier(settings, defaults, box, modifier);
    });
  }
}

void ApplyRegexOptions(const CaptureSettings& settings, EngineDefaults& defaults) {
  StringUserToComp(settings.Text(Setting::zk_space));
  for (const auto& [box, modifier] : kModifierBoxes) CopyModifier(settings, defaults, box, modifier);
  defaults.wordChars = StringUserToComp(settings.Text(Setting::zk_word));
  defaults.spaceChars = StringUserToComp(settings.Text(Setting::zk_space));
  defaults.lineSeparators = StringUserToComp(settings.Text(Setting::zk_lineseparators));
}

void RestoreRegexOptionDefaults(CaptureSettings& settings) {
  for (const auto& [box, modifier] : kModifierBoxes) settings.SetFlag(box, Describe(box).startOn);
  for (Setting list : kCharacterLists) settings.SetText(list, std::u16string(Describe(list).startText));
}

}  // namespace tallowin
