#include "app/program_core.h"

#include "app/regex_options_logic.h"

#include "base/integer_text.h"
#include "text/text_file_writer.h"
#include "base/utf.h"

namespace tallowin {
namespace {

// Cropping and resizing by the image steps. No image file writer is attached
// yet, so saving writes no file.
class CoreImageActions final : public ImageStepActions {
 public:
  explicit CoreImageActions(ImageSteps& steps) : steps_(steps) {}
  std::optional<RasterImage> Crop(RasterImage raster) override { return steps_.Crop(std::move(raster)); }
  std::optional<RasterImage> Resize(RasterImage raster) override { return steps_.Resize(std::move(raster)); }
  void PushOutputOptions() override {}
  bool Save(const RasterImage&, std::u16string_view) override { return false; }

 private:
  ImageSteps& steps_;
};

}  // namespace

ProgramCore::ProgramCore(Clipboard& clipboard, Language language)
    : settings(language), clipboard_(clipboard), language_(language) {
  PipelineParts parts = RequiredParts(settings, clipboard_, state, details, views, history);
  parts.replacementRows = &replacementTable.Rows();
  parts.regex = &regexReplace;
  parts.german = [this] { return language_ == Language::German; };
  imageActions_ = std::make_unique<CoreImageActions>(imageSteps);
  parts.images = imageActions_.get();
  pipeline = std::make_unique<CapturePipeline>(parts);
  SetLanguage(language);
  AttachReactions();
  clipboard_.SetChangeHandler([this] { pipeline->ProcessClipboardChange(); });
}

void ProgramCore::AttachReactions() {
  AttachQualityLink(settings);
  AttachHistoryReactions(settings, history, views);
  AttachModifierReactions(settings, regex.engineDefaults);
  regexErrors.AttachTo(settings);
  // A click on an encoding button sets the code page of the next text file.
  for (Setting button : GroupMembers(RadioGroup::TextEncoding)) {
    settings.AttachReaction(button, [this, button] {
      if (!settings.Flag(button)) return;
      if (auto codePage = CodePageForEncodingButton(Describe(button).name)) state.textFileCodePage = *codePage;
    });
  }
}

void ProgramCore::SetLanguage(Language language) {
  language_ = language;
  regex.languageCode = language == Language::German ? "de" : "en";
}

void ProgramCore::ReportRegexError(std::u16string_view message) {
  regexErrors.RegExFehlerInMemoMarkieren(message);
  if (onRegexError) onRegexError(message);
}

void ProgramCore::FinishStartup(const std::u16string& programFolder) {
  sectionLayout.Run(std::nullopt);
  settings.SetText(Setting::saveimg_ordner, programFolder);
  settings.SetText(Setting::savetxt_ordner, programFolder);
  state.textFileCounter = 0;
  state.imageFileCounter = 0;
}

std::string ApplySettingAssignment(CaptureSettings& settings, std::string_view assignment) {
  const std::size_t eq = assignment.find('=');
  if (eq == std::string_view::npos) return "expected KEY=VALUE, got \"" + std::string(assignment) + "\"";
  const std::string_view key = assignment.substr(0, eq);
  const std::u16string value = Utf8ToUtf16(assignment.substr(eq + 1));
  const std::optional<Setting> setting = FindSetting(key);
  if (!setting) return "unknown setting \"" + std::string(key) + "\"";
  const SettingDescriptor& d = Describe(*setting);
  if (d.IsText()) {
    settings.SetText(*setting, value);
    return {};
  }
  const std::optional<std::int32_t> number = ParseIntegerText(value);
  if (!number) return "\"" + std::string(key) + "\" takes a whole number, got \"" + Utf16ToUtf8(value) + "\"";
  if (d.IsBool()) {
    settings.SetFlag(*setting, *number != 0);
  } else {
    settings.SetInteger(*setting, *number);
  }
  return {};
}

}  // namespace tallowin
