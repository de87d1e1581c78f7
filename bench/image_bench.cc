// Times the image services on a 2048 x 2048 picture: saving and loading it in each
// output format, and one Point/Plot pass over every pixel. Files go to a temporary
// folder that is removed afterwards. Prints a small table.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "runtime/image/image.h"
#include "runtime/platform/file_system.h"

namespace {

using brasswick::ImageFormat;

double Milliseconds(const std::function<bool()>& work, bool* ok) {
  const auto start = std::chrono::steady_clock::now();
  *ok = work();
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::milli>(end - start).count();
}

}  // namespace

int main() {
  constexpr int kSide = 2048;
  char folder_template[] = "/tmp/image_bench.XXXXXX";
  if (mkdtemp(folder_template) == nullptr) return 1;
  const std::string folder = folder_template;

  brasswick::ImagePtr image = brasswick::CreateImage(kSide, kSide, 32);
  if (!image) return 1;
  // A smooth picture with a little noise: many distinct colours, so the palette case
  // runs the neural quantiser, and real work for the compressors.
  std::srand(1);
  for (int y = 0; y < kSide; ++y) {
    uint8_t* p = image->Row(y);
    for (int x = 0; x < kSide; ++x, p += 4) {
      p[0] = static_cast<uint8_t>(x / 8 + std::rand() % 8);
      p[1] = static_cast<uint8_t>(y / 8);
      p[2] = static_cast<uint8_t>((x + y) / 16);
      p[3] = static_cast<uint8_t>(255 - (x / 64));
    }
  }

  struct Case {
    const char* name;
    const char* file;
    ImageFormat format;
    int depth;
  } cases[] = {{"PNG RGBA", "a.png", ImageFormat::kPng, 32},
               {"PNG palette 8", "p.png", ImageFormat::kPng, 8},
               {"JPEG q9", "a.jpg", ImageFormat::kJpeg, 24},
               {"BMP 24", "a.bmp", ImageFormat::kBmp, 24}};

  std::printf("%-16s %10s %10s %12s\n", "case", "save ms", "load ms", "bytes");
  for (const Case& c : cases) {
    const std::string path = folder + "/" + c.file;
    bool saved = false, loaded = false;
    const double save_ms = Milliseconds(
        [&] { return brasswick::SaveImageFile(*image, path, c.format, 9, c.depth).ok; }, &saved);
    const double load_ms =
        Milliseconds([&] { return brasswick::LoadImageFile(path) != nullptr; }, &loaded);
    const int64_t size = brasswick::FileSize(path);
    std::printf("%-16s %10.1f %10.1f %12lld%s\n", c.name, save_ms, load_ms,
                static_cast<long long>(size), saved && loaded ? "" : "  FAILED");
    std::remove(path.c_str());
  }

  bool ok = false;
  uint64_t checksum = 0;
  const double pass_ms = Milliseconds(
      [&] {
        brasswick::ImageDrawing drawing(*image);
        for (int y = 0; y < kSide; ++y) {
          for (int x = 0; x < kSide; ++x) {
            const brasswick::ColorValue c = drawing.Point(x, y);
            checksum += static_cast<uint64_t>(c);
            drawing.Plot(x, y, c ^ 0xFF);
          }
        }
        return true;
      },
      &ok);
  std::printf("%-16s %10.1f %10s %12llu\n", "Point+Plot pass", pass_ms, "-",
              static_cast<unsigned long long>(checksum % 1000000));
  rmdir(folder.c_str());
  return 0;
}
