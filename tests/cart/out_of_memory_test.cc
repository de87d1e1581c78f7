// Running out of memory is not a result: it leaves every cartridge function as
// std::bad_alloc, for the program's one guard to report, rather than passing for empty
// code, a damaged stream or a file that is not a cartridge.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "allocation_faults.h"
#include "cart/cart_code.h"
#include "cart/cart_image.h"
#include "cart/cart_reader.h"
#include "cart/cart_rom_text.h"
#include "cart/cart_title.h"
#include "cart/code_compressor.h"
#include "cart/old_code_compressor.h"
#include "cart/player_script.h"
#include "faulty_files.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::RunsOutOfMemory;

// Far below what each case needs in one piece, far above what a small result takes.
constexpr size_t kFailingSize = 16 * 1024;

// Lua-like code of 60 000 bytes, every byte a character the cartridge holds.
std::string Code() {
  std::string code;
  for (int i = 0; code.size() < 60000; ++i) code += "x" + std::to_string(i % 997) + "=y+1\n";
  code.resize(60000);
  return code;
}

TEST(CartOutOfMemory, LeavesEveryFunctionAsAnException) {
  const std::string code = Code();
  const std::vector<uint8_t> rom(kCartRomSize, 0);
  std::string script = "var _cartdat=[";
  for (size_t i = 0; i < kCartPayloadSize; ++i) script += "0,";
  script += "];\n";
  const std::vector<uint8_t> bytes(kCartPayloadSize, 7);
  testing::TempDir dir;
  testing::WriteTestFile(dir.File("game.p8"),
                         "pico-8 cartridge // http://www.pico-8.com\nversion 42\n__lua__\n" + code);
  const struct {
    const char* name;
    std::function<bool()> work;  // true when the work succeeds
  } cases[] = {
      {"code bytes to text", [&] { return !CodeBytesToText(code).empty(); }},
      {"code text to bytes", [&] { return CodeTextToBytes(code).has_value(); }},
      {"compressor", [&] { return CompressCode(code).has_value(); }},
      {"old compressor", [&] { return CompressOldCode(code).has_value(); }},
      {"ROM as text", [&] { return RomToP8Text(rom, code, nullptr, 42).has_value(); }},
      {"ROM section lines", [&] { return RomSectionLines(rom, "gfx").has_value(); }},
      {"cartridge list", [&] { return ParseCartData("1,2,3").size() == kCartPayloadSize; }},
      {"script with a new list", [&] { return ReplaceCartData(script, bytes).has_value(); }},
      {"title text", [&] { return CartTitleText(code).size() == code.size(); }},
      {"cartridge file", [&] { return ReadCartFile(dir.File("game.p8")).has_value(); }},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(c.work()) << c.name;
    EXPECT_TRUE(RunsOutOfMemory(kFailingSize, c.work)) << c.name;
  }
}

// A read that fails is the reader's "cannot be read"; one that runs out of memory is
// not turned into it.
TEST(CartFileAccess, AFailedReadIsNoCartridgeAndOutOfMemoryIsNeither) {
  testing::TempDir dir;
  testing::WriteTestFile(dir.File("game.p8"),
                         "pico-8 cartridge // http://www.pico-8.com\nversion 42\n__lua__\nx=1\n");
  testing::FaultyFiles files;
  EXPECT_TRUE(ReadCartFile(dir.File("game.p8"), CartContent::kWhole, files));
  files.read = testing::FaultyFiles::Read::kFails;
  EXPECT_FALSE(ReadCartFile(dir.File("game.p8"), CartContent::kWhole, files));
  files.read = testing::FaultyFiles::Read::kRunsOutOfMemory;
  EXPECT_THROW(ReadCartFile(dir.File("game.p8"), CartContent::kWhole, files), std::bad_alloc);
}

}  // namespace
}  // namespace brasswick
