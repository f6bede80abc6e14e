#pragma once
// ProcessClipboardChange: one capture pass over the clipboard's new content.
//
// Order of a pass: the gate (capture switch, CaptureSuppressCounter); clearing
// the details list and the text view; RefreshDetails; RefreshContentViews; the
// text steps ReplaceTextStep, AddTextStep, SaveTextStep; the image steps
// CropImageStep, SaveImageStep (before resizing), ResizeImageStep, SaveImageStep
// (after resizing). Every step reads the clipboard anew and writes its result
// back before the next one runs, so the views and the history show the content
// as it arrived. Every write-back is preceded by raising CaptureSuppressCounter,
// so the notification it causes ends at the gate.
//
// Content marked secret by a password manager (the target
// x-kde-passwordManagerHint holding "secret") ends the pass right after the
// gate, as if capturing were off for that change.
//
// Failures: a save step whose folder, name or format is unusable ends silently;
// an image step ends silently on any failure; everything else (a clipboard that
// cannot be opened, a text file that cannot be written, ...) propagates as
// TallowinError and ends the pass where it happened.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/capture_settings.h"
#include "clipboard/capture_suppress_counter.h"
#include "clipboard/clipboard.h"
#include "history/content_views_model.h"
#include "history/details_model.h"
#include "history/history_model.h"
#include "text/output_naming.h"
#include "text/search_replace.h"
#include "text/text_file_writer.h"

namespace tallowin {

// State that outlives a pass. Counters start at 0 at every program start and are never saved.
struct CaptureState {
  bool captureActive = true;  // the menu entry m_einst_aktiv (F3)
  CaptureSuppressCounter suppress;
  std::int32_t textFileCounter = 0;
  std::int32_t imageFileCounter = 0;
  std::int32_t textFileCodePage = kCodePageUtf8;
};

// The work of the image steps, supplied by the image subsystem. The pipeline
// finds the picture, reads it, writes results back and names the files; these
// do the pixel work. Each step is planned on the pass's thread (the settings
// are read, the cut-out dialog waits for the user) and yields the work on the
// picture, which reads nothing but the picture and may run on another thread
// (see PipelineParts::runWork): it gives the result (the picture itself when
// nothing changes). No plan (std::nullopt), a work giving null or false, or a
// work that throws ends that step silently.
using PictureWork = std::function<SharedRaster(const SharedRaster&)>;
using PictureSave = std::function<bool(const RasterImage&)>;

class ImageStepActions {
 public:
  virtual ~ImageStepActions() = default;
  virtual std::optional<PictureWork> PlanCrop(const RasterImage& picture) = 0;
  virtual std::optional<PictureWork> PlanResize(const RasterImage& picture) = 0;
  // Pushes the output options to the image writer; may raise for an unusable quality text.
  virtual void PushOutputOptions() = 0;
  // The save of a picture to `path` with the options as they stand now.
  virtual PictureSave PlanSave(std::u16string_view path) = 0;
  // A pass for newer content starts inside an older pass, which may be waiting
  // in its crop step for the user's cut-out; `cropsPicture`: this pass will
  // run the crop step on a picture.
  virtual void NewerContentArrived(bool cropsPicture) = 0;
};

// Runs `work` to its end. The window runs it on a thread of its own and keeps
// handling events meanwhile, so a newer copy's pass may run inside the wait;
// an exception of `work` comes out of the call.
using WorkRunner = std::function<void(const std::function<void()>& work)>;

struct PipelineParts {
  CaptureSettings* settings = nullptr;
  Clipboard* clipboard = nullptr;
  CaptureState* state = nullptr;
  DetailsModel* details = nullptr;
  ContentViewsModel* views = nullptr;
  HistoryModel* history = nullptr;
  const std::vector<ReplacementRow>* replacementRows = nullptr;  // the table act_ers_text_liste
  RegexReplacer* regex = nullptr;                                // none: expression rows pass the text unchanged
  ImageStepActions* images = nullptr;                            // none: the image steps find nothing to do
  WorkRunner runWork;                                            // none: the work runs in the pass
  LocalTimeSource now = SystemLocalTime;
  std::function<Language()> language = [] { return Language::English; };  // the interface language at this moment
};

// The parts every pipeline needs; the table, the expression engine and the
// image work stay unset. Everything passed must outlive the pipeline.
PipelineParts RequiredParts(CaptureSettings& settings, Clipboard& clipboard, CaptureState& state,
                            DetailsModel& details, ContentViewsModel& views, HistoryModel& history);

class CapturePipeline {
 public:
  // Every pointer of `parts` but regex and images must be set and outlive the pipeline.
  explicit CapturePipeline(PipelineParts parts);

  void ProcessClipboardChange();
  // Where the pixel work of the image steps runs (see WorkRunner).
  void SetWorkRunner(WorkRunner runner) { parts_.runWork = std::move(runner); }

  // The gate alone: false when capturing is off or the notification was one of
  // our own writes (the counter is then lowered). A backend that must fetch the
  // content before a pass calls this first, and RunPass once the content is there.
  bool PassGate();
  void RunPass();
  // The values of the last pass's formats, some of which arrived after the
  // pass began (see Clipboard::SetLateValuesHandler): the details list is
  // filled again from `whole`, once, when it shows that pass (capturing was on
  // and the content was not secret); otherwise nothing happens.
  void CompleteDetails(Clipboard& whole);

  void RefreshDetails() { RefreshDetails(*parts_.clipboard); }
  void RefreshDetails(Clipboard& clipboard);
  void RefreshContentViews();
  void ReplaceTextStep();
  void AddTextStep();
  void SaveTextStep();
  void CropImageStep();
  void SaveImageStep();
  void ResizeImageStep();

 private:
  const CaptureSettings& Settings() const { return *parts_.settings; }
  // Raises the counter, then writes; lowers it again when the write fails, so a
  // write that caused no notification does not swallow the next real change.
  void WriteBackText(SharedText text);
  bool WriteBackBitmap(const Clipboard::PreparedBitmap& image);
  using PlanTransform = std::optional<PictureWork> (ImageStepActions::*)(const RasterImage&);
  // Crop and resize: find the picture, plan and do the work, write the result back.
  void TransformImageStep(PlanTransform plan);
  void RunWork(const std::function<void()>& work);
  bool HasBitmapFormat();
  SharedRaster ReadBitmapSilently();

  PipelineParts parts_;
  // The details list shows the last change's pass and may still gain values.
  bool detailsAwaitValues_ = false;
  int passDepth_ = 0;
  std::uint64_t passesStarted_ = 0;
};

}  // namespace tallowin
