// The recursive-descent parser behind ParseJsonText.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <new>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "runtime/json/json_document.h"
#include "runtime/text/text_codes.h"

namespace brasswick {

namespace {

constexpr char kEndOfInput[] = "Unexpected end of input";
constexpr char kInvalidEscape[] = "Invalid escape sequence";
constexpr char kInvalidNumber[] = "Invalid numeric value";
constexpr char kExpectedColon[] = "Expected a ':' character";
constexpr char kUnexpectedChar[] = "Unexpected character";
constexpr char kMemberNameExpected[] = "A member name (string) is expected";
constexpr char kOutOfMemory[] = "Out of memory";

thread_local JsonError last_error;

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

}  // namespace

class JsonParser {
 public:
  JsonParser(std::string_view text, JsonArena* arena, bool no_case)
      : text_(text), arena_(arena), no_case_(no_case) {}

  // Parses the whole text into root; false on the first error.
  bool ParseDocument(JsonValue* root) {
    int c = NextNonBlank();
    if (failed_) return false;
    ParseValue(root, c, 0);
    if (failed_) return false;
    c = Read();
    while (IsBlank(c)) c = Read();
    if (c != 0) Fail(kUnexpectedChar);
    return !failed_;
  }

  const JsonError& error() const { return error_; }
  void FailOutOfMemory() { Fail(kOutOfMemory); }

