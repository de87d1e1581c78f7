// Where a command must refuse rather than write: an export aimed at its own cartridge,
// a copy whose confirmation must name the file really written, a picture past the size
// limit or at a depth the format cannot hold, and a run that exhausts its memory.
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/cart_builder.h"
#include "e2e/png_writer.h"
#include "gtest/gtest.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::CartPictures;
using testing::FolderNames;
using testing::PathExists;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::RunOptions;
using testing::TempDir;
using testing::WriteTestFile;

RunOptions In(const std::string& folder) {
  RunOptions options;
  options.working_folder = folder;
  return options;
}

// Unused where the sanitizer build skips the memory test.
[[maybe_unused]] RunOptions InWithLimit(const std::string& folder,
                                        unsigned long long address_space) {
  RunOptions options = In(folder);
  options.address_space_limit = address_space;
  return options;
}

std::string SampleCart() {
  CartPictures pictures;
  pictures.Randomize(9);
  return pictures.ToP8();
}

TEST(ExportOverInput, EveryExportRefusesToWriteOverItsCartridge) {
  TempDir dir;
  const std::string cart = SampleCart();
  const std::string cart_path = dir.File("g.p8");
  WriteTestFile(cart_path, cart);
  ASSERT_EQ(symlink("g.p8", dir.File("link.p8").c_str()), 0);
  ASSERT_EQ(link(cart_path.c_str(), dir.File("hard.p8").c_str()), 0);
  std::filesystem::create_directory(dir.File("sub"));

  struct Case {
    std::vector<std::string> args;
    std::string named;  // the output path as the message names it
  };
  const std::vector<Case> cases = {
      {{"sheet", "g.p8", "g.p8"}, dir.File("g.p8")},
      {{"map", "g.p8", "./g.p8"}, dir.File("g.p8")},
      {{"label", "g.p8", "sub/../g.p8"}, dir.File("sub/../g.p8")},
      {{"map", "g.p8", "link.p8", "--scale", "2"}, dir.File("link.p8")},
      {{"sheet", "link.p8", "hard.p8"}, dir.File("hard.p8")},
      {{"sprites", "g.p8", "g.p8", "--numbers", "3"}, dir.File("g.p8")},
      // A pattern that names the cartridge for one of its sprites: nothing is written.
      {{"sprites", "g.p8", "g.p%1d", "--numbers", "7-9"}, dir.File("g.p8")},
  };
  for (const Case& c : cases) {
    ProcessResult result = RunBrasswick(c.args, In(dir.path()));
    std::string line = c.args[0] + " " + c.args[2];
    EXPECT_EQ(result.exit_code, 131) << line;
    EXPECT_EQ(result.err, "Output file is the input cartridge:\n" + c.named + "\n") << line;
    EXPECT_EQ(ReadTestFile(cart_path), cart) << line;
  }
  EXPECT_EQ(FolderNames(dir.path()), (std::set<std::string>{"g.p8", "hard.p8", "link.p8", "sub"}));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.p8")));

  // Another name in the same folder is still an ordinary export.
  ProcessResult other = RunBrasswick({"sheet", "g.p8", "g2.p8"}, In(dir.path()));
  EXPECT_EQ(other.exit_code, 0) << other.err;
  EXPECT_TRUE(PathExists(dir.File("g2.p8")));
}

TEST(CopyDestination, TheConfirmationNamesTheFileThatIsWritten) {
  TempDir dir;
  const std::string cart = SampleCart();
  std::filesystem::create_directory(dir.File("sub"));
  WriteTestFile(dir.File("sub/g.p8"), cart);
  WriteTestFile(dir.File("sub/x.p8"), "old x\n");
  WriteTestFile(dir.File("g.p8"), cart);
  WriteTestFile(dir.File("out.p8"), "old out\n");

  struct Case {
    std::vector<std::string> args;
    std::string written;  // the file the destination rules name
    std::string shown;    // the same file as the question names it
  };
  const std::vector<Case> cases = {
      {{"copy", "sub/g.p8", "x.p8"}, dir.File("sub/x.p8"), "sub/x.p8"},
      {{"copy", "g.p8", "out"}, dir.File("out.p8"), "out.p8"},
  };
  for (const Case& c : cases) {
    const std::string before = ReadTestFile(c.written);
    // No terminal: the question is asked about the real destination and answered no.
    ProcessResult declined = RunBrasswick(c.args, In(dir.path()));
    EXPECT_NE(declined.exit_code, 0) << c.args[2];
    EXPECT_EQ(declined.out, "File already exists: " + c.shown +
                                "\nOverwrite?  (Y = yes, N = no, L = locate file)\n");
    EXPECT_EQ(ReadTestFile(c.written), before) << c.args[2];

    std::vector<std::string> confirmed = c.args;
    confirmed.push_back("--yes");
    ProcessResult result = RunBrasswick(confirmed, In(dir.path()));
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(ReadTestFile(c.written), cart) << c.args[2];
  }
  // Nothing lands beside the working folder under the name as typed.
  EXPECT_FALSE(PathExists(dir.File("x.p8")));
  EXPECT_FALSE(PathExists(dir.File("out")));
}

