#pragma once
// The image view's canvas: paints the part of the picture that is visible, from
// the picture's own pixels. A label's pixmap would first copy and convert the
// whole picture on the GUI thread (130 MB and most of a second for a
// 5790 x 5790 picture) each time a new one is shown. It stays a label for
// screen readers, as the view always was.

#include <QImage>
#include <QLabel>

#include "base/raster_image.h"

namespace tallowin {

class PictureView : public QLabel {
 public:
  explicit PictureView(QWidget* parent = nullptr);

  // Shows `picture` (null: nothing) at its own size, top left.
  void SetPicture(SharedRaster picture);
  // What is shown, sharing the picture's pixels.
  const QImage& Image() const { return image_; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
};

}  // namespace tallowin
