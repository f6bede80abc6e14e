#include "app/program_core.h"

#include "app/regex_options_logic.h"
#include "image/image_output.h"
#include "settings/setting_values.h"
#include "lang/settings_language.h"

#include "base/integer_text.h"
#include "text/text_file_writer.h"
#include "base/utf.h"

namespace tallowin {
namespace {

// Cropping and resizing by the image steps, saving through the format library.
class CoreImageActions final : public ImageStepActions {
 public:
  CoreImageActions(ImageSteps& steps, ImageFormatRegistry& formats, const CaptureSettings& settings)
      : steps_(steps), formats_(formats), settings_(settings) {}
  std::optional<PictureWork> PlanCrop(const RasterImage& picture) override {
    std::optional<CropPlan> plan = steps_.PlanCrop(picture);
    if (!plan) return std::nullopt;
    return [plan = std::move(*plan)](const SharedRaster& p) { return ApplyCrop(p, plan); };
  }
  std::optional<PictureWork> PlanResize(const RasterImage& picture) override {
    std::optional<ResizePlan> plan = steps_.PlanResize(picture);
    if (!plan) return std::nullopt;
    return [plan = *plan](const SharedRaster& p) { return ApplyResize(p, plan); };
  }
  void NewerContentArrived(bool cropsPicture) override { steps_.NewerContentArrived(cropsPicture); }
  void PushOutputOptions() override { AusgabeWerteSetzen(settings_, formats_); }
  PictureSave PlanSave(std::u16string_view path) override { return PrepareRasterSave(formats_, path); }

 private:
  ImageSteps& steps_;
  ImageFormatRegistry& formats_;
  const CaptureSettings& settings_;
};

}  // namespace

ProgramCore::ProgramCore(Clipboard& clipboard, Language language)
    : language(language), settings(language), clipboard_(clipboard) {
  PipelineParts parts = RequiredParts(settings, clipboard_, state, details, views, history);
  parts.replacementRows = &replacementTable.Rows();
  parts.regex = &regexReplace;
  imageActions_ = std::make_unique<CoreImageActions>(imageSteps, imageFormats, settings);
  parts.language = [this] { return CurrentLanguage(); };
  parts.images = imageActions_.get();
  pipeline = std::make_unique<CapturePipeline>(parts);
  regex.language = language;
  this->language.Register(LanguageWindow::Tprog, [this](Language now, TemplateTexts templates) {
    regex.language = now;
    ApplyMainWindowLanguage(settings, now, templates);
  });
  this->language.Register(LanguageWindow::Teinstausgabe,
                          [this](Language now, TemplateTexts) { ApplyOutputSettingsLanguage(settings, now); });
  AttachReactions();
  clipboard_.SetChangeHandler([this] { pipeline->ProcessClipboardChange(); });
  clipboard_.SetLateValuesHandler([this](Clipboard& whole) { pipeline->CompleteDetails(whole); });
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
  const std::optional<CaptureSettings::Value> parsed = ParseSettingValue(d.kind, value);
  if (!parsed) return "\"" + std::string(key) + "\" takes a whole number, got \"" + Utf16ToUtf8(value) + "\"";
  settings.Set(*setting, *parsed);
  return {};
}

}  // namespace tallowin
