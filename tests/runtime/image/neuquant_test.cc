// The neural colour quantiser on pictures with more colours than its table.
#include "runtime/image/neuquant.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "runtime/image/encoder_input.h"
#include "runtime/image/image.h"

namespace brasswick {
namespace {

TEST(NeuQuant, SampleStepFollowsPixelCount) {
  EXPECT_EQ(NeuQuantSampleStep(1), 1);
  EXPECT_EQ(NeuQuantSampleStep(262143), 1);
  EXPECT_EQ(NeuQuantSampleStep(262144), 2);
  EXPECT_EQ(NeuQuantSampleStep(2048 * 2048), 10);
}

// Four flat colours with noise: thousands of distinct colours, four clusters.
ImagePtr NoisyQuarters() {
  ImagePtr image = CreateImage(64, 64, 24);
  const int centres[4][3] = {{200, 30, 30}, {30, 200, 30}, {30, 30, 200}, {220, 220, 220}};
  std::srand(7);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const int* c = centres[(y / 32) * 2 + x / 32];
      uint8_t* p = image->Row(y) + x * 3;
      for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>(c[i] + std::rand() % 21 - 10);
    }
  }
  return image;
}

TEST(NeuQuant, LearnsATableNearTheClusters) {
  ImagePtr image = NoisyQuarters();
  EncoderInput input(*image, false);
  const std::vector<Rgba> table = LearnColorTable(input, 16, 1);
  ASSERT_EQ(table.size(), 16u);
  // Every pixel has an entry within a modest distance.
  long worst = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const uint8_t* p = image->Row(y) + x * 3;
      long best = 1L << 30;
      for (const Rgba& e : table) {
        long d = 0;
        for (int i = 0; i < 3; ++i) d += (p[i] - e[i]) * (p[i] - e[i]);
        d += (255 - e[3]) * (255 - e[3]);
        best = std::min(best, d);
      }
      worst = std::max(worst, best);
    }
  }
  EXPECT_LT(worst, 3 * 20 * 20);
}

TEST(NeuQuant, PalettePngOfManyColoursUsesAtMostTheTable) {
  ImagePtr image = NoisyQuarters();
  for (int depth : {2, 8}) {
    std::optional<std::vector<uint8_t>> png =
        EncodeImageToMemory(*image, ImageFormat::kPng, 7, depth);
    ASSERT_TRUE(png);
    ImagePtr back = LoadImageFromMemory(png->data(), png->size());
    ASSERT_TRUE(back);
    std::set<std::vector<int>> colors;
    long error = 0;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) {
        const uint8_t* p = back->Row(y) + x * 3;
        colors.insert({p[0], p[1], p[2]});
        for (int i = 0; i < 3; ++i) error += std::abs(p[i] - image->Row(y)[x * 3 + i]);
      }
    }
    EXPECT_LE(colors.size(), size_t{1} << depth);
    // Four clusters fit even four entries: the mean error stays near the noise.
    EXPECT_LT(error / (64 * 64 * 3), 16) << depth;
  }
}

}  // namespace
}  // namespace brasswick
