// A colour table learnt by a Kohonen self-organising map over RGBA samples, in the
// manner of the NeuQuant quantiser: the neurons form a one-dimensional chain; each
// sample pulls its winning neuron and the winner's neighbours along the chain towards
// itself, with a learning rate and a neighbourhood radius that shrink as training goes
// on, and a frequency bias ("conscience") that keeps rarely winning neurons in play.
// Colour channels are learnt in a gamma-1.8 space so that dark shades get their share
// of the table; alpha is learnt as it is.
#ifndef BRASSWICK_RUNTIME_IMAGE_NEUQUANT_H_
#define BRASSWICK_RUNTIME_IMAGE_NEUQUANT_H_

#include <array>
#include <cstdint>
#include <vector>

namespace brasswick {

class EncoderInput;

using Rgba = std::array<uint8_t, 4>;

// The sampling step for a picture of pixel_count pixels: 1 + pixel_count / 262144,
// at most 10.
int NeuQuantSampleStep(int64_t pixel_count);

// Learns a table of exactly `colors` entries (2..256) from the input's pixels, visiting
// every sample_step-th pixel in a scattered order.
std::vector<Rgba> LearnColorTable(const EncoderInput& input, int colors, int sample_step);

}  // namespace brasswick

#endif  // BRASSWICK_RUNTIME_IMAGE_NEUQUANT_H_
