#pragma once
// A capture pipeline wired to an in-memory clipboard, the way the program wires
// it to the real one: every clipboard change runs one ProcessClipboardChange.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/capture_pipeline.h"
#include "clipboard/memory_clipboard.h"

namespace tallowin::testing {

// Records the image work the pipeline asks for; the picture itself passes unchanged.
class RecordingImageActions : public ImageStepActions {
 public:
  std::optional<PictureWork> PlanCrop(const RasterImage&) override {
    calls.push_back("crop");
    // Runs once, as the user's copy while the cut-out dialog waits would.
    if (duringCrop) std::exchange(duringCrop, nullptr)();
    if (cropFails) return std::nullopt;
    return [](const SharedRaster& picture) { return picture; };
  }
  std::optional<PictureWork> PlanResize(const RasterImage&) override {
    calls.push_back("resize");
    return [](const SharedRaster& picture) { return picture; };
  }
  void NewerContentArrived(bool cropsPicture) override {
    calls.push_back(cropsPicture ? "newer picture" : "newer content");
  }
  void PushOutputOptions() override { calls.push_back("options"); }
  PictureSave PlanSave(std::u16string_view path) override {
    calls.push_back("save");
    savedPaths.emplace_back(path);
    return [](const RasterImage&) { return true; };
  }
  std::vector<std::string> calls;
  std::vector<std::u16string> savedPaths;
  std::function<void()> duringCrop;
  bool cropFails = false;
};

inline std::tm FixedTime() {
  std::tm t{};
  t.tm_year = 2010 - 1900;
  t.tm_mon = 9;
  t.tm_mday = 14;
  t.tm_hour = 21;
  t.tm_min = 5;
  t.tm_sec = 7;
  return t;
}

inline RasterImage SmallImage(int w = 3, int h = 2) {
  RasterImage r = CreateRaster(w, h);
  for (std::size_t i = 0; i < r.pixels.size(); ++i) r.pixels[i] = static_cast<std::uint8_t>(i * 7);
  return r;
}

class PipelineTest : public ::testing::Test {
 protected:
  PipelineTest() {
    PipelineParts parts = RequiredParts(settings, clipboard, state, details, views, history);
    parts.replacementRows = &rows;
    parts.images = &images;
    parts.now = [] { return FixedTime(); };
    parts.language = [this] { return language; };
    pipeline = std::make_unique<CapturePipeline>(parts);
    clipboard.SetChangeHandler([this] {
      ++passes;
      pipeline->ProcessClipboardChange();
    });
  }

  void Copy(std::u16string_view text) { clipboard.PlaceTextFromOtherProgram(text); }
  void CopyImage(const RasterImage& image) {
    clipboard.PlaceFromOtherProgram({{kFormatBitmap, {}}}, &image);
  }
  std::u16string Clip() { return clipboard.ReadText(); }
  void On(Setting s) { settings.SetFlag(s, true); }
  void Set(Setting s, std::u16string text) { settings.SetText(s, std::move(text)); }

  CaptureSettings settings;
  MemoryClipboard clipboard;
  CaptureState state;
  DetailsModel details;
  ContentViewsModel views;
  HistoryModel history;
  std::vector<ReplacementRow> rows;
  RecordingImageActions images;
  Language language = Language::English;
  int passes = 0;  // notifications delivered, including absorbed ones
  std::unique_ptr<CapturePipeline> pipeline;
};

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    path_ = std::filesystem::temp_directory_path() /
            ("tallowin-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& Path() const { return path_; }
  std::u16string U16() const {
    const std::string s = path_.string();
    return std::u16string(s.begin(), s.end());
  }

 private:
  static inline int counter_ = 0;
  std::filesystem::path path_;
};

}  // namespace tallowin::testing
