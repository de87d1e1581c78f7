#include "code/lua_program_generator.h"

#include <cctype>
#include <string_view>
#include <vector>

namespace brasswick::testing {
namespace {

constexpr std::string_view kBinary[] = {
    "or", "and", "<",   ">",   "<=",  ">=", "~=", "!=", "==", "|", "^^", "~", "&",
    "<<", ">>",  ">>>", "<<>", ">><", "..", "+",  "-",  "*",  "/", "\\", "%", "^"};
constexpr std::string_view kUnary[] = {"not ", "#", "-", "~", "@", "%", "$"};
constexpr std::string_view kCompound[] = {"+=", "-=", "*=",  "/=",  "\\=", "%=",   "^=",   "..=",
                                          "|=", "&=", "^^=", "<<=", ">>=", ">>>=", "<<>=", ">><="};
constexpr std::string_view kNumbers[] = {"0",       "1",     "12",       "1.5",    ".5",   "3.",
                                         "32767",   "0x1f",  "0X1F.8",   "0xffff", "0x.c", "0b101",
                                         "0B101.1", "0b.01", "65535.99", "0.0001", "255"};
constexpr std::string_view kEscapes[] = {
    "\\a",      "\\b",   "\\t", "\\n",  "\\v",   "\\f", "\\r", "\\\\", "\\\"", "\\'", "\\\n",
    "\\z  \n ", "\\x4a", "\\7", "\\65", "\\255", "\\*", "\\#", "\\-",  "\\|",  "\\+", "\\^"};
constexpr std::string_view kGlobals[] = {"cls", "spr",    "pal",  "btn",      "x",    "y",
                                         "t",   "player", "\x8b", "\x83\x94", "_ENV", "Upper"};

class Generator {
 public:
  explicit Generator(uint32_t seed) : state_(seed * 2654435761u + 1) {}

  std::string Program(size_t size) {
    while (out_.size() < size) {
      Statement(0, false, true);
      out_ += '\n';
    }
    return out_;
  }

 private:
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <size_t N>
  std::string_view Pick(const std::string_view (&list)[N]) {
    return list[Below(static_cast<int>(N))];
  }

  std::string Fresh() { return "v" + std::to_string(counter_++); }

  std::string Name() {
    if (!locals_.empty() && Chance(60)) return locals_[Below(static_cast<int>(locals_.size()))];
    return std::string(Pick(kGlobals));
  }

  void Comment() {
    switch (Below(4)) {
      case 0:
        out_ += "-- note " + std::to_string(Below(99)) + "\n";
        break;
      case 1:
        out_ += "// slashes\n";
        break;
      case 2:
        out_ += "--[[ long\ncomment ]] ";
        break;
      default:
        out_ += "--[==[ ]] level\n two ]==] ";
        break;
    }
  }

  // Writes a space at `at` when the text there would run into the text before it
  // (`-` `-1` is a comment, `..` `.5` is `...` `5`).
  void Separate(size_t at) {
    if (at == 0 || at >= out_.size()) return;
    const char before = out_[at - 1];
    const char after = out_[at];
    if ((before == '-' && after == '-') || (before == '.' && (after == '.' || isdigit(after)))) {
      out_.insert(at, 1, ' ');
    }
  }

  void String() {
    if (one_line_) {
      out_ += "\"\\65\\x4a\\*\"";
      return;
    }
    switch (Below(4)) {
      case 0:
        out_ += "[[\nfirst break dropped]]";
        return;
      case 1:
        out_ += "[==[a]]b]=]c]==]";
        return;
      default: {
        const char quote = Chance(50) ? '"' : '\'';
        out_ += quote;
        out_ += "s\x8e";
        for (int i = Below(4); i > 0; --i) out_ += Pick(kEscapes);
        out_ += quote == '"' ? "'" : "\"";
        out_ += quote;
      }
    }
  }

  void Expression(int depth) {
    if (depth > 4) {
      Simple(depth);
      return;
    }
    switch (Below(10)) {
      case 0:
      case 1: {
        Expression(depth + 1);
        const std::string_view op = Pick(kBinary);
        const bool word = op == "or" || op == "and";
        out_ += word || op[0] == '.' || Chance(30) ? " " : "";
        out_ += op;
        out_ += word || Chance(30) ? " " : "";
        const size_t at = out_.size();
        Expression(depth + 1);
        Separate(at);
        return;
      }
      case 2: {
        out_ += Pick(kUnary);
        const size_t at = out_.size();
        Expression(depth + 1);
        Separate(at);
        return;
      }
      case 3:
        out_ += '(';
        Expression(depth + 1);
        out_ += ')';
        return;
      default:
        Simple(depth);
        return;
    }
  }

