// A bitmap: a surface with its own canvas, a monochrome flag with conversion, the transparent
// colour rule, and a change notification that fires on every change (assigning, resizing,
// drawing through its canvas).
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/canvas.h"
#include "platform/ui/surface.h"

namespace classes {
class TStream;
}

namespace ui {

enum TTransparentMode { tmAuto, tmFixed };

class TBitmap {
 public:
  TBitmap();
  TBitmap(int width, int height);
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;
  ~TBitmap();

  int Width() const { return surface_.width; }
  int Height() const { return surface_.height; }
  // Resizing keeps the old pixels at the top left and fills new room with the canvas's brush.
  void SetWidth(int w) { SetSize(w, Height()); }
  void SetHeight(int h) { SetSize(Width(), h); }
  void SetSize(int w, int h);
  bool Empty() const { return surface_.width == 0 || surface_.height == 0; }

  TCanvas& Canvas() { return *canvas_; }
  const Surface& Pixels() const { return surface_; }
  Surface& Pixels() { return surface_; }

  // Colour -> monochrome: pixels equal (as RGB) to the canvas's background colour (its brush
  // colour) become white, all others black. Monochrome -> colour: 0 bits take the canvas's
  // text colour (its font colour), 1 bits its background colour.
  bool Monochrome() const { return surface_.monochrome; }
  void SetMonochrome(bool v);

  // Explicit colour, white for a monochrome bitmap, else the bottom-left pixel (with the
  // palette-relative flag, as the class library reports it).
  TColor TransparentColor() const;
  void SetTransparentColor(TColor c);
  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode m);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);

  void Assign(const TBitmap& other);
  // Device resources have no meaning for a software bitmap; kept for callers that ask.
  void Dormant() {}
  void FreeImage() {}
  void ReleaseHandle() {}
  void MakeDeviceDependent() {}

  // Writes a BMP file (host path, for screenshots and debugging): 24 bits, 1 when monochrome.
  bool SaveToBmpFile(const std::string& hostPath) const;
  // A BMP image from the stream's position to its end (a bad one raises and changes nothing),
  // and the same form written at the stream's position.
  void LoadFromStream(classes::TStream& stream);
  void SaveToStream(classes::TStream& stream) const;

  std::function<void()> OnChange;

 private:
  void Changed();

  Surface surface_;
  std::unique_ptr<TCanvas> canvas_;
  TColor transparentColor_ = clDefault;
  TTransparentMode transparentMode_ = tmAuto;
  bool transparent_ = false;
};

}  // namespace ui
