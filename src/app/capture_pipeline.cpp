#include "app/capture_pipeline.h"

#include <new>
#include <utility>

#include "base/errors.h"
#include "clipboard/format_inspection.h"
#include "clipboard/secret_content.h"
#include "base/large_pages.h"

namespace tallowin {

PipelineParts RequiredParts(CaptureSettings& settings, Clipboard& clipboard, CaptureState& state,
                            DetailsModel& details, ContentViewsModel& views, HistoryModel& history) {
  PipelineParts parts;
  parts.settings = &settings;
  parts.clipboard = &clipboard;
  parts.state = &state;
  parts.details = &details;
  parts.views = &views;
  parts.history = &history;
  return parts;
}

CapturePipeline::CapturePipeline(PipelineParts parts) : parts_(std::move(parts)) {}

void CapturePipeline::ProcessClipboardChange() {
  if (PassGate()) RunPass();
}

bool CapturePipeline::PassGate() {
  if (!parts_.state->captureActive) {
    detailsAwaitValues_ = false;  // a change no pass looks at: the list shows older content
    return false;
  }
  return !parts_.state->suppress.ConsumePending();
}

void CapturePipeline::RunPass() {
  struct Depth {
    int& depth;
    explicit Depth(int& d) : depth(++d) {}
    ~Depth() { --depth; }
  } depth(passDepth_);
  ++passesStarted_;
  // A pass run inside another one (a re-copy's write is processed like a new
  // copy) leaves the list showing its own content: no values arrive for it.
  detailsAwaitValues_ = false;
  // A password a password manager marked as secret is passed over as if
  // capturing were off: no details, no history entry, no write-back, no file.
  const bool secret = ContentMarkedSecret(*parts_.clipboard);
  // A cut-out still being chosen for an older copy is for a picture this
  // content has replaced: this pass's crop step takes the dialog over with
  // the newer picture, or, when it will not crop one, the dialog closes.
  if (parts_.images && passDepth_ > 1) {
    parts_.images->NewerContentArrived(!secret && Settings().Flag(Setting::cb_cutimg) && HasBitmapFormat());
  }
  if (secret) return;
  parts_.details->Clear();
  parts_.views->ClearText();
  RefreshDetails();
  detailsAwaitValues_ = passDepth_ == 1;
  RefreshContentViews();

  // A step that waits for the user (the cut-out dialog) lets a newer copy run
  // its own pass meanwhile. That pass has done everything for the clipboard's
  // content, so this one stops: its later steps would read the newer copy and
  // process it a second time, and its results would be written over it.
  const CaptureSettings& s = Settings();
  const std::uint64_t pass = passesStarted_;
  const auto superseded = [&] { return passesStarted_ != pass; };
  if (s.Flag(Setting::cb_suchenersetzen)) ReplaceTextStep();
  if (superseded()) return;
  if (s.Flag(Setting::cb_textadd)) AddTextStep();
  if (superseded()) return;
  if (s.Flag(Setting::cb_savetxt)) SaveTextStep();
  if (superseded()) return;

  if (s.Flag(Setting::cb_cutimg)) CropImageStep();
  if (superseded()) return;
  if (s.Flag(Setting::cb_saveimg) && s.Flag(Setting::save_img_vorher)) SaveImageStep();
  if (superseded()) return;
  if (s.Flag(Setting::cb_resizeimg)) ResizeImageStep();
  if (superseded()) return;
  if (s.Flag(Setting::cb_saveimg) && s.Flag(Setting::save_img_nachher)) SaveImageStep();
}

void CapturePipeline::CompleteDetails(Clipboard& whole) {
  if (!std::exchange(detailsAwaitValues_, false)) return;
  parts_.details->Clear();
  RefreshDetails(whole);
}

void CapturePipeline::RefreshDetails(Clipboard& clipboard) {
  const int count = clipboard.CountFormats();
  for (int i = 0; i < count; ++i) {
    const FormatNumber f = clipboard.FormatAt(i);
    const ValueReading reading = IsUtf16Format(f) ? ValueReading::Utf16 : ValueReading::EightBit;
    DetailsRow row{ClipboardFormatName(clipboard, f), f, {}};
    row.value = ReadFormatValue(clipboard, f, reading);
    parts_.details->Append(std::move(row));
  }
}

void CapturePipeline::RefreshContentViews() {
  Clipboard& clipboard = *parts_.clipboard;
  ContentViewsModel& views = *parts_.views;
  const int count = clipboard.CountFormats();
  for (int i = 0; i < count; ++i) {
    const FormatNumber f = clipboard.FormatAt(i);
    if (f == kFormatUnicodeText) {
      views.ShowPage(ContentPage::Text);
      views.AddTextLine(clipboard.FormatText(kFormatUnicodeText));
      views.SetTabs(u"Text", u"Details");
      if (Settings().Flag(Setting::cb_history_txt)) {
        parts_.history->AddTextEntry(views.TextPrefix(kHistoryPreviewReads), ReadClipboardText(clipboard),
                                     parts_.now());
      }
    } else if (f == kFormatBitmap) {
      const Language language = parts_.language();
      views.ShowPage(ContentPage::Image);
      views.SetTabs(language == Language::German ? u"Bild" : u"Image", u"Details");
      SharedRaster bitmap = clipboard.ReadSharedBitmap();
      if (Settings().Flag(Setting::cb_history_img)) {
        parts_.history->AddImageEntry(bitmap->width, bitmap->height, language, parts_.now());
      }
      views.ShowImage(std::move(bitmap));
    }
  }
}

void CapturePipeline::ReplaceTextStep() {
  // Each replacement reads the text before it and makes a new one, so at most
  // two texts exist at a time; with nothing to replace, the read buffer itself
  // is written back.
  SharedText text = ReadClipboardText(*parts_.clipboard);
  if (text->empty()) return;
  const CaptureSettings& s = Settings();
  const CaseMode caseMode = s.Flag(Setting::act_ers_casesensitive) ? CaseMode::Sensitive : CaseMode::Insensitive;
  const std::u16string& search = s.Text(Setting::act_ers_text_suchen);
  if (!search.empty()) {
    text = MakeSharedText(ReplaceSinglePair(
        *text, search, s.Text(Setting::act_ers_text_ersetzen),
        s.Flag(Setting::act_ers_text_suchen_regex) ? SearchMode::Expression : SearchMode::Plain,
        s.Flag(Setting::act_ers_text_ersetzen_regex) ? ReplacementMode::Template : ReplacementMode::Literal, caseMode,
        parts_.regex));
  }
  if (parts_.replacementRows) {
    for (const ReplacementRow& row : *parts_.replacementRows) {
      text = MakeSharedText(ReplaceTableRow(*text, row, caseMode, parts_.regex));
    }
  }
  WriteBackText(std::move(text));
}

void CapturePipeline::AddTextStep() {
  SharedText text = ReadClipboardText(*parts_.clipboard);
  if (text->empty()) return;
  const CaptureSettings& s = Settings();
  const std::u16string& front = s.Text(Setting::act_textadd_vorne);
  const std::u16string& back = s.Text(Setting::act_textadd_hinten);
  std::u16string added;
  added.reserve(front.size() + text->size() + back.size());
  AskForLargePages(added.data(), added.capacity() * sizeof(char16_t));
  added.append(front).append(*text).append(back);
  text.reset();  // only the clipboard holds the old text now
  WriteBackText(MakeSharedText(std::move(added)));
}

void CapturePipeline::SaveTextStep() {
  const SharedText shared = ReadClipboardText(*parts_.clipboard);
  const std::u16string& text = *shared;
  if (text.empty()) return;
  const CaptureSettings& s = Settings();
  const std::optional<std::u16string> path =
      PrepareTextOutputPath(s.Text(Setting::savetxt_ordner), s.Text(Setting::savetxt_name),
                            s.Text(Setting::savetxt_format), parts_.state->textFileCounter, parts_.now);
  if (!path) return;
  if (s.Flag(Setting::rb_beibehalten)) parts_.state->textFileCodePage = CodePageForAnsiOrUtf8(text);
  WriteTextFile(text, *path, parts_.state->textFileCodePage);
}

bool CapturePipeline::HasBitmapFormat() {
  Clipboard& clipboard = *parts_.clipboard;
  const int count = clipboard.CountFormats();
  for (int i = 0; i < count; ++i) {
    if (clipboard.FormatAt(i) == kFormatBitmap) return true;
  }
  return false;
}

SharedRaster CapturePipeline::ReadBitmapSilently() {
  try {
    SharedRaster raster = parts_.clipboard->ReadSharedBitmap();
    if (!raster || !raster->Usable()) return nullptr;
    return raster;
  } catch (const TallowinError&) {
    return nullptr;
  }
}

void CapturePipeline::RunWork(const std::function<void()>& work) {
  if (parts_.runWork) {
    parts_.runWork(work);
  } else {
    work();
  }
}

void CapturePipeline::CropImageStep() { TransformImageStep(&ImageStepActions::PlanCrop); }

void CapturePipeline::ResizeImageStep() { TransformImageStep(&ImageStepActions::PlanResize); }

void CapturePipeline::TransformImageStep(PlanTransform plan) {
  if (!parts_.images || !HasBitmapFormat()) return;
  const SharedRaster picture = ReadBitmapSilently();
  if (!picture) return;
  // A newer copy can replace the picture while the cut-out dialog waits or the
  // work runs (see RunPass): a result of the older picture must not be put over it.
  const std::uint64_t pass = passesStarted_;
  const auto superseded = [&] { return passesStarted_ != pass; };
  std::optional<Clipboard::PreparedBitmap> prepared;
  try {
    const std::optional<PictureWork> work = (parts_.images->*plan)(*picture);
    if (!work || superseded()) return;
    const Clipboard& clipboard = *parts_.clipboard;
    RunWork([&] {
      // The result is written back also when nothing was cut or scaled.
      if (SharedRaster result = (*work)(picture)) prepared = clipboard.PrepareBitmap(std::move(result));
    });
  } catch (const std::exception&) {
    return;  // an image step that fails ends silently
  }
  if (superseded() || !prepared) return;
  WriteBackBitmap(*prepared);
}

void CapturePipeline::SaveImageStep() {
  if (!parts_.images) return;
  parts_.images->PushOutputOptions();
  if (!HasBitmapFormat()) return;
  // The name is made (and the counter advanced) before the picture is read, so
  // a picture that cannot be read still uses up its number.
  const CaptureSettings& s = Settings();
  const std::optional<std::u16string> path =
      PrepareImageOutputPath(s.Text(Setting::saveimg_ordner), s.Text(Setting::saveimg_name),
                             s.Text(Setting::saveimg_format), parts_.state->imageFileCounter, parts_.now);
  if (!path) return;
  const SharedRaster picture = ReadBitmapSilently();
  if (!picture) return;
  try {
    const PictureSave save = parts_.images->PlanSave(*path);
    RunWork([&] { save(*picture); });
  } catch (const std::exception&) {
    // A file that cannot be written ends this step without a message.
  }
}

void CapturePipeline::WriteBackText(SharedText text) {
  parts_.state->suppress.Raise();
  try {
    WriteClipboardText(*parts_.clipboard, std::move(text));
  } catch (...) {
    parts_.state->suppress.ConsumePending();
    throw;
  }
}

bool CapturePipeline::WriteBackBitmap(const Clipboard::PreparedBitmap& image) {
  parts_.state->suppress.Raise();
  try {
    parts_.clipboard->WritePreparedBitmap(image);
    return true;
  } catch (const TallowinError&) {
    parts_.state->suppress.ConsumePending();
    return false;
  } catch (const std::bad_alloc&) {
    // The picture the clipboard would hand out could not be made: the step
    // fails as an image step fails, and the clipboard keeps what it had.
    parts_.state->suppress.ConsumePending();
    return false;
  }
}

}  // namespace tallowin