// A 2 x 2 BMP at 16 bits per pixel (5-5-5), the form a BMP writer here cannot produce.
std::string SixteenBitBmp() {
  std::string bytes;
  auto le = [&bytes](uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  };
  const uint32_t pixel_bytes = 2 * 4;  // two rows of two pixels, already 4-byte aligned
  bytes += "BM";
  le(14 + 40 + pixel_bytes, 4);
  le(0, 4);
  le(14 + 40, 4);
  le(40, 4);
  le(2, 4);
  le(2, 4);
  le(1, 2);
  le(16, 2);
  le(0, 4);  // no compression
  le(pixel_bytes, 4);
  le(2835, 4);
  le(2835, 4);
  le(0, 4);
  le(0, 4);
  for (uint32_t pixel : {0x7C00u, 0x03E0u, 0x001Fu, 0x7FFFu}) le(pixel, 2);
  return bytes;
}

// A 2 x 2 palette PNG at 2 bits per pixel.
bool WriteTwoBitPng(const std::string& path) {
  testing::TestPng png{2, 2, 2, PNG_COLOR_TYPE_PALETTE, {}, {}, {}, {}};
  png.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  png.rows = {{0x1B}, {0xE4}};  // indices 0 1 / 3 2, two bits each
  return testing::WriteTestPng(path, png);
}

TEST(SaveFailures, TheSecondLineSaysWhy) {
  TempDir dir;
  WriteTestFile(dir.File("g.p8"), SampleCart());
  WriteTestFile(dir.File("sixteen.bmp"), SixteenBitBmp());
  ASSERT_TRUE(WriteTwoBitPng(dir.File("two.png")));
  const std::string sixteen = ReadTestFile(dir.File("sixteen.bmp"));
  const std::string limit = "; the limit is 32767.";

  struct Case {
    std::vector<std::string> args;
    int code;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"map", "g.p8", "--scale", "32"},
       130,
       "Failed to generate map image\nThe picture would be 32768 pixels wide" + limit},
      {{"sheet", "g.p8", "s.png", "--scale", "256"},
       130,
       "Failed to generate spritesheet image\nThe picture would be 32768 pixels wide" + limit},
      {{"colorimage", "two.png", "fit.png", "--fit", "99999"},
       131,
       "Failed to save image file:\n" + dir.File("fit.png") +
           "\nThe picture would be 99999 pixels wide" + limit},
      {{"colorimage", "sixteen.bmp"},
       131,
       "Failed to save image file:\n" + dir.File("sixteen.bmp") +
           "\nA depth of 16 bits per pixel is not supported for BMP files."},
      {{"colorimage", "two.png", "two.bmp"},
       131,
       "Failed to save image file:\n" + dir.File("two.bmp") +
           "\nA depth of 2 bits per pixel is not supported for BMP files."},
  };
  for (const Case& c : cases) {
    ProcessResult result = RunBrasswick(c.args, In(dir.path()));
    EXPECT_EQ(result.exit_code, c.code) << c.args[0] << " " << c.args[1];
    EXPECT_EQ(result.err, c.err + "\n");
  }
  // Nothing was written, and the picture recoloured in place is as it was.
  EXPECT_EQ(FolderNames(dir.path()), (std::set<std::string>{"g.p8", "sixteen.bmp", "two.png"}));
  EXPECT_EQ(ReadTestFile(dir.File("sixteen.bmp")), sixteen);
  // The same 2-bit picture saved as PNG keeps its depth and succeeds.
  EXPECT_EQ(RunBrasswick({"colorimage", "two.png", "ok.png"}, In(dir.path())).exit_code, 0);
}

TEST(OutOfMemory, ACommandEndsWithItsOwnCodeAndLeavesNoFile) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#else
  TempDir dir;
  WriteTestFile(dir.File("g.p8"), SampleCart());
  // The 12800 x 12800 picture (655 MB) fits under the limit; its BMP file as well does not.
  ProcessResult result = RunBrasswick({"sheet", "g.p8", "big.bmp", "--scale", "100"},
                                      InWithLimit(dir.path(), 1000ull << 20));
  EXPECT_EQ(result.exit_code, 149);
  EXPECT_EQ(result.err, "Out of memory\n");
  EXPECT_EQ(FolderNames(dir.path()), std::set<std::string>{"g.p8"});

  ProcessResult silent = RunBrasswick({"sheet", "g.p8", "big.bmp", "--scale", "100", "--silent"},
                                      InWithLimit(dir.path(), 1000ull << 20));
  EXPECT_EQ(silent.exit_code, 149);
  EXPECT_EQ(silent.err, "");
#endif
}

}  // namespace
}  // namespace brasswick