  void Simple(int depth) {
    switch (Below(depth > 4 ? 6 : 10)) {
      case 0:
      case 1:
        out_ += Pick(kNumbers);
        return;
      case 2:
        String();
        return;
      case 3:
        out_ += Chance(50) ? "nil" : Chance(50) ? "true" : "false";
        return;
      case 4:
      case 5:
        Suffixed(depth);
        return;
      case 6:
        Table(depth);
        return;
      case 7:
        FunctionExpression(depth);
        return;
      case 8:
        out_ += varargs_ ? "..." : "0";
        return;
      default:
        Call(depth);
        return;
    }
  }

  void Suffixed(int depth) {
    out_ += Name();
    for (int i = Below(3); i > 0; --i) {
      if (Chance(50)) {
        out_ += ".f" + std::to_string(Below(9));
      } else {
        out_ += "[ ";
        Expression(depth + 1);
        out_ += ']';
      }
    }
  }

  void Arguments(int depth) {
    switch (Below(5)) {
      case 0:
        String();
        return;
      case 1:
        Table(depth + 1);
        return;
      default:
        out_ += '(';
        for (int i = Below(3); i > 0; --i) {
          Expression(depth + 1);
          if (i > 1) out_ += ',';
        }
        out_ += ')';
    }
  }

  void Call(int depth) {
    Suffixed(depth);
    if (Chance(30)) out_ += ":m" + std::to_string(Below(5));
    Arguments(depth);
  }

  void Table(int depth) {
    out_ += '{';
    for (int i = Below(4); i > 0; --i) {
      switch (Below(3)) {
        case 0:
          out_ += "k" + std::to_string(Below(5)) + "=";
          break;
        case 1:
          out_ += "[ ";
          Expression(depth + 1);
          out_ += "]=";
          break;
        default:
          break;
      }
      Expression(depth + 1);
      if (i > 1 || Chance(30)) out_ += Chance(70) ? "," : ";";
    }
    out_ += '}';
  }

  void Parameters(bool method) {
    const size_t scope = locals_.size();
    if (method) locals_.push_back("self");
    out_ += '(';
    const int count = Below(3);
    for (int i = 0; i < count; ++i) {
      const std::string name = Fresh();
      out_ += (i ? "," : "") + name;
      locals_.push_back(name);
    }
    const bool saved = varargs_;
    varargs_ = Chance(30);
    if (varargs_) out_ += count ? ",..." : "...";
    out_ += ")\n";
    Block(2, false);
    out_ += "end";
    varargs_ = saved;
    locals_.resize(scope);
  }

  void FunctionExpression(int depth) {
    if (depth > 3 || one_line_) {
      out_ += "function() end";
      return;
    }
    out_ += "function";
    Parameters(false);
  }

  void Block(int depth, bool loop) {
    const size_t scope = locals_.size();
    for (int i = Below(4); i > 0; --i) {
      Statement(depth, loop, false);
      out_ += '\n';
    }
    if (Chance(15)) out_ += loop && Chance(50) ? "break\n" : "return 1\n";
    locals_.resize(scope);
  }

  // A statement on one line, for the body of a short form.
  void LineStatement(int depth) {
    const bool saved = one_line_;
    one_line_ = true;
    LineStatementBody(depth);
    one_line_ = saved;
  }
  void LineStatementBody(int depth) {
    switch (Below(4)) {
      case 0:
        Call(depth + 2);
        break;
      case 1:
        Suffixed(depth + 2);
        out_ += Pick(kCompound);
        Expression(depth + 2);
        break;
      case 2:
        out_ += Name() + "=";
        Expression(depth + 2);
        break;
      default:
        out_ += "if (";
        Expression(depth + 2);
        out_ += ") ";
        LineStatementBody(depth + 1);
    }
  }