 private:
  static bool IsBlank(int c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

  // The next byte, or 0 at the end of input (a zero byte also ends the input). Line
  // and column advance once per byte actually consumed; the column counts characters,
  // so UTF-8 continuation bytes do not move it.
  int Read() {
    if (pushed_back_ >= 0) {
      int c = pushed_back_;
      pushed_back_ = -1;
      return c;
    }
    if (position_ >= text_.size() || text_[position_] == '\0') return 0;
    int c = static_cast<unsigned char>(text_[position_++]);
    if (c == '\r') {
      ++line_;
      column_ = 0;
      pending_cr_ = true;
    } else if (c == '\n') {
      if (!pending_cr_) {
        ++line_;
        column_ = 0;
      }
      pending_cr_ = false;
    } else if ((c & 0xC0) != 0x80) {
      ++column_;
    }
    return c;
  }

  // Like Read, where the end of input is an error.
  int ReadRequired() {
    int c = Read();
    if (c == 0) Fail(kEndOfInput);
    return c;
  }

  void PushBack(int c) {
    if (c != 0) pushed_back_ = c;
  }

  int NextNonBlank() {
    // Indentation is most of a pretty-printed document: runs of blanks on one line
    // are skipped at once, each moving the column by one as Read would.
    int c = 0;
    do {
      SkipSpacesAndTabs();
      c = Read();
    } while (IsBlank(c));
    if (c == 0) Fail(kEndOfInput);
    return c;
  }

  void SkipSpacesAndTabs() {
    if (pushed_back_ >= 0) return;
    const char* const begin = text_.data() + position_;
    const char* const end = text_.data() + text_.size();
    const char* at = begin;
    while (at != end && (*at == ' ' || *at == '\t')) ++at;
    column_ += static_cast<int32_t>(at - begin);
    position_ += static_cast<size_t>(at - begin);
  }

  // The end of the run of string bytes from position_ on that need no decoding (up to
  // the next quote, backslash, line break or end), and its characters, which move the
  // column once each as Read counts.
  size_t PlainRunEnd(int32_t* characters) const {
    size_t end = position_;
    int32_t count = 0;
    while (end < text_.size()) {
      const char c = text_[end];
      if (c == '"' || c == '\\' || c == '\r' || c == '\n' || c == '\0') break;
      count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
      ++end;
    }
    *characters = count;
    return end;
  }

  // The rest of a string after its opening quote, when it holds no escape and no line
  // break (most do): a view of the text, consumed with its closing quote. Otherwise
  // nothing is consumed and the result is empty, so that ReadString decodes it.
  std::optional<std::string_view> PlainString() {
    if (pushed_back_ >= 0) return std::nullopt;
    int32_t characters = 0;
    const size_t end = PlainRunEnd(&characters);
    if (end == text_.size() || text_[end] != '"') return std::nullopt;
    const std::string_view text = text_.substr(position_, end - position_);
    column_ += characters + 1;  // the closing quote too
    position_ = end + 1;
    return text;
  }

  // Reads the rest of a string after its opening quote; the view lasts until the next
  // string is read.
  std::string_view ReadString() {
    if (std::optional<std::string_view> plain = PlainString()) return *plain;
    scratch_.clear();
    ParseStringBody(scratch_);
    return scratch_;
  }

  void Fail(const char* message) {
    if (failed_) return;
    failed_ = true;
    error_.message = message;
    error_.line = line_;
    error_.column = column_ == 0 ? 1 : column_;
  }

  // Parses a value whose first character c has been read.
  void ParseValue(JsonValue* node, int c, int depth) {
    if (failed_) return;
    if (c == '"') {
      const std::string_view text = ReadString();
      if (!failed_ && !node->SetString(text)) Fail(kOutOfMemory);
    } else if (c == '-' || IsDigit(c)) {
      ParseNumber(node, c);
    } else if (c == '[') {
      if (depth >= kJsonMaxDepth) return Fail(kOutOfMemory);
      ParseArray(node, depth + 1);
    } else if (c == '{') {
      if (depth >= kJsonMaxDepth) return Fail(kOutOfMemory);
      ParseObject(node, depth + 1);
    } else if (c == 't') {
      if (ExpectLiteral("rue")) node->SetBoolean(true);
    } else if (c == 'f') {
      if (ExpectLiteral("alse")) node->SetBoolean(false);
    } else if (c == 'n') {
      if (ExpectLiteral("ull")) node->SetNull();
    } else {
      Fail(kUnexpectedChar);
    }
  }

  bool ExpectLiteral(const char* rest) {
    for (const char* p = rest; *p != '\0'; ++p) {
      int c = ReadRequired();
      if (failed_) return false;
      if (c != *p) {
        Fail(kUnexpectedChar);
        return false;
      }
    }
    return true;
  }

  // A new Null node in the arena, or null (and the parse failed) when memory runs out.
  JsonValue* NewNode() {
    JsonValue* node = arena_->NewNode(no_case_);
    if (node == nullptr) Fail(kOutOfMemory);
    return node;
  }

  // The children of the container being read wait on stack_ from base on, and move
  // into one block of the arena when it closes.
  JsonValue** CloseChildren(size_t base, size_t count, size_t index_bytes) {
    auto** block =
        static_cast<JsonValue**>(arena_->Allocate(sizeof(JsonValue*) * count + index_bytes));
    if (block == nullptr) {
      Fail(kOutOfMemory);
      return nullptr;
    }
    std::copy_n(stack_.begin() + static_cast<std::ptrdiff_t>(base), count, block);
    stack_.resize(base);
    return block;
  }

  void CloseArray(JsonValue* node, size_t base) {
    const size_t count = stack_.size() - base;
    if (count == 0) return;
    if (count > std::numeric_limits<uint32_t>::max()) return Fail(kOutOfMemory);
    JsonValue** block = CloseChildren(base, count, 0);
    if (block == nullptr) return;
    node->payload_.children = block;
    node->size_ = node->capacity_ = static_cast<uint32_t>(count);
  }

  // Ends an object whose members, repeats included, wait on stack_ from base on in
  // document order: a repeated name keeps its first place and takes the later value.
  // A large object gets the sorted index its lookups search.
  void CloseObject(JsonValue* node, size_t base) {
    JsonValue** members = stack_.data() + base;
    const size_t count = stack_.size() - base;
    if (count == 0) return;
    if (count > std::numeric_limits<uint32_t>::max()) return Fail(kOutOfMemory);
    size_t kept = 0;
    std::vector<uint32_t> order;
    if (count <= JsonValue::kIndexedMembers) {
      for (size_t i = 0; i < count; ++i) {
        size_t first = 0;
        while (first < kept && !SameJsonNames(members[first]->name(), members[i]->name(), no_case_))
          ++first;
        if (first < kept) {
          members[first]->TakeValueOf(*members[i]);
        } else {
          members[kept++] = members[i];
        }
      }
    } else {
      order.resize(count);
      std::iota(order.begin(), order.end(), 0u);
      auto before = [&](uint32_t a, uint32_t b) {
        return CompareJsonNames(members[a]->name(), members[b]->name(), no_case_) < 0;
      };
      std::stable_sort(order.begin(), order.end(), before);
      // In each run of one name the first place is kept; later places are dropped.
      size_t runs = 0;
      for (size_t run = 0; run < count;) {
        size_t end = run + 1;
        while (end < count && !before(order[run], order[end])) ++end;
        if (end - run > 1) members[order[run]]->TakeValueOf(*members[order[end - 1]]);
        for (size_t k = run + 1; k < end; ++k) members[order[k]] = nullptr;
        order[runs++] = order[run];
        run = end;
      }
      order.resize(runs);
      std::vector<uint32_t> place(count);
      for (size_t i = 0; i < count; ++i) {
        if (members[i] == nullptr) continue;
        place[i] = static_cast<uint32_t>(kept);
        members[kept++] = members[i];
      }
      for (uint32_t& position : order) position = place[position];
    }
    const bool indexed = kept > JsonValue::kIndexedMembers;
    stack_.resize(base + kept);
    JsonValue** block = CloseChildren(base, kept, indexed ? sizeof(uint32_t) * kept : 0);
    if (block == nullptr) return;
    node->payload_.children = block;
    node->size_ = static_cast<uint32_t>(kept);
    if (indexed) std::copy(order.begin(), order.end(), reinterpret_cast<uint32_t*>(block + kept));
  }

  void ParseArray(JsonValue* node, int depth) {
    node->SetArray();
    const size_t base = stack_.size();
    int c = NextNonBlank();
    if (failed_) return;
    if (c == ']') return CloseArray(node, base);
    while (!failed_) {
      JsonValue* element = NewNode();
      if (element == nullptr) return;
      stack_.push_back(element);
      ParseValue(element, c, depth);
      if (failed_) return;
      c = NextNonBlank();
      if (failed_) return;
      if (c == ']') return CloseArray(node, base);
      if (c != ',') return Fail(kUnexpectedChar);
      c = NextNonBlank();
    }
  }

  void ParseObject(JsonValue* node, int depth) {
    node->SetObject();
    const size_t base = stack_.size();
    int c = NextNonBlank();
    if (failed_) return;
    if (c == '}') return CloseObject(node, base);
    if (c != '"') return Fail(kMemberNameExpected);
    while (!failed_) {
      const std::string_view name = ReadString();
      if (failed_) return;
      JsonValue* member = NewMember(name);
      if (member == nullptr) return;
      stack_.push_back(member);
      c = NextNonBlank();
      if (failed_) return;
      if (c != ':') return Fail(kExpectedColon);
      c = NextNonBlank();
      ParseValue(member, c, depth);
      if (failed_) return;
      c = NextNonBlank();
      if (failed_) return;
      if (c == '}') return CloseObject(node, base);
      if (c != ',') return Fail(kUnexpectedChar);
      c = NextNonBlank();
      if (failed_) return;
      if (c != '"') return Fail(kMemberNameExpected);
    }
  }

  // A new Null member node holding a copy of its name.
  JsonValue* NewMember(std::string_view name) {
    const char* copy = nullptr;
    if (!arena_->CopyText(name, &copy)) {
      Fail(kOutOfMemory);
      return nullptr;
    }
    JsonValue* member = NewNode();
    if (member == nullptr) return nullptr;
    member->name_ = copy;
    member->name_size_ = static_cast<uint32_t>(name.size());
    return member;
  }

  // Consumes the plain run at once: it needs no decoding, and only the column moves.
  template <typename FlushHigh>
  void AppendPlainRun(std::string& out, bool terminated, FlushHigh& flush_high) {
    if (pushed_back_ >= 0) return;
    int32_t characters = 0;
    const size_t end = PlainRunEnd(&characters);
    if (end == position_) return;
    flush_high();
    if (!terminated) out.append(text_.data() + position_, end - position_);
    column_ += characters;
    position_ = end;
  }

  // Reads the rest of a string after its opening quote into out.
  void ParseStringBody(std::string& out) {
    bool terminated = false;  // an escaped code unit 0 ends the text
    uint32_t pending_high = 0;
    auto flush_high = [&]() {
      if (pending_high != 0 && !terminated) AppendUtf8(out, pending_high);
      pending_high = 0;
    };
    while (true) {
      AppendPlainRun(out, terminated, flush_high);
      int c = ReadRequired();
      if (failed_) return;
      if (c == '"') break;
      if (c != '\\') {
        flush_high();
        if (!terminated) out.push_back(static_cast<char>(c));
        continue;
      }
      c = ReadRequired();
      if (failed_) return;
      uint32_t unit = 0;
      switch (c) {
        case '"':
        case '/':
        case '\\':
          unit = static_cast<uint32_t>(c);
          break;
        case 'b':
          unit = 8;
          break;
        case 'f':
          unit = 12;
          break;
        case 'n':
          unit = 10;
          break;
        case 'r':
          unit = 13;
          break;
        case 't':
          unit = 9;
          break;
        case 'u':
          for (int i = 0; i < 4; ++i) {
            int digit = ReadRequired();
            if (failed_) return;
            int value = HexDigitValue(digit);
            if (value < 0) return Fail(kInvalidEscape);
            unit = (unit << 4) | static_cast<uint32_t>(value);
          }
          break;
        default:
          return Fail(kInvalidEscape);
      }
      if (unit >= 0xDC00 && unit <= 0xDFFF && pending_high != 0) {
        uint32_t combined = 0x10000 + ((pending_high - 0xD800) << 10) + (unit - 0xDC00);
        pending_high = 0;
        if (!terminated) AppendUtf8(out, combined);
        continue;
      }
      flush_high();
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        pending_high = unit;
      } else if (unit == 0) {
        terminated = true;
      } else if (!terminated) {
        AppendUtf8(out, unit);
      }
    }
    flush_high();
  }

