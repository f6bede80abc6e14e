#pragma once
// The content area of the main window: the text view display_txt, the image
// view display_img in its scroll box, the page shown and the tab strip.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "image/raster_image.h"

namespace tallowin {

enum class ContentPage { Text, Image };

class ContentViewsModel {
 public:
  ContentViewsModel() : tabs_{u"Text", u"Details"} {}

  // The text view is emptied at the start of every processed change.
  void ClearText();
  // Adds `text` as a new line of the text view (followed by CR LF).
  void AddTextLine(std::u16string_view text);
  void ShowPage(ContentPage page);
  void SetTabs(std::u16string first, std::u16string second);  // and selects the first
  // The picture keeps being shown until a new one arrives; the scroll ranges follow it.
  void ShowImage(RasterImage image);

  const std::u16string& Text() const { return text_; }
  ContentPage Page() const { return page_; }
  const std::vector<std::u16string>& Tabs() const { return tabs_; }
  int SelectedTab() const { return selectedTab_; }
  void SelectTab(int index);
  const std::optional<RasterImage>& Image() const { return image_; }
  std::int32_t VerticalRange() const { return image_ ? image_->height : 0; }
  std::int32_t HorizontalRange() const { return image_ ? image_->width : 0; }

  std::function<void()> onChanged;

 private:
  void Changed() {
    if (onChanged) onChanged();
  }
  std::u16string text_;
  ContentPage page_ = ContentPage::Text;
  std::vector<std::u16string> tabs_;
  int selectedTab_ = 0;
  std::optional<RasterImage> image_;
};

}  // namespace tallowin
