#pragma once
// Tcutauswahl: the dialog in which the cut-out of a captured picture is dragged
// with the mouse. The picture is shown at full size in a scroll box; the
// selection outline is XORed into the shown picture itself, so drawing it a
// second time erases it and the picture is never repainted from a copy. The
// marquee logic lives in MarqueeSelection; this class supplies the widgets.

#include <QDialog>
#include <QImage>
#include <array>

#include "settings/capture_settings.h"
#include "image/image_steps.h"
#include "image/marquee_selection.h"

class QComboBox;
class QKeyEvent;
class QLabel;
class QPushButton;
class QScrollArea;

namespace tallowin {

class MarqueePicture;

class MarqueeCutDialog : public QDialog, public MarqueeDialog, private MarqueeView {
  Q_OBJECT

 public:
  MarqueeCutDialog(Language language, QWidget* parent = nullptr);
  ~MarqueeCutDialog() override;

  // Shows the picture modally and waits until the dialog closes. Called while
  // the dialog is open (a newer copy's pass), it shows the newer picture in
  // the open dialog and waits for the same close. std::nullopt once withdrawn.
  std::optional<MarginTexts> ChooseCutout(const RasterImage& picture) override;
  void Withdraw() override;
  // Sprache: the texts of `language`.
  void Sprache(Language language);

 private:
  // MarqueeView
  void DrawSelectionRect(const SelectionRect& rect) override;
  void ConfinePointer(std::int32_t width, std::int32_t height) override;
  void ReleasePointer() override;
  ScrollState Scroll() const override;
  void ScrollTo(std::int32_t horizontal, std::int32_t vertical) override;
  void SetTitle(const std::u16string& title) override;
  MarginTexts Margins() const override;
  void SetMargins(const MarginTexts& margins) override;
  void FocusOk() override;

  // Escape cancels, as the Cancel button does; the close box keeps its meaning.
  void keyPressEvent(QKeyEvent* event) override;
  void ShowPicture(const RasterImage& picture);
  void Cancel();

  MarqueeSelection selection_{*this};
  MarqueePicture* bild_ = nullptr;
  QScrollArea* scrollBox2_ = nullptr;
  std::array<QLabel*, 4> labels_{};
  std::array<QComboBox*, 4> margins_{};  // left, right, top, bottom
  QPushButton* abbrechen_ = nullptr;
  QPushButton* button1_ = nullptr;
  bool settingMargins_ = false;
  bool pointerGrabbed_ = false;
  bool withdrawn_ = false;  // closed by Withdraw: no choice was made
};

}  // namespace tallowin
