#include "forms/cube_spin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

TEST(CubeGeometryTest, AnglesScaleAndProjection)
{
  TCubeGeometry cube;
  cube.SetAngles(-10, 720, 365);
  EXPECT_EQ(cube.XSpin(), 350);
  EXPECT_EQ(cube.YSpin(), 0);
  EXPECT_EQ(cube.ZSpin(), 5);

  cube.Resize(65, 70);
  EXPECT_EQ(cube.Scale(), 16);
  EXPECT_EQ(cube.Distance(), 128);
  EXPECT_EQ(cube.Centre(), (TCubePoint{32, 35}));
  // Perspective divisions truncate toward zero: -160 / 128 is -1, not -2.
  cube.SetOptions(cdoErase);
  EXPECT_EQ(cube.Project({-16, 5, 10}), (TCubePoint{15, 40}));
  EXPECT_EQ(cube.Project({16, -16, 16}), (TCubePoint{50, 17}));
  // cdoFaces brings cdoHide, which drops the perspective term.
  cube.SetOptions(cdoFaces);
  EXPECT_EQ(cube.Options(), cdoFaces | cdoHide);
  EXPECT_EQ(cube.Project({-16, 5, 10}), (TCubePoint{16, 40}));

  // Under 4 pixels there is no cube to draw, and nothing divides by zero.
  cube.Resize(3, 100);
  EXPECT_TRUE(cube.Faces().empty());
  cube.SetOptions(cdoShade);
  EXPECT_TRUE(cube.Edges().empty());
}

TEST(CubeGeometryTest, RotationKeepsTheCubeAndQuarterTurnIsExact)
{
  TCubeGeometry cube;
  cube.Resize(64, 64);  // s = 16
  cube.SetAngles(0, 0, 90);
  // A quarter turn about z: (x, y, z) -> (-y, x, z).
  const auto& r = cube.Rotated();
  EXPECT_EQ(r[1], (TCubeVertex{-16, -16, -16}));
  EXPECT_EQ(r[6], (TCubeVertex{-16, 16, 16}));
  EXPECT_EQ(cube.Hidden(), 0);

  // Any rotation keeps every vertex at the corner's distance and the hidden
  // vertex is the first of the smallest z.
  std::mt19937 rng(7);
  for (int n = 0; n < 200; ++n) {
    cube.SetAngles(rng() % 720 - 360, rng() % 720 - 360, rng() % 720 - 360);
    const auto rotated = cube.Rotated();
    int lowest = 0;
    for (int i = 0; i < 8; ++i) {
      const auto& v = rotated[i];
      EXPECT_NEAR(std::sqrt(double(v.X * v.X + v.Y * v.Y + v.Z * v.Z)), 16 * std::sqrt(3.0), 1.5);
      if (v.Z < rotated[lowest].Z)
        lowest = i;
    }
    EXPECT_EQ(cube.Hidden(), lowest);
  }
}

TEST(CubeGeometryTest, FacesSkipTheHiddenVertexAndTakeTheirColours)
{
  TCubeGeometry cube;
  cube.Resize(64, 64);
  cube.SetAngles(0, 0, 0);  // vertex 0 is hidden: three faces remain
  struct Case {
    TCubeDrawOptions options;
    uint8_t rgb[3][3];
  };
  const Case cases[] = {
      // Head-on face (4,5,6,7) at full light, the two edge-on ones darker.
      {cdoFaces | cdoShade | cdoColor, {{127, 63, 255}, {63, 31, 127}, {63, 31, 127}}},
      {cdoFaces | cdoShade, {{255, 255, 255}, {127, 127, 127}, {127, 127, 127}}},
      {cdoFaces | cdoColor, {{0, 64, 128}, {64, 128, 128}, {128, 192, 192}}},
      {cdoFaces, {{86, 86, 86}, {102, 102, 102}, {183, 183, 183}}},
  };
  for (const Case& c : cases) {
    cube.SetOptions(c.options);
    const auto faces = cube.Faces();
    ASSERT_EQ(faces.size(), 3u);
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ((std::array{faces[k].Red, faces[k].Green, faces[k].Blue}),
                (std::array{c.rgb[k][0], c.rgb[k][1], c.rgb[k][2]}))
          << int(c.options) << " face " << k;
  }
  // Wire frame: the three edges at the hidden vertex are left out.
  cube.SetOptions(cdoHide);
  EXPECT_EQ(cube.Edges().size(), 9u);
  cube.SetOptions(0);
  EXPECT_EQ(cube.Edges().size(), 12u);
}

TEST(CubeBreathTest, OneCycleStaysCentredBetween19And67)
{
  TCubeBreath breath;
  int minWidth = breath.Width, maxWidth = breath.Width, spins = 0;
  do {
    breath.Spin();
    ++spins;
    EXPECT_EQ(breath.Width, breath.Height);
    EXPECT_EQ(2 * breath.Left + breath.Width, 81);  // centred in 8 + 65 + 8
    minWidth = std::min(minWidth, breath.Width);
    maxWidth = std::max(maxWidth, breath.Width);
  } while (!(breath.Width == 65 && breath.SizeStep == -1) && spins < 1000);
  EXPECT_EQ(spins, 48);
  EXPECT_EQ(minWidth, 19);
  EXPECT_EQ(maxWidth, 67);
}
