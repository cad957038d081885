// The geometry and colours of the spinning cube: a wire-frame or faced cube
// rotated by three angles, projected into a client area and drawn as a list
// of lines or filled polygons. The control that paints it lives in the
// workbench; everything it draws is decided here.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

enum TCubeDrawOption : uint8_t {
  cdoErase = 1, cdoHide = 2, cdoDblBuf = 4, cdoAuto = 8, cdoFaces = 16, cdoShade = 32, cdoColor = 64,
};
using TCubeDrawOptions = uint8_t;
inline constexpr TCubeDrawOptions kDefaultCubeOptions =
    cdoErase | cdoHide | cdoDblBuf | cdoFaces | cdoShade | cdoColor;

struct TCubeVertex {
  int32_t X = 0, Y = 0, Z = 0;
  bool operator==(const TCubeVertex&) const = default;
};

struct TCubePoint {
  int32_t X = 0, Y = 0;
  bool operator==(const TCubePoint&) const = default;
};

struct TCubeEdge {
  TCubePoint From, To;
};

struct TCubeFace {
  std::array<TCubePoint, 4> Points;
  uint8_t Red = 0, Green = 0, Blue = 0;
};

// Sine and cosine of whole degrees from a table of 32-bit floats.
float CubeSine(int32_t degrees);
float CubeCosine(int32_t degrees);

class TCubeGeometry {
public:
  TCubeGeometry();

  int32_t XSpin() const { return angles_[0]; }
  int32_t YSpin() const { return angles_[1]; }
  int32_t ZSpin() const { return angles_[2]; }
  // Stores the three angles brought into 0..359.
  void SetAngles(int32_t x, int32_t y, int32_t z);
  // One step: SpinInc added to every angle whose switch is on.
  void Step();

  int32_t SpinInc = 5;
  bool XSpinOn = true, YSpinOn = false, ZSpinOn = true;

  TCubeDrawOptions Options() const { return options_; }
  // cdoFaces brings cdoHide with it.
  void SetOptions(TCubeDrawOptions options);

  // The client area changed: scale, centre and perspective distance anew.
  void Resize(int32_t width, int32_t height);
  int32_t Scale() const { return scale_; }
  int32_t Distance() const { return distance_; }
  TCubePoint Centre() const { return centre_; }

  // The vertices turned by the current angles; with cdoHide also the hidden
  // vertex (the first with the smallest z), else -1.
  const std::array<TCubeVertex, 8>& Rotated();
  int32_t Hidden();
  TCubePoint Project(const TCubeVertex& v) const;

  // What a paint draws, in drawing order; nothing when the area is too
  // small for a cube (scale 0).
  std::vector<TCubeEdge> Edges();
  std::vector<TCubeFace> Faces();

private:
  void rotate();

  std::array<int32_t, 3> angles_{0, 0, 0};
  TCubeDrawOptions options_ = kDefaultCubeOptions;
  std::array<TCubeVertex, 8> vertices_{};
  std::array<TCubeVertex, 8> rotated_{};
  int32_t hidden_ = -1;
  int32_t scale_ = 0;
  int32_t distance_ = 0;
  TCubePoint centre_;
};

// The About box's breathing cube: its bounds and size step. Each change of
// the angles moves the bounds one step; the cube stays centred and its size
// swings between 19 and 67 pixels.
struct TCubeBreath {
  int32_t Left = 8, Top = 8, Width = 65, Height = 65;
  int32_t SizeStep = -1;
  void Reset();
  void Spin();
};
