// convert --minify as a user runs it: a small game, written here, minified into every
// form. What the minified code must be is read off the dialect's rules by a token walk
// of this file's own (names erased, the code's shape stays; console names and fields a
// string spells stay; comments go), and everything but the code is what a plain
// convert of the same input writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cart_builder.h"
#include "cart_picture.h"
#include "player_page.h"
#include "test_support.h"

namespace brasswick {
namespace {

using testing::CartPicture;
using testing::CartPictures;
using testing::kCodeAreaSize;
using testing::kCodeStart;
using testing::kRomSize;
using testing::PathExists;
using testing::ProcessResult;
using testing::ReadTestFile;
using testing::RunBrasswick;
using testing::TempDir;
using testing::WriteTestFile;

constexpr std::string_view kTitles = "-- my game\n-- by me\n";
// No string or console name reaches player_speed, enemies, make_enemy, position_x or
// position_y, so --minify renames them; a string spells hit_points.
constexpr std::string_view kBody =
    "player_speed = 2\n"
    "enemies = {}\n"
    "--[[ enemies walk right\n"
    "     and lose a point a frame ]]\n"
    "function make_enemy(start_x, start_y)\n"
    "  local new_enemy = {position_x = start_x, position_y = start_y, hit_points = 3}\n"
    "  add(enemies, new_enemy)\n"
    "  return new_enemy\n"
    "end\n"
    "function _init() make_enemy(8, 16) end\n"
    "function _update()\n"
    "  for walker in all(enemies) do\n"
    "    walker.position_x += player_speed -- right\n"
    "    walker[\"hit_points\"] -= 1\n"
    "  end\n"
    "end\n"
    "function _draw()\n"
    "  cls()\n"
    "  for drawn in all(enemies) do spr(1, drawn.position_x, drawn.position_y) end\n"
    "end";
const std::string kGame = std::string(kTitles) + std::string(kBody);
const std::vector<std::string> kLocals = {"start_x", "start_y", "new_enemy", "walker", "drawn"};
const std::vector<std::string> kGlobalsAndFields = {"player_speed", "enemies", "make_enemy",
                                                    "position_x", "position_y"};
const std::vector<std::string> kAlwaysKept = {"_init", "_update", "_draw", "add",
                                              "all",   "cls",     "spr",   "hit_points"};

const std::set<std::string, std::less<>> kKeywords = {
    "and",      "break",  "do",   "else", "elseif", "end",  "false", "for",
    "function", "goto",   "if",   "in",   "local",  "nil",  "not",   "or",
    "repeat",   "return", "then", "true", "until",  "while"};

// The tokens of code written as this file writes it (names, whole decimal numbers,
// double-quoted strings without escapes, operators), comments and spaces left out.
std::vector<std::string> Tokens(std::string_view code) {
  std::vector<std::string> tokens;
  size_t at = 0;
  auto name_char = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  while (at < code.size()) {
    const char c = code[at];
    if (code.substr(at, 4) == "--[[") {
      at = std::min(code.find("]]", at), code.size() - 2) + 2;
    } else if (code.substr(at, 2) == "--") {
      at = std::min(code.find('\n', at), code.size());
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      ++at;
    } else {
      size_t end = at + 1;
      if (name_char(c)) {
        while (end < code.size() && name_char(code[end])) ++end;
      } else if (c == '"') {
        end = std::min(code.find('"', at + 1), code.size() - 1) + 1;
      } else if (code.substr(at, 2) == "+=" || code.substr(at, 2) == "-=") {
        end = at + 2;
      }
      tokens.emplace_back(code.substr(at, end - at));
      at = end;
    }
  }
  return tokens;
}

bool IsName(const std::string& token) {
  return (std::isalpha(static_cast<unsigned char>(token[0])) || token[0] == '_') &&
         !kKeywords.contains(token);
}

// The tokens with every name made the same (what renaming cannot change); the names
// into *names.
std::vector<std::string> Shape(std::string_view code, std::set<std::string>* names = nullptr) {
  std::vector<std::string> shape = Tokens(code);
  for (std::string& token : shape) {
    if (!IsName(token)) continue;
    if (names) names->insert(token);
    token = "<name>";
  }
  return shape;
}

// The editor's token count: closing brackets, separators, `end` and `local` are free
// (this file's code has no minus before a number).
size_t TokenCount(std::string_view code) {
  static const std::set<std::string, std::less<>> kFree = {",", ".", ":",   ";",    ")",
                                                           "]", "}", "end", "local"};
  size_t count = 0;
  for (const std::string& token : Tokens(code)) count += kFree.contains(token) ? 0 : 1;
  return count;
}

// Checks that minified is original minified, with the kept names there and the renamed
// ones gone.
void ExpectMinified(const std::string& original, const std::string& minified,
                    const std::vector<std::string>& kept, const std::vector<std::string>& renamed,
                    const std::string& where) {
  SCOPED_TRACE(where + "\n" + minified);
  EXPECT_LT(minified.size(), original.size());
  EXPECT_EQ(minified.find("--"), std::string::npos);
  std::set<std::string> names;
  EXPECT_EQ(Shape(minified, &names), Shape(original));
  for (const std::string& name : kept) EXPECT_TRUE(names.contains(name)) << name;
  for (const std::string& name : renamed) EXPECT_FALSE(names.contains(name)) << name;
}

std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

void ExpectFullyMinified(const std::string& original, const std::string& minified,
                         const std::string& where) {
  ExpectMinified(original, minified, kAlwaysKept, Joined(kLocals, kGlobalsAndFields), where);
}

// A .p8 of the code with a sheet, label and map, flags on blank sprites, an effect and
// a song; the code's lines end at "\n__gfx__".
std::string P8Of(std::string_view code) {
  CartPictures pictures;
  pictures.Randomize(7);
  std::string text = pictures.ToP8();
  const std::string stub = "__lua__\nprint(1)\n";
  text.replace(text.find(stub), stub.size(), "__lua__\n" + std::string(code) + "\n");
  text += "__gff__\n" + std::string(200, '0') + "0103" + std::string(52, '0') + "\n";
  text += "__sfx__\n000e0000" + std::string(40, '0') + "24050" + std::string(115, '0') + "\n";
  text += "__music__\n01 01424344\n";
  return text;
}

// The code section of a .p8: from its marker line to the next marker line's break.
std::string CodeOfP8(const std::string& text) {
  const size_t start = text.find("__lua__\n");
  if (start == std::string::npos) return "";
  const size_t end = text.find("\n__", start + 8);
  return text.substr(start + 8, end == std::string::npos ? std::string::npos : end - start - 8);
}

std::string WithoutCode(const std::string& text) {
  const std::string code = CodeOfP8(text);
  const size_t start = text.find("__lua__\n");
  return start == std::string::npos ? text : std::string(text).erase(start, 8 + code.size());
}

// The 32 800 bytes of a cartridge holding the code in the plain format (its bytes, then
// zeros), noise in the other sections and a version-41 trailer.
std::vector<uint8_t> PayloadOf(std::string_view code) {
  CartPictures pictures;
  pictures.Randomize(11);
  std::vector<uint8_t> payload = pictures.Memory(11);
  std::fill(payload.begin() + kCodeStart, payload.end(), 0);
  std::copy(code.begin(), code.end(), payload.begin() + kCodeStart);
  payload[kRomSize] = 41;
  return payload;
}

void WriteRomInputs(const TempDir& dir, std::string_view code) {
  const std::vector<uint8_t> payload = PayloadOf(code);
  WriteTestFile(dir.File("game.rom"), std::string(payload.begin(), payload.begin() + kRomSize));
  CartPicture picture = CartPicture::Template();
  picture.WritePayload(payload);
  ASSERT_TRUE(picture.Save(dir.File("game.p8.png")));
}

ProcessResult Convert(const std::string& input, const std::string& output,
                      const std::vector<std::string>& switches = {}) {
  std::vector<std::string> args = {"convert", input, output};
  args.insert(args.end(), switches.begin(), switches.end());
  return RunBrasswick(args);
}

// The .p8 a plain convert makes of the file (the file itself when it is a .p8).
std::string AsP8(const TempDir& dir, const std::string& name) {
  if (name.ends_with(".p8")) return ReadTestFile(dir.File(name));
  const ProcessResult result = Convert(dir.File(name), dir.File(name + ".back.p8"));
  EXPECT_EQ(result.exit_code, 0) << name << ": " << result.err;
  return ReadTestFile(dir.File(name + ".back.p8"));
}

TEST(MinifyConvert, EveryFormHoldsTheMinifiedCodeAndThePlainConvertsRest) {
  TempDir dir;
  WriteTestFile(dir.File("game.p8"), P8Of(kGame));
  const std::string player = testing::PlayerScriptText("1,2,3");
  for (const std::string ending : {".p8", ".p8.png", ".rom", ".js"}) {
    SCOPED_TRACE(ending);
    const std::string plain = "plain" + ending;
    const std::string minified = "min" + ending;
    if (ending == ".js") {
      WriteTestFile(dir.File(plain), player);
      WriteTestFile(dir.File(minified), player);
    }
    ASSERT_EQ(Convert(dir.File("game.p8"), dir.File(plain)).exit_code, 0);
    const ProcessResult result = Convert(dir.File("game.p8"), dir.File(minified), {"--minify"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out + result.err, "");
    const std::string minified_p8 = AsP8(dir, minified);
    ExpectFullyMinified(kGame, CodeOfP8(minified_p8), ending);
    EXPECT_EQ(WithoutCode(minified_p8), WithoutCode(AsP8(dir, plain)));
    if (ending == ".js") {
      // The script around the list is the player's own.
      auto around_list = [](std::string script) {
        const size_t list = script.find("_cartdat=[");
        return script.erase(list, script.rfind("];") - list);
      };
      EXPECT_EQ(around_list(ReadTestFile(dir.File(minified))), around_list(player));
    }
  }
  // What was written parses: minifying it again is no syntax error.
  EXPECT_EQ(Convert(dir.File("min.p8"), dir.File("again.p8"), {"--minify"}).exit_code, 0);
}

// A .p8's code section, once replaced by the minified code, no longer holds the bytes
// it was read from: the .lua must be its new lines.
TEST(MinifyConvert, TextToLuaHoldsTheMinifiedCode) {
  TempDir dir;
  WriteTestFile(dir.File("game.p8"), P8Of(kGame));
  ASSERT_EQ(Convert(dir.File("game.p8"), dir.File("min.lua"), {"--minify"}).exit_code, 0);
  ExpectFullyMinified(kGame, ReadTestFile(dir.File("min.lua")), ".p8 to .lua");
}

TEST(MinifyConvert, RomFormsAreMinifiedToText) {
  TempDir dir;
  WriteRomInputs(dir, kGame);
  for (const std::string input : {"game.rom", "game.p8.png"}) {
    for (const std::string ending : {".p8", ".lua"}) {
      SCOPED_TRACE(input + " to " + ending);
      const std::string output = dir.File(input + ".min" + ending);
      const ProcessResult result = Convert(dir.File(input), output, {"--minify"});
      ASSERT_EQ(result.exit_code, 0) << result.err;
      const std::string text = ReadTestFile(output);
      ExpectFullyMinified(kGame, ending == ".p8" ? CodeOfP8(text) : text, input);
      if (ending == ".p8") {
        EXPECT_EQ(WithoutCode(text), WithoutCode(AsP8(dir, input)));
      }
    }
  }
}

// A helper file the game includes, its own locals and a global of its own.
constexpr std::string_view kLibrary =
    "-- helpers\n"
    "function clamp_value(value_in, low_bound)\n"
    "  local high_bound = 120\n"
    "  return mid(low_bound, value_in, high_bound)\n"
    "end\n";

TEST(MinifyConvert, IncludedCodeIsMinifiedInAndItsSyntaxErrorsPlacedInIt) {
  TempDir dir;
  WriteTestFile(dir.File("lib.lua"), std::string(kLibrary));
  WriteTestFile(dir.File("game.p8"),
                P8Of(std::string(kTitles) + "#include lib.lua\n" + std::string(kBody)));
  ASSERT_EQ(Convert(dir.File("game.p8"), dir.File("min.p8"), {"--minify"}).exit_code, 0);
  const std::string code = CodeOfP8(ReadTestFile(dir.File("min.p8")));
  const std::string expanded = std::string(kLibrary) + std::string(kBody);
  EXPECT_EQ(code.find("#include"), std::string::npos);
  ExpectMinified(expanded, code, Joined(kAlwaysKept, {"mid"}),
                 Joined(Joined(kLocals, kGlobalsAndFields),
                        {"clamp_value", "value_in", "low_bound", "high_bound"}),
                 "included");

  const std::string bad_line = "  return value_in + )";
  WriteTestFile(dir.File("lib.lua"), "function clamp_value(value_in)\n" + bad_line + "\nend\n");
  const std::string place =
      dir.File("lib.lua") + ":2:" + std::to_string(bad_line.find(')') + 1) + ": ";
  const std::string before_js = testing::PlayerScriptText("1,2,3");
  WriteTestFile(dir.File("old.rom"), "old rom");
  WriteTestFile(dir.File("old.js"), before_js);
  const struct {
    std::string output;
    std::string before;  // "" for no file
  } cases[] = {{"new.p8", ""},         {"new.p8.png", ""},
               {"new.lua", ""},        {"min.p8", ReadTestFile(dir.File("min.p8"))},
               {"old.rom", "old rom"}, {"old.js", before_js}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.output);
    const ProcessResult result = Convert(dir.File("game.p8"), dir.File(c.output), {"--minify"});
    EXPECT_EQ(result.exit_code, 169);
    EXPECT_TRUE(result.err.starts_with(place)) << result.err;
    if (c.before.empty()) {
      EXPECT_FALSE(PathExists(dir.File(c.output)));
    } else {
      EXPECT_EQ(ReadTestFile(dir.File(c.output)), c.before);
    }
  }
}

// Words of random letters compress about as badly as prose does; 40 000 characters of
// them are far past what the code area holds compressed.
std::string VariedWords(size_t length) {
  std::mt19937 random(5);
  std::string words;
  while (words.size() < length) {
    const size_t letters = 2 + random() % 9;
    for (size_t i = 0; i < letters; ++i) words += static_cast<char>('a' + random() % 26);
    words += random() % 12 == 0 ? '\n' : ' ';
  }
  return words;
}

TEST(MinifyConvert, CodeTooBigToCompressFitsOnceMinified) {
  TempDir dir;
  const std::string code =
      std::string(kTitles) + "--[[\n" + VariedWords(40000) + "]]\n" + std::string(kBody);
  ASSERT_LT(code.size(), 65535u);
  WriteTestFile(dir.File("big.p8"), P8Of(code));
  ProcessResult result = Convert(dir.File("big.p8"), dir.File("plain.p8.png"));
  EXPECT_EQ(result.exit_code, 158) << result.err;
  EXPECT_FALSE(PathExists(dir.File("plain.p8.png")));
  result = Convert(dir.File("big.p8"), dir.File("min.p8.png"), {"--minify"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  ExpectFullyMinified(code, CodeOfP8(AsP8(dir, "min.p8.png")), "too big");
}

TEST(MinifyConvert, LocalsOnlyAndKeptNamesStay) {
  TempDir dir;
  WriteTestFile(dir.File("game.p8"), P8Of(kGame));
  const struct {
    std::vector<std::string> switches;
    std::vector<std::string> kept;
    std::vector<std::string> renamed;
  } cases[] = {
      {{"--minify=locals"}, Joined(kAlwaysKept, kGlobalsAndFields), kLocals},
      {{"--minify", "--keep", "player_speed,position_x", "--keep", "make_enemy"},
       Joined(kAlwaysKept, {"player_speed", "position_x", "make_enemy"}),
       Joined(kLocals, {"enemies", "position_y"})},
  };
  for (const auto& c : cases) {
    const std::string where = c.switches[0] + " " + std::to_string(c.switches.size());
    const std::string output = dir.File(std::to_string(c.switches.size()) + ".p8");
    const ProcessResult result = Convert(dir.File("game.p8"), output, c.switches);
    ASSERT_EQ(result.exit_code, 0) << where << ": " << result.err;
    ExpectMinified(kGame, CodeOfP8(ReadTestFile(output)), c.kept, c.renamed, where);
  }
}

size_t StreamSize(const std::string& rom) {
  if (rom.size() != kRomSize) return 0;
  return static_cast<size_t>(static_cast<uint8_t>(rom[kCodeStart + 6])) << 8 |
         static_cast<uint8_t>(rom[kCodeStart + 7]);
}

TEST(MinifyConvert, VerboseTellsTheFiguresAndWhyNamesWereKept) {
  TempDir dir;
  WriteTestFile(dir.File("game.p8"), P8Of(kGame));
  ASSERT_EQ(Convert(dir.File("game.p8"), dir.File("plain.rom")).exit_code, 0);
  const ProcessResult once = Convert(dir.File("game.p8"), dir.File("min.rom"), {"--minify", "-v"});
  ASSERT_EQ(once.exit_code, 0) << once.err;
  const std::string minified = CodeOfP8(AsP8(dir, "min.rom"));
  ExpectFullyMinified(kGame, minified, "verbose");
  const size_t compressed = StreamSize(ReadTestFile(dir.File("min.rom")));
  ASSERT_LT(compressed, kCodeAreaSize);
  const std::string tokens = std::to_string(TokenCount(kGame));
  // Five locals, three globals and two fields no one reaches; seven console names and a
  // field a string spells.
  const std::string figures =
      "Minified code:\n  tokens: " + tokens + " -> " + tokens +
      "\n  characters: " + std::to_string(kGame.size()) + " -> " + std::to_string(minified.size()) +
      "\n  compressed: " + std::to_string(StreamSize(ReadTestFile(dir.File("plain.rom")))) +
      " -> " + std::to_string(compressed) +
      "\nRenamed: 5 locals, 0 labels, 3 globals, 2 fields\n"
      "Kept: 0 locals, 0 labels, 7 globals, 1 fields\n";
  EXPECT_NE(once.out.find(figures), std::string::npos) << once.out;
  EXPECT_EQ(once.out.find("  kept "), std::string::npos) << once.out;

  const ProcessResult twice =
      Convert(dir.File("game.p8"), dir.File("min2.rom"), {"--minify", "-v", "-v"});
  ASSERT_EQ(twice.exit_code, 0) << twice.err;
  EXPECT_NE(twice.out.find(figures), std::string::npos) << twice.out;
  EXPECT_EQ(ReadTestFile(dir.File("min2.rom")), ReadTestFile(dir.File("min.rom")));
  for (const std::string name : {"_init", "_update", "_draw", "add", "all", "cls", "spr"}) {
    EXPECT_NE(twice.out.find("\n  kept global " + name + ": a console name\n"), std::string::npos)
        << name;
  }
  EXPECT_NE(twice.out.find("\n  kept field hit_points: "), std::string::npos);
  size_t kept_lines = 0;
  for (size_t at = twice.out.find("\n  kept "); at != std::string::npos;
       at = twice.out.find("\n  kept ", at + 1)) {
    ++kept_lines;
  }
  EXPECT_EQ(kept_lines, kAlwaysKept.size());
}

// Rows of title text white on the picture: the console's title lines.
int TitlePixels(const CartPicture& picture) {
  int count = 0;
  for (int y = 167; y < 180; ++y)
    for (int x = 16; x < 144; ++x) count += (picture.At(x, y)[0] & 0xFC) == 252;
  return count;
}

// The picture with the payload's two low bits of each channel cleared.
std::vector<testing::Pixel> Shown(const CartPicture& picture) {
  std::vector<testing::Pixel> pixels = picture.pixels;
  for (testing::Pixel& pixel : pixels)
    for (int& channel : pixel) channel &= 0xFC;
  return pixels;
}

TEST(MinifyConvert, PictureKeepsTheTitlesTheCommentsGave) {
  TempDir dir;
  WriteTestFile(dir.File("game.p8"), P8Of(kGame));
  WriteRomInputs(dir, kGame);
  for (const std::string input : {"game.p8", "game.rom"}) {
    SCOPED_TRACE(input);
    ASSERT_EQ(Convert(dir.File(input), dir.File(input + ".plain.p8.png")).exit_code, 0);
    const ProcessResult result =
        Convert(dir.File(input), dir.File(input + ".min.p8.png"), {"--minify"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const CartPicture plain = CartPicture::Load(dir.File(input + ".plain.p8.png"));
    const CartPicture minified = CartPicture::Load(dir.File(input + ".min.p8.png"));
    ASSERT_FALSE(minified.pixels.empty());
    EXPECT_GT(TitlePixels(minified), 20);
    EXPECT_TRUE(Shown(minified) == Shown(plain));
    ExpectFullyMinified(kGame, CodeOfP8(AsP8(dir, input + ".min.p8.png")), input);
  }
}

// A ROM whose plain code filled more of the code area than the minified stream takes:
// nothing of the old code stays behind the stream, and the stream states its length.
TEST(MinifyConvert, NothingOfTheOldCodeStaysPastTheStream) {
  TempDir dir;
  WriteRomInputs(dir, kGame);
  ASSERT_EQ(Convert(dir.File("game.rom"), dir.File("min.rom"), {"--minify"}).exit_code, 0);
  const std::string rom = ReadTestFile(dir.File("min.rom"));
  ASSERT_EQ(rom.size(), static_cast<size_t>(kRomSize));
  ASSERT_EQ(rom.substr(kCodeStart, 4), std::string("\0pxa", 4));
  const size_t stream = static_cast<uint8_t>(rom[kCodeStart + 6]) * 256u +
                        static_cast<uint8_t>(rom[kCodeStart + 7]);
  ASSERT_LT(stream, kGame.size());  // the stream ends where the plain code went on
  EXPECT_EQ(rom.find_first_not_of('\0', kCodeStart + stream), std::string::npos);
}

}  // namespace
}  // namespace brasswick
