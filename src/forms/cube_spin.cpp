#include "forms/cube_spin.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr std::array<TCubeVertex, 8> kUnitCube{{
    {-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1},
    {-1, -1, 1}, {-1, 1, 1}, {1, 1, 1}, {1, -1, 1},
}};
constexpr int kEdges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                               {6, 7}, {7, 4}, {4, 0}, {5, 1}, {6, 2}, {7, 3}};
constexpr int kFaces[6][4] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 5, 4},
                              {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};

int32_t Normalised(int32_t degrees)
{
  const int32_t r = degrees % 360;
  return r < 0 ? r + 360 : r;
}

const std::array<float, 360>& SineTable()
{
  static const std::array<float, 360> table = [] {
    std::array<float, 360> t{};
    for (int i = 0; i < 360; ++i)
      t[i] = static_cast<float>(std::sin(i * std::numbers::pi / 180.0));
    return t;
  }();
  return table;
}

int32_t Nearest(float value)
{
  return static_cast<int32_t>(std::nearbyint(value));
}

}  // namespace

float CubeSine(int32_t degrees)
{
  return SineTable()[Normalised(degrees)];
}

float CubeCosine(int32_t degrees)
{
  return CubeSine(90 - Normalised(degrees));
}

TCubeGeometry::TCubeGeometry()
{
  Resize(0, 0);
}

void TCubeGeometry::SetAngles(int32_t x, int32_t y, int32_t z)
{
  angles_ = {Normalised(x), Normalised(y), Normalised(z)};
}

void TCubeGeometry::Step()
{
  SetAngles(XSpin() + (XSpinOn ? SpinInc : 0), YSpin() + (YSpinOn ? SpinInc : 0),
            ZSpin() + (ZSpinOn ? SpinInc : 0));
}

void TCubeGeometry::SetOptions(TCubeDrawOptions options)
{
  options_ = (options & cdoFaces) ? static_cast<TCubeDrawOptions>(options | cdoHide) : options;
}

void TCubeGeometry::Resize(int32_t width, int32_t height)
{
  scale_ = std::max(0, std::min(width, height) / 4);
  centre_ = {width / 2, height / 2};
  distance_ = 8 * scale_;
  for (size_t i = 0; i < vertices_.size(); ++i)
    vertices_[i] = {kUnitCube[i].X * scale_, kUnitCube[i].Y * scale_, kUnitCube[i].Z * scale_};
}

void TCubeGeometry::rotate()
{
  const float sx = CubeSine(XSpin()), cx = CubeCosine(XSpin());
  const float sy = CubeSine(YSpin()), cy = CubeCosine(YSpin());
  const float sz = CubeSine(ZSpin()), cz = CubeCosine(ZSpin());
  const float m[3][3] = {
      {cy * cz, -cy * sz, -sy},
      {-sx * sy * cz + cx * sz, sx * sy * sz + cx * cz, -sx * cy},
      {cx * sy * cz + sx * sz, -cx * sy * sz + sx * cz, cx * cy},
  };
  hidden_ = -1;
  for (size_t i = 0; i < vertices_.size(); ++i) {
    const float x = static_cast<float>(vertices_[i].X);
    const float y = static_cast<float>(vertices_[i].Y);
    const float z = static_cast<float>(vertices_[i].Z);
    TCubeVertex& r = rotated_[i];
    r.X = Nearest(m[0][0] * x + m[0][1] * y + m[0][2] * z);
    r.Y = Nearest(m[1][0] * x + m[1][1] * y + m[1][2] * z);
    r.Z = Nearest(m[2][0] * x + m[2][1] * y + m[2][2] * z);
    if ((options_ & cdoHide) && (hidden_ < 0 || r.Z < rotated_[hidden_].Z))
      hidden_ = static_cast<int32_t>(i);
  }
}

const std::array<TCubeVertex, 8>& TCubeGeometry::Rotated()
{
  rotate();
  return rotated_;
}

int32_t TCubeGeometry::Hidden()
{
  rotate();
  return hidden_;
}

TCubePoint TCubeGeometry::Project(const TCubeVertex& v) const
{
  if ((options_ & cdoHide) || distance_ == 0)
    return {v.X + centre_.X, v.Y + centre_.Y};
  return {v.X * v.Z / distance_ + v.X + centre_.X, v.Y * v.Z / distance_ + v.Y + centre_.Y};
}

std::vector<TCubeEdge> TCubeGeometry::Edges()
{
  std::vector<TCubeEdge> edges;
  if (scale_ == 0)
    return edges;
  rotate();
  for (const auto& e : kEdges) {
    if (e[0] == hidden_ || e[1] == hidden_)
      continue;
    edges.push_back({Project(rotated_[e[0]]), Project(rotated_[e[1]])});
  }
  return edges;
}

std::vector<TCubeFace> TCubeGeometry::Faces()
{
  std::vector<TCubeFace> faces;
  if (scale_ == 0)
    return faces;
  rotate();
  for (const auto& f : kFaces) {
    if (std::find(std::begin(f), std::end(f), hidden_) != std::end(f))
      continue;
    TCubeFace face;
    int32_t zMin = rotated_[f[0]].Z, zMax = zMin;
    for (int k = 0; k < 4; ++k) {
      face.Points[k] = Project(rotated_[f[k]]);
      zMin = std::min(zMin, rotated_[f[k]].Z);
      zMax = std::max(zMax, rotated_[f[k]].Z);
    }
    if (options_ & cdoShade) {
      const int32_t shade = std::max(0, 255 - (zMax - zMin) * 64 / scale_);
      if (options_ & cdoColor) {
        face.Red = static_cast<uint8_t>(shade / 2);
        face.Green = static_cast<uint8_t>(shade / 4);
        face.Blue = static_cast<uint8_t>(shade);
      } else {
        face.Red = face.Green = face.Blue = static_cast<uint8_t>(shade);
      }
    } else if (options_ & cdoColor) {
      face.Red = static_cast<uint8_t>(64 * f[0]);
      face.Green = static_cast<uint8_t>(64 * f[1]);
      face.Blue = static_cast<uint8_t>(64 * f[2]);
    } else {
      face.Red = face.Green = face.Blue = static_cast<uint8_t>((64 * f[0] + 16 * f[1] + f[2]) % 256);
    }
    faces.push_back(face);
  }
  return faces;
}

void TCubeBreath::Reset()
{
  *this = TCubeBreath{};
}

void TCubeBreath::Spin()
{
  Left -= SizeStep;
  Top -= SizeStep;
  Width += 2 * SizeStep;
  Height += 2 * SizeStep;
  if (Width < 20)
    SizeStep = 1;
  else if (Width > 65)
    SizeStep = -1;
}