  // Reads one or more digits into text; the first non-digit is left in *next.
  bool ReadDigits(std::string& text, int* next) {
    int c = Read();
    if (!IsDigit(c)) {
      Fail(kInvalidNumber);
      return false;
    }
    while (IsDigit(c)) {
      text.push_back(static_cast<char>(c));
      c = Read();
    }
    *next = c;
    return true;
  }

  void ParseNumber(JsonValue* node, int first) {
    std::string text;
    bool is_float = false;
    if (first == '-') {
      text.push_back('-');
    } else {
      PushBack(first);
    }
    int c = 0;
    if (!ReadDigits(text, &c)) return;
    if (c == '.') {
      is_float = true;
      text.push_back('.');
      if (!ReadDigits(text, &c)) return;
    }
    if (c == 'e' || c == 'E') {
      is_float = true;
      text.push_back('e');
      c = Read();
      if (c == '+' || c == '-') {
        text.push_back(static_cast<char>(c));
      } else {
        PushBack(c);
      }
      if (!ReadDigits(text, &c)) return;
    }
    PushBack(c);

    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (!is_float) {
      int64_t value = 0;
      auto [ptr, ec] = std::from_chars(begin, end, value);
      if (ec == std::errc() && ptr == end) {
        node->SetInteger(value);
        return;
      }
      // Integers beyond 64 bits are kept approximately, as doubles.
    }
    double value = 0.0;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec == std::errc::result_out_of_range) {
      // from_chars leaves the value unset on overflow or underflow: pick the limit.
      bool negative = text[0] == '-';
      bool underflow = false;
      size_t e = text.find('e');
      if (e != std::string::npos && e + 1 < text.size() && text[e + 1] == '-') underflow = true;
      value = underflow ? (negative ? -0.0 : 0.0)
                        : (negative ? -std::numeric_limits<double>::infinity()
                                    : std::numeric_limits<double>::infinity());
    } else if (ec != std::errc() || ptr != end) {
      return Fail(kInvalidNumber);
    }
    node->SetDouble(value);
  }

