#include "runtime/image/neuquant.h"

#include <algorithm>
#include <cmath>

#include "runtime/image/encoder_input.h"

namespace brasswick {

namespace {

constexpr double kGamma = 1.8;
constexpr int kCycles = 100;
// Conscience: each neuron's frequency decays by kBeta per sample and its bias grows
// with it, so a neuron that wins too often is handicapped in the next contests.
constexpr double kBeta = 1.0 / 1024.0;
constexpr double kBiasGain = 1024.0;
// Strides for the scattered visiting order; one of them does not divide the pixel
// count, so the walk reaches every pixel before repeating.
constexpr int64_t kPrimes[] = {499, 491, 487, 503};

struct Neuron {
  double channel[4];
  double frequency;
  double bias;
};

class Network {
 public:
  explicit Network(int size) : neurons_(static_cast<size_t>(size)) {
    for (int i = 0; i < size; ++i) {
      Neuron& n = neurons_[static_cast<size_t>(i)];
      const double grey = 255.0 * i / (size - 1);
      n.channel[0] = n.channel[1] = n.channel[2] = grey;
      n.channel[3] = 255.0;
      n.frequency = 1.0 / size;
      n.bias = 0.0;
    }
  }

  // Picks the neuron to train: the best match after the conscience handicap. The plain
  // best match has its frequency raised.
  int Contest(const double sample[4]) {
    double best = 1e300;
    double best_biased = 1e300;
    int best_index = 0;
    int best_biased_index = 0;
    for (size_t i = 0; i < neurons_.size(); ++i) {
      Neuron& n = neurons_[i];
      const double distance =
          std::fabs(n.channel[0] - sample[0]) + std::fabs(n.channel[1] - sample[1]) +
          std::fabs(n.channel[2] - sample[2]) + std::fabs(n.channel[3] - sample[3]);
      if (distance < best) {
        best = distance;
        best_index = static_cast<int>(i);
      }
      const double biased = distance - n.bias;
      if (biased < best_biased) {
        best_biased = biased;
        best_biased_index = static_cast<int>(i);
      }
      const double decay = n.frequency * kBeta;
      n.frequency -= decay;
      n.bias += decay * kBiasGain;
    }
    neurons_[static_cast<size_t>(best_index)].frequency += kBeta;
    neurons_[static_cast<size_t>(best_index)].bias -= kBeta * kBiasGain;
    return best_biased_index;
  }

  // Moves the winner by rate and its chain neighbours within radius by a rate falling
  // off with the square of their distance along the chain.
  void Train(int winner, const double sample[4], double rate, double radius) {
    const int size = static_cast<int>(neurons_.size());
    const int reach = static_cast<int>(radius);
    const int first = std::max(0, winner - reach);
    const int last = std::min(size - 1, winner + reach);
    for (int i = first; i <= last; ++i) {
      const double offset = i - winner;
      const double weight =
          i == winner ? rate : rate * (1.0 - (offset * offset) / (radius * radius));
      if (weight <= 0.0) continue;
      Neuron& n = neurons_[static_cast<size_t>(i)];
      for (int c = 0; c < 4; ++c) n.channel[c] += weight * (sample[c] - n.channel[c]);
    }
  }

  const std::vector<Neuron>& neurons() const { return neurons_; }

 private:
  std::vector<Neuron> neurons_;
};

}  // namespace

int NeuQuantSampleStep(int64_t pixel_count) {
  return static_cast<int>(std::min<int64_t>(1 + pixel_count / 262144, 10));
}

std::vector<Rgba> LearnColorTable(const EncoderInput& input, int colors, int sample_step) {
  colors = std::clamp(colors, 2, 256);
  sample_step = std::max(sample_step, 1);
  double to_gamma[256];
  for (int v = 0; v < 256; ++v) to_gamma[v] = 255.0 * std::pow(v / 255.0, 1.0 / kGamma);

  const int64_t width = input.width();
  const int64_t pixel_count = width * input.height();
  int64_t stride = kPrimes[0];
  for (int64_t prime : kPrimes) {
    if (pixel_count % prime != 0) {
      stride = prime;
      break;
    }
  }
  // Small pictures are walked more than once so that every neuron gets trained.
  const int64_t samples = std::max<int64_t>(pixel_count / sample_step, int64_t{colors} * 16);
  const int64_t per_cycle = std::max<int64_t>(samples / kCycles, 1);

  Network network(colors);
  double rate = 1.0;
  double radius = std::max(colors / 8.0, 1.0);
  // Over the kCycles cycles the rate falls to about 1/50 and the radius to about 1/20.
  const double rate_decay = std::pow(0.02, 1.0 / kCycles);
  const double radius_decay = std::pow(0.05, 1.0 / kCycles);
  int64_t position = 0;
  for (int64_t s = 0; s < samples; ++s) {
    uint8_t rgba[4];
    input.Pixel(static_cast<int>(position % width), static_cast<int>(position / width), rgba);
    const double sample[4] = {to_gamma[rgba[0]], to_gamma[rgba[1]], to_gamma[rgba[2]],
                              static_cast<double>(rgba[3])};
    const int winner = network.Contest(sample);
    network.Train(winner, sample, rate, radius);
    position = (position + stride) % pixel_count;
    if ((s + 1) % per_cycle == 0) {
      rate *= rate_decay;
      radius *= radius_decay;
    }
  }

  std::vector<Rgba> table;
  table.reserve(static_cast<size_t>(colors));
  for (const Neuron& n : network.neurons()) {
    Rgba entry;
    for (int c = 0; c < 3; ++c) {
      const double linear = 255.0 * std::pow(std::clamp(n.channel[c], 0.0, 255.0) / 255.0, kGamma);
      entry[static_cast<size_t>(c)] = static_cast<uint8_t>(std::lround(linear));
    }
    entry[3] = static_cast<uint8_t>(std::lround(std::clamp(n.channel[3], 0.0, 255.0)));
    table.push_back(entry);
  }
  return table;
}

}  // namespace brasswick