  void Statement(int depth, bool loop, bool top) {
    if (Chance(10)) Comment();
    const int choice = depth > 2 ? Below(6) : Below(19);
    switch (choice) {
      case 0: {
        const std::string name = Fresh();
        out_ += "local " + name;
        if (Chance(30)) {
          const std::string other = Fresh();
          out_ += "," + other;
          out_ += "=";
          Expression(depth);
          locals_.push_back(other);
        } else if (Chance(80)) {
          out_ += "=";
          Expression(depth);
        }
        locals_.push_back(name);
        return;
      }
      case 1:
        Suffixed(depth);
        if (Chance(30)) {
          out_ += ",";
          Suffixed(depth);
        }
        out_ += Chance(50) ? " = " : "=";
        Expression(depth);
        return;
      case 2:
        Suffixed(depth);
        out_ += Chance(50) ? " " : "";
        out_ += Pick(kCompound);
        Expression(depth);
        return;
      case 3:
        Call(depth);
        return;
      case 4:
        out_ += "?";
        Expression(depth + 1);
        if (Chance(50)) {
          out_ += ",";
          Expression(depth + 1);
        }
        return;
      case 5:
        out_ += "if (";
        Expression(depth + 1);
        out_ += ") ";
        LineStatement(depth);
        if (Chance(40)) {
          out_ += " else ";
          LineStatement(depth);
        }
        return;
      case 6:
        out_ += "if ";
        Expression(depth + 1);
        out_ += Chance(80) ? " then\n" : " do\n";
        Block(depth + 1, loop);
        if (Chance(40)) {
          out_ += "elseif ";
          Expression(depth + 1);
          out_ += " then\n";
          Block(depth + 1, loop);
        }
        if (Chance(40)) {
          out_ += "else\n";
          Block(depth + 1, loop);
        }
        out_ += "end";
        return;
      case 7:
        out_ += "while (";
        Expression(depth + 1);
        out_ += ") ";
        LineStatement(depth);
        return;
      case 8:
        out_ += "while ";
        Expression(depth + 1);
        out_ += " do\n";
        Block(depth + 1, true);
        out_ += "end";
        return;
      case 9:
        out_ += "repeat\n";
        {
          const size_t scope = locals_.size();
          const std::string name = Fresh();
          out_ += "local " + name + "=1\n";
          locals_.push_back(name);
          Block(depth + 1, true);
          out_ += "until " + name;
          locals_.resize(scope);
        }
        return;
      case 10: {
        const std::string name = Fresh();
        out_ += "for " + name + "=";
        Expression(depth + 1);
        out_ += ",";
        Expression(depth + 1);
        if (Chance(50)) out_ += ",-1";
        out_ += " do\n";
        locals_.push_back(name);
        Block(depth + 1, true);
        locals_.pop_back();
        out_ += "end";
        return;
      }
      case 11: {
        const std::string key = Fresh();
        const std::string value = Fresh();
        out_ += "for " + key + "," + value + " in pairs(";
        Expression(depth + 1);
        out_ += ") do\n";
        locals_.push_back(key);
        locals_.push_back(value);
        Block(depth + 1, true);
        locals_.resize(locals_.size() - 2);
        out_ += "end";
        return;
      }
      case 12:
        out_ += "do\n";
        Block(depth + 1, loop);
        out_ += "end";
        return;
      case 13: {
        const bool method = Chance(50);
        out_ += "function " + Name() + ".f" + std::to_string(Below(5));
        if (method) out_ += ":m" + std::to_string(Below(5));
        Parameters(method);
        return;
      }
      case 14: {
        const std::string name = Fresh();
        out_ += "local function " + name;
        locals_.push_back(name);
        Parameters(false);
        return;
      }
      case 15: {
        const std::string label = "l" + std::to_string(counter_++);
        out_ += "do goto " + label + "\n";
        Statement(depth + 1, loop, false);
        out_ += "\n::" + label + "::\nend";
        return;
      }
      case 16: {
        const std::string label = "l" + std::to_string(counter_++);
        out_ += "::" + label + "::\nif " + Name() + " then goto " + label + " end";
        return;
      }
      default:
        if (top) {
          out_ += "function _update()\n";
          varargs_ = false;
          Block(1, false);
          varargs_ = true;
          out_ += "end";
        } else {
          Call(depth);
        }
        return;
    }
  }

  uint32_t state_;
  std::string out_;
  std::vector<std::string> locals_;
  int counter_ = 0;
  bool varargs_ = true;    // the main chunk takes `...`
  bool one_line_ = false;  // inside a short form: nothing may break the line
};

}  // namespace

std::string GenerateLuaProgram(uint32_t seed, size_t size) { return Generator(seed).Program(size); }

}  // namespace brasswick::testing
