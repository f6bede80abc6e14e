#pragma once
// The marquee of the cut-out dialog without any window toolkit: the selection
// rectangle, the drag with the mouse, auto-scrolling, the title readout and the
// two-way link between the rectangle and the four margin boxes. The dialog
// supplies a MarqueeView and forwards its picture's mouse events here.
//
// Invariant: the rectangle in `Rect()` is drawn on the shown picture exactly
// once. Drawing is XOR, so every change is erase (draw the old rectangle),
// change, draw the new one, and the picture is never repainted from a copy.

#include <cstdint>
#include <string>

#include "image/image_steps.h"

namespace tallowin {

struct SelectionRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const SelectionRect&, const SelectionRect&) = default;
};

// Scroll box geometry as the view reports it.
struct ScrollState {
  std::int32_t horizontalPosition = 0;
  std::int32_t verticalPosition = 0;
  std::int32_t horizontalRange = 0;  // the picture width
  std::int32_t verticalRange = 0;    // the picture height
  std::int32_t boxWidth = 0;         // the visible part of the scroll box
  std::int32_t boxHeight = 0;
};

class MarqueeView {
 public:
  virtual ~MarqueeView() = default;
  // Draws the outline from (left, top) to (right, bottom) in XOR; a second
  // identical call restores the pixels.
  virtual void DrawSelectionRect(const SelectionRect& rect) = 0;
  // Keeps the pointer inside the picture (picture pixels 0..width, 0..height) until released.
  virtual void ConfinePointer(std::int32_t width, std::int32_t height) = 0;
  virtual void ReleasePointer() = 0;
  virtual ScrollState Scroll() const = 0;
  // Positions are clamped by the view to what its range allows.
  virtual void ScrollTo(std::int32_t horizontal, std::int32_t vertical) = 0;
  virtual void SetTitle(const std::u16string& title) = 0;
  virtual MarginTexts Margins() const = 0;
  // Sets the four boxes; the view must not call MarginsChanged for these changes
  // (the rectangle is already where the texts put it).
  virtual void SetMargins(const MarginTexts& margins) = 0;
  virtual void FocusOk() = 0;
};

enum class MouseButton { Left, Right, Middle };

class MarqueeSelection {
 public:
  // `view` must outlive this object.
  explicit MarqueeSelection(MarqueeView& view) : view_(view) {}

  // A new picture is shown: the kept rectangle is drawn on it once.
  void ShowPicture(std::int32_t width, std::int32_t height);

  void MouseDown(MouseButton button, std::int32_t x, std::int32_t y);
  void MouseMove(std::int32_t x, std::int32_t y);
  void MouseUp();
  // One of the four margin boxes changed: when all four are integers the
  // rectangle follows them.
  void MarginsChanged();
  // Cancel: all four margins "0".
  void Cancel();

  const SelectionRect& Rect() const { return rect_; }
  bool Selecting() const { return selecting_; }

 private:
  void Redraw(const SelectionRect& next);

  MarqueeView& view_;
  SelectionRect rect_;
  bool selecting_ = false;
  bool autoScrollArmed_ = false;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
};

// The title readout "x:y h:v 0:range" during a drag.
std::u16string MarqueeTitle(std::int32_t x, std::int32_t y, const ScrollState& scroll);

}  // namespace tallowin
