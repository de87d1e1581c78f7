#include "cart/lua_corpus.h"

#include <string_view>

namespace brasswick::testing {
namespace {

// splitmix64: fixed arithmetic, so the corpus is the same wherever it is made (the
// standard library's distributions are not).
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. bound-1
  size_t Below(size_t bound) { return static_cast<size_t>(Next() % bound); }
  bool Chance(int percent) { return Below(100) < static_cast<size_t>(percent); }
  template <typename T, size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(N)];
  }

 private:
  uint64_t state_;
};

constexpr std::string_view kSyllables[] = {
    "pl", "ay", "er", "en", "em",  "y",   "sp", "ri",  "te",  "x",  "vel", "dx", "dy",  "cam", "ti",
    "me", "st", "at", "e",  "bu",  "ll",  "et", "par", "tic", "le", "hp",  "sc", "ore", "lvl", "k",
    "ey", "an", "im", "fr", "ame", "col", "ok", "on",  "gr",  "id", "map", "w",  "h",   "t",   "o"};
constexpr std::string_view kCalls[] = {
    "spr",  "map",      "pset",     "pget",  "print", "btn",   "btnp", "sfx",    "music",
    "cls",  "rectfill", "circfill", "line",  "flr",   "rnd",   "abs",  "min",    "max",
    "sin",  "cos",      "add",      "del",   "mget",  "mset",  "fget", "camera", "pal",
    "palt", "sub",      "tostr",    "count", "srand", "atan2", "sqrt"};
constexpr std::string_view kOperators[] = {
    "+", "-", "*", "/", "%", "..", "==", "~=", "<", ">", "<=", ">=", "and", "or"};
constexpr std::string_view kWords[] = {"game",  "over",  "press", "x",   "to",  "start", "score",
                                       "level", "lives", "you",   "win", "try", "again", "hi"};
constexpr std::string_view kGlyphs[] = {"\x8b", "\x91", "\x94", "\x83",        "\x8e",
                                        "\x97", "\x87", "\x80", "\xe3\x81\x82"};

class Writer {
 public:
  Writer(uint32_t seed, size_t size) : random_(seed), size_(size) {
    const size_t names = 20 + random_.Below(140);
    for (size_t k = 0; k < names; ++k) {
      std::string name;
      const size_t parts = 1 + random_.Below(3);
      for (size_t p = 0; p < parts; ++p) name += random_.Pick(kSyllables);
      if (random_.Chance(15)) name += std::to_string(random_.Below(4));
      names_.push_back(name);
    }
    static constexpr std::string_view kIndents[] = {" ", "  ", "\t"};
    indent_unit_ = random_.Pick(kIndents);
    comments_ = static_cast<int>(random_.Below(20));
  }

  std::string Program() {
    while (out_.size() < size_) Function();
    out_.resize(size_);
    return out_;
  }

 private:
  // Names are used unevenly, as in real code: a few very often.
  const std::string& Name() {
    const size_t k = random_.Below(names_.size());
    return names_[random_.Chance(60) ? k % (names_.size() / 5 + 1) : k];
  }

  void Line(const std::string& text) {
    for (int k = 0; k < depth_; ++k) out_ += indent_unit_;
    out_ += text;
    if (random_.Chance(comments_)) out_ += " -- " + std::string(random_.Pick(kWords));
    out_ += '\n';
  }

  std::string Number() {
    switch (random_.Below(5)) {
      case 0:
        return std::to_string(random_.Below(2));
      case 1:
        return std::to_string(random_.Below(16));
      case 2:
        return std::to_string(random_.Below(128));
      case 3:
        return "0x" + std::string(1, "0123456789abcdef"[random_.Below(16)]) + "f";
      default:
        return std::to_string(random_.Below(10)) + "." + std::to_string(random_.Below(100));
    }
  }

  std::string String() {
    std::string text = "\"";
    const size_t words = 1 + random_.Below(4);
    for (size_t k = 0; k < words; ++k) {
      if (k > 0) text += ' ';
      text += random_.Chance(10) ? std::string(random_.Pick(kGlyphs))
                                 : std::string(random_.Pick(kWords));
    }
    return text + "\"";
  }

  std::string Value(int nesting = 0) {
    switch (random_.Below(nesting > 1 ? 3 : 6)) {
      case 0:
        return Name();
      case 1:
        return Number();
      case 2:
        return Name() + "." + Name();
      case 3:
        return Value(nesting + 1) + " " + std::string(random_.Pick(kOperators)) + " " +
               Value(nesting + 1);
      case 4:
        return Call(nesting + 1);
      default:
        return random_.Chance(50) ? String() : Name() + "[" + Value(nesting + 1) + "]";
    }
  }

  std::string Call(int nesting = 0) {
    std::string call = random_.Chance(70) ? std::string(random_.Pick(kCalls)) : Name();
    call += "(";
    const size_t arguments = random_.Below(5);
    for (size_t k = 0; k < arguments; ++k) {
      if (k > 0) call += ",";
      call += Value(nesting + 1);
    }
    return call + ")";
  }

  void Statement() {
    switch (random_.Below(depth_ > 3 ? 4 : 8)) {
      case 0:
        Line((random_.Chance(30) ? "local " : "") + Name() + "=" + Value());
        break;
      case 1:
        Line(Call());
        break;
      case 2:
        Line(Name() + "+=" + Number());
        break;
      case 3:
        Line(Name() + "." + Name() + "=" + Value());
        break;
      case 4:
        Block("if " + Value() + " then", true);
        break;
      case 5:
        Block("for " + Name() + "=" + Number() + "," + Value() + " do", false);
        break;
      case 6:
        Block("for " + Name() + " in all(" + Name() + ") do", false);
        break;
      default:
        Block("while " + Value() + " do", false);
        break;
    }
  }

  void Block(const std::string& opening, bool may_have_else) {
    Line(opening);
    ++depth_;
    for (size_t k = 1 + random_.Below(4); k > 0; --k) Statement();
    --depth_;
    if (may_have_else && random_.Chance(30)) {
      Line("else");
      ++depth_;
      Statement();
      --depth_;
    }
    Line("end");
  }

  void Function() {
    if (random_.Chance(20)) out_ += "-- " + std::string(random_.Pick(kWords)) + " " + Name() + "\n";
    std::string head = "function " + Name() + "(";
    for (size_t k = random_.Below(4); k > 0; --k) head += Name() + (k > 1 ? "," : "");
    Line(head + ")");
    ++depth_;
    for (size_t k = 2 + random_.Below(8); k > 0; --k) Statement();
    if (random_.Chance(40)) Line("return " + Value());
    --depth_;
    Line("end");
    out_ += '\n';
  }

  Random random_;
  size_t size_;
  std::vector<std::string> names_;
  std::string_view indent_unit_;
  int comments_ = 0;
  int depth_ = 0;
  std::string out_;
};

}  // namespace

std::string LuaLikeProgram(uint32_t seed, size_t size) { return Writer(seed, size).Program(); }

std::vector<std::string> LuaCorpus(int count) {
  std::vector<std::string> corpus;
  constexpr size_t kSmallest = 2 * 1024;
  constexpr size_t kLargest = 60 * 1024;
  for (int k = 0; k < count; ++k) {
    const size_t size =
        count == 1 ? kSmallest : kSmallest + (kLargest - kSmallest) * k / (count - 1);
    corpus.push_back(LuaLikeProgram(static_cast<uint32_t>(1000 + k), size));
  }
  return corpus;
}

}  // namespace brasswick::testing
