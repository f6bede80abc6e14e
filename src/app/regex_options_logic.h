#pragma once
// What the regular-expression options window does to EngineDefaults, without the
// window: the five modifier boxes take effect at once, the three character lists
// only on apply or OK, and Standard restores the boxes' start values.

#include "settings/capture_settings.h"
#include "regex/engine_defaults.h"

namespace tallowin {

// Attaches a reaction to each of cb_caseinsensitive_i, cb_multiline_m,
// cb_singleline_s, cb_greedymode_g and cb_whitespacecomments_x that copies the
// box's state into its modifier of `defaults` whenever the state changes (a
// click, Standard, loading or resetting a configuration). Both must outlive
// `settings`' use of the reactions.
void AttachModifierReactions(CaptureSettings& settings, EngineDefaults& defaults);

// Button2Click (apply). In this order: converts zk_space as a check (a failure
// changes nothing); copies the five boxes into the modifiers; sets the word
// characters from zk_word, the space characters from zk_space and the line
// separators from zk_lineseparators. Throws TallowinError with the conversion's
// message when a text is not valid; the values set before that step stay set.
void ApplyRegexOptions(const CaptureSettings& settings, EngineDefaults& defaults);

// Button3Click (Standard): the five boxes and the three texts back to their start
// values. The boxes' reactions update the modifiers; the character lists of
// EngineDefaults change only with the next apply.
void RestoreRegexOptionDefaults(CaptureSettings& settings);

}  // namespace tallowin
