#include "ui/picture_view.h"

#include <QPaintEvent>
#include <QPainter>

#include "ui/raster_qimage.h"

namespace tallowin {

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
  // Everything not covered by the picture shows the scroll box's ground.
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

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
