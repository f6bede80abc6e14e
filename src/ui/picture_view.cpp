#include "ui/picture_view.h"

#include <QPaintEvent>
#include <QPainter>

#include "backends/raster_qimage.h"

namespace tallowin {

PictureView::PictureView(QWidget* parent) : QLabel(parent) {}

void PictureView::SetPicture(SharedRaster picture) {
  image_ = QImageSharingRaster(std::move(picture));
  resize(image_.size());
  update();
}

QSize PictureView::sizeHint() const { return image_.size(); }

void PictureView::paintEvent(QPaintEvent* event) {
  if (image_.isNull()) return;
  QPainter painter(this);
  const QRect area = event->rect() & image_.rect();
  if (!area.isEmpty()) painter.drawImage(area.topLeft(), image_, area);
}

}  // namespace tallowin
