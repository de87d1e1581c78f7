#include "code/lua_lexer.h"

#include <algorithm>
#include <cstring>

namespace brasswick {
namespace {

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSpaceByte(uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

struct KeywordEntry {
  std::string_view text;
  Tok kind;
};
constexpr KeywordEntry kKeywords[] = {
    {"and", Tok::kAnd},     {"break", Tok::kBreak},   {"do", Tok::kDo},
    {"else", Tok::kElse},   {"elseif", Tok::kElseIf}, {"end", Tok::kEnd},
    {"false", Tok::kFalse}, {"for", Tok::kFor},       {"function", Tok::kFunction},
    {"goto", Tok::kGoto},   {"if", Tok::kIf},         {"in", Tok::kIn},
    {"local", Tok::kLocal}, {"nil", Tok::kNil},       {"not", Tok::kNot},
    {"or", Tok::kOr},       {"repeat", Tok::kRepeat}, {"return", Tok::kReturn},
    {"then", Tok::kThen},   {"true", Tok::kTrue},     {"until", Tok::kUntil},
    {"while", Tok::kWhile},
};

Tok NameKind(std::string_view text) {
  if (text.size() < 2 || text.size() > 8) return Tok::kName;
  for (const KeywordEntry& entry : kKeywords) {
    if (entry.text == text) return entry.kind;
  }
  return Tok::kName;
}

class Lexer {
 public:
  explicit Lexer(LexedCode& out) : out_(out), code_(out.code) {}

  void Run() {
    const size_t size = code_.size();
    while (pos_ < size) {
      const size_t start = pos_;
      const uint8_t c = Byte(pos_);
      Token token;
      token.offset = static_cast<uint32_t>(start);
      bool ok = true;
      if (IsSpaceByte(c)) {
        while (pos_ < size && IsSpaceByte(Byte(pos_))) ++pos_;
        token.kind = Tok::kSpace;
      } else if (IsNameByte(c) && !IsDigit(c)) {
        while (pos_ < size && IsNameByte(Byte(pos_))) ++pos_;
        token.kind = NameKind(code_.substr(start, pos_ - start));
      } else if (IsDigit(c) || (c == '.' && pos_ + 1 < size && IsDigit(Byte(pos_ + 1)))) {
        token.kind = Tok::kNumber;
        ok = ReadNumber(token);
      } else if (c == '"' || c == '\'') {
        token.kind = Tok::kString;
        ok = ReadQuoted(token);
      } else if (c == '[' && LongBracketLevel(pos_) >= 0) {
        token.kind = Tok::kString;
        token.flags |= kLongString;
        std::string value;
        ok = ReadLong(start, &value, "unfinished long string");
        if (ok) AddString(token, std::move(value));
      } else if ((c == '-' && At(pos_ + 1) == '-') || (c == '/' && At(pos_ + 1) == '/')) {
        token.kind = Tok::kComment;
        pos_ += 2;
        if (c == '-' && At(pos_) == '[' && LongBracketLevel(pos_) >= 0) {
          ok = ReadLong(start, nullptr, "unfinished long comment");
        } else {
          const void* end = std::memchr(code_.data() + pos_, '\n', size - pos_);
          pos_ = end ? static_cast<const char*>(end) - code_.data() : size;
        }
      } else {
        const size_t length = MatchSymbol(code_.substr(pos_), &token.kind);
        if (length == 0) {
          Fail(start, "unexpected character");
          return;
        }
        pos_ += length;
      }
      if (!ok) return;
      token.length = static_cast<uint32_t>(pos_ - start);
      SetPlace(token);
      out_.tokens.push_back(token);
    }
  }

 private:
  uint8_t Byte(size_t at) const { return static_cast<uint8_t>(code_[at]); }
  // The byte at `at`, or 0 past the end (0 never starts anything the lexer looks for).
  uint8_t At(size_t at) const { return at < code_.size() ? Byte(at) : 0; }

  void Fail(size_t at, std::string message) {
    out_.error = CodeError{static_cast<uint32_t>(at), std::move(message)};
  }

  void SetPlace(Token& token) {
    const std::vector<uint32_t>& starts = out_.line_starts;
    while (line_ + 1 < starts.size() && starts[line_ + 1] <= token.offset) ++line_;
    token.line = static_cast<uint32_t>(line_ + 1);
    token.column = token.offset - starts[line_] + 1;
  }

  void AddString(Token& token, std::string value) {
    token.value = static_cast<int32_t>(out_.strings.size());
    out_.strings.push_back(std::move(value));
  }

  // The level of a long bracket opening at `at` (`[[` is 0, `[==[` is 2); -1 when the
  // `[` there opens none.
  int LongBracketLevel(size_t at) const {
    size_t p = at + 1;
    while (At(p) == '=') ++p;
    return At(p) == '[' ? static_cast<int>(p - at - 1) : -1;
  }

  // A long bracket from pos_ to its matching close. The first line break is dropped. An
  // unfinished one is reported where its token starts.
  bool ReadLong(size_t start, std::string* value, const char* unfinished) {
    const size_t level = static_cast<size_t>(LongBracketLevel(pos_));
    pos_ += level + 2;
    if (At(pos_) == '\r' && At(pos_ + 1) == '\n') {
      pos_ += 2;
    } else if (At(pos_) == '\n') {
      ++pos_;
    }
    std::string close = "]";
    close.append(level, '=');
    close += ']';
    const size_t end = code_.find(close, pos_);
    if (end == std::string_view::npos) {
      Fail(start, unfinished);
      return false;
    }
    if (value) value->assign(code_.substr(pos_, end - pos_));
    pos_ = end + close.size();
    return true;
  }

  bool ReadQuoted(Token& token) {
    const size_t open = pos_;
    const uint8_t quote = Byte(pos_++);
    std::string value;
    while (true) {
      if (pos_ >= code_.size() || Byte(pos_) == '\n') {
        Fail(open, "unfinished string");
        return false;
      }
      const uint8_t c = Byte(pos_);
      if (c == quote) {
        ++pos_;
        break;
      }
      if (c != '\\') {
        value.push_back(static_cast<char>(c));
        ++pos_;
        continue;
      }
      const size_t escape = pos_;
      const uint8_t e = At(pos_ + 1);
      pos_ += 2;
      switch (e) {
        case 'a':
          value += '\a';
          break;
        case 'b':
          value += '\b';
          break;
        case 't':
          value += '\t';
          break;
        case 'n':
          value += '\n';
          break;
        case 'v':
          value += '\v';
          break;
        case 'f':
          value += '\f';
          break;
        case 'r':
          value += '\r';
          break;
        case '\\':
          value += '\\';
          break;
        case '"':
          value += '"';
          break;
        case '\'':
          value += '\'';
          break;
        case '*':
          value += '\x01';
          break;
        case '#':
          value += '\x02';
          break;
        case '-':
          value += '\x03';
          break;
        case '|':
          value += '\x04';
          break;
        case '+':
          value += '\x05';
          break;
        case '^':
          value += '\x06';
          break;
        case '\n':
          value += '\n';
          break;
        case '\r':
          if (At(pos_) == '\n') ++pos_;
          value += '\n';
          break;
        case 'z':
          while (pos_ < code_.size() && IsSpaceByte(Byte(pos_))) ++pos_;
          break;
        case 'x': {
          const int high = HexValue(At(pos_));
          const int low = HexValue(At(pos_ + 1));
          if (high < 0 || low < 0) {
            Fail(escape, "bad escape in string");
            return false;
          }
          value += static_cast<char>(high * 16 + low);
          pos_ += 2;
          break;
        }
        default: {
          if (!IsDigit(e)) {
            Fail(escape, "bad escape in string");
            return false;
          }
          int number = e - '0';
          for (int i = 0; i < 2 && IsDigit(At(pos_)); ++i)
            number = number * 10 + (Byte(pos_++) - '0');
          if (number > 255) {
            Fail(escape, "bad escape in string");
            return false;
          }
          value += static_cast<char>(number);
          break;
        }
      }
    }
    AddString(token, std::move(value));
    return true;
  }

  // A number from pos_. Hexadecimal and binary: the integer part wraps to 16 bits and
  // the fraction keeps its first 16 bits. Decimal: see LexCode.
  bool ReadNumber(Token& token) {
    const size_t start = pos_;
    const uint8_t second = At(pos_ + 1) | 0x20;
    if (Byte(pos_) == '0' && (second == 'x' || second == 'b')) {
      const int radix_bits = second == 'x' ? 4 : 1;
      pos_ += 2;
      uint32_t whole = 0;
      uint32_t fraction = 0;
      int fraction_bits = 0;
      int digits = 0;
      auto digit = [&](size_t at) {
        const int v = HexValue(At(at));
        return v >= 0 && v < (1 << radix_bits) ? v : -1;
      };
      for (int v; (v = digit(pos_)) >= 0; ++pos_, ++digits) {
        whole = ((whole << radix_bits) | static_cast<uint32_t>(v)) & 0xFFFF;
      }
      if (At(pos_) == '.' && At(pos_ + 1) != '.') {
        ++pos_;
        for (int v; (v = digit(pos_)) >= 0; ++pos_, ++digits) {
          if (fraction_bits < 16) {
            fraction |= static_cast<uint32_t>(v) << (16 - radix_bits - fraction_bits);
            fraction_bits += radix_bits;
          }
        }
      }
      if (digits == 0) {
        Fail(start, "malformed number");
        return false;
      }
      token.value = static_cast<int32_t>((whole << 16) | (fraction & 0xFFFF));
      return true;
    }
    uint64_t whole = 0;
    bool wrapped = false;
    while (IsDigit(At(pos_))) {
      whole = whole * 10 + (Byte(pos_++) - '0');
      if (whole > 0xFFFF) {
        whole &= 0xFFFF;
        wrapped = true;
      }
    }
    // The fraction as an exact decimal numerator over 10^digits, then rounded.
    uint64_t numerator = 0;
    uint64_t denominator = 1;
    if (At(pos_) == '.' && At(pos_ + 1) != '.') {
      ++pos_;
      while (IsDigit(At(pos_))) {
        if (denominator < 1000000000000000000ull) {
          numerator = numerator * 10 + (Byte(pos_) - '0');
          denominator *= 10;
        }
        ++pos_;
      }
    }
    if (wrapped || whole > 0x7FFF) token.flags |= kNumberWrapped;
    const unsigned __int128 scaled = static_cast<unsigned __int128>(numerator) * 131072;
    const uint64_t fraction = static_cast<uint64_t>((scaled / denominator + 1) / 2);
    const uint64_t value = (whole << 16) + fraction;
    token.value = static_cast<int32_t>(static_cast<uint32_t>(value));
    return true;
  }

  LexedCode& out_;
  std::string_view code_;
  size_t pos_ = 0;
  size_t line_ = 0;
};

}  // namespace

bool IsKeywordText(std::string_view text) { return IsKeyword(NameKind(text)); }

bool IsNameByte(uint8_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == 0x1E || c == 0x1F || c >= 0x80;
}

LexedCode LexCode(std::string_view code) {
  LexedCode out;
  out.code = code;
  out.line_starts.push_back(0);
  for (size_t at = 0;;) {
    const void* found = std::memchr(code.data() + at, '\n', code.size() - at);
    if (!found) break;
    at = static_cast<const char*>(found) - code.data() + 1;
    out.line_starts.push_back(static_cast<uint32_t>(at));
  }
  out.tokens.reserve(code.size() / 3 + 1);
  Lexer(out).Run();
  return out;
}

std::string DescribeToken(const LexedCode& lexed, const Token& token) {
  std::string_view text = lexed.Text(token);
  if (text.size() > 20) text = text.substr(0, 20);
  return "'" + std::string(text) + "'";
}

CodePlace PlaceOf(const LexedCode& lexed, uint32_t offset, const SourceMap* map) {
  offset = std::min<uint32_t>(offset, static_cast<uint32_t>(lexed.code.size()));
  const std::vector<uint32_t>& starts = lexed.line_starts;
  auto line_of = [&starts](uint32_t at) {
    return static_cast<uint32_t>(std::upper_bound(starts.begin(), starts.end(), at) -
                                 starts.begin());
  };
  const uint32_t line = line_of(offset);
  CodePlace place;
  place.line = line;
  place.column = offset - starts[line - 1] + 1;
  if (!map || map->segments.empty()) return place;
  auto after = std::upper_bound(
      map->segments.begin(), map->segments.end(), offset,
      [](uint32_t at, const SourceSegment& segment) { return at < segment.code_offset; });
  if (after == map->segments.begin()) return place;
  const SourceSegment& segment = *(after - 1);
  const uint32_t first_line =
      line_of(std::min<uint32_t>(segment.code_offset, static_cast<uint32_t>(lexed.code.size())));
  place.file = segment.file;
  place.line = segment.line + (line - first_line);
  if (line == first_line) {
    place.column =
        static_cast<uint32_t>(static_cast<int64_t>(place.column) + segment.column_offset);
  }
  return place;
}

std::string FormatCodeError(const LexedCode& lexed, const CodeError& error, const SourceMap* map) {
  const CodePlace place = PlaceOf(lexed, error.offset, map);
  return std::string(place.file) + ":" + std::to_string(place.line) + ":" +
         std::to_string(place.column) + ": " + error.message;
}

}  // namespace brasswick
