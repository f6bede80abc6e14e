#include "history/content_views_model.h"

namespace tallowin {

void ContentViewsModel::ClearText() {
  text_.clear();
  Changed();
}

void ContentViewsModel::AddTextLine(std::u16string_view text) {
  text_.append(text);
  text_.append(u"\r\n");
  Changed();
}

void ContentViewsModel::ShowPage(ContentPage page) {
  page_ = page;
  Changed();
}

void ContentViewsModel::SetTabs(std::u16string first, std::u16string second) {
  tabs_ = {std::move(first), std::move(second)};
  selectedTab_ = 0;
  Changed();
}

void ContentViewsModel::SelectTab(int index) {
  selectedTab_ = index;
  Changed();
}

void ContentViewsModel::ShowImage(RasterImage image) {
  image_ = std::move(image);
  Changed();
}

}  // namespace tallowin