  std::string_view text_;
  size_t position_ = 0;
  int pushed_back_ = -1;
  int32_t line_ = 1;
  int32_t column_ = 0;
  bool pending_cr_ = false;
  bool failed_ = false;
  JsonError error_;
  JsonArena* arena_;
  bool no_case_;
  // Children of the open containers, innermost last.
  std::vector<JsonValue*> stack_;
  // The string being read; reused, so reading one allocates nothing.
  std::string scratch_;
};

std::unique_ptr<JsonDocument> ParseJsonText(std::string_view text, int flags, JsonError* error) {
  last_error = JsonError{};
  if (error != nullptr) *error = JsonError{};
  // A tree takes two to three times the bytes of its text; room left untouched costs
  // nothing.
  constexpr size_t kLargestFirstBlock = size_t{1} << 20;
  const size_t hint = std::min(text.size(), kLargestFirstBlock) * 3 + 1024;
  const bool no_case = (flags & kJsonNoCase) != 0;
  std::unique_ptr<JsonDocument> document = JsonDocument::Create(no_case, hint);
  JsonParser parser(text, document == nullptr ? nullptr : document->arena(), no_case);
  bool parsed = false;
  if (document == nullptr) {
    parser.FailOutOfMemory();
  } else {
    parsed = parser.ParseDocument(document->root());
  }
  if (!parsed) {
    last_error = parser.error();
    if (error != nullptr) *error = parser.error();
    return nullptr;
  }
  return document;
}

const std::string& LastJsonErrorMessage() { return last_error.message; }
int32_t LastJsonErrorLine() { return last_error.line; }
int32_t LastJsonErrorColumn() { return last_error.column; }

}  // namespace brasswick
