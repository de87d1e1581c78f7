#include "cli/cli_text.h"

#include <algorithm>
#include <array>

#include "runtime/text/text_codes.h"

namespace brasswick {

namespace {

bool IsBlankChar(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

std::string TrimRight(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && IsBlankChar(text[end - 1])) --end;
  return std::string(text.substr(0, end));
}

std::string_view TrimView(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlankChar(text[begin])) ++begin;
  while (end > begin && IsBlankChar(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string TrimText(std::string_view text) { return std::string(TrimView(text)); }

std::string LowerText(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

std::string UpperText(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

std::string RemoveChar(std::string_view text, char c) {
  std::string result;
  result.reserve(text.size());
  for (char ch : text) {
    if (ch != c) result.push_back(ch);
  }
  return result;
}

std::vector<std::string> SplitText(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (true) {
    size_t found = text.find(separator, start);
    if (found == std::string_view::npos) {
      pieces.emplace_back(text.substr(start));
      return pieces;
    }
    pieces.emplace_back(text.substr(start, found - start));
    start = found + 1;
  }
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string result;
  size_t start = 0;
  while (true) {
    size_t found = text.find(from, start);
    if (found == std::string_view::npos) break;
    result.append(text.substr(start, found - start));
    result.append(to);
    start = found + from.size();
  }
  result.append(text.substr(start));
  return result;
}

std::string FillTemplate(std::string_view message_template, std::string_view word) {
  std::string result(message_template);
  size_t found = result.find('$');
  if (found != std::string::npos) result.replace(found, 1, word);
  return result;
}

bool IsTrueWord(std::string_view text) {
  static constexpr std::array<std::string_view, 9> kWords = {"1",  "true",   "t",       "yes", "y",
                                                             "en", "enable", "enabled", "on"};
  std::string word = LowerText(TrimText(text));
  return std::find(kWords.begin(), kWords.end(), word) != kWords.end();
}

bool IsFalseWord(std::string_view text) {
  static constexpr std::array<std::string_view, 9> kWords = {
      "0", "false", "f", "no", "n", "dis", "disable", "disabled", "off"};
  std::string word = LowerText(TrimText(text));
  return std::find(kWords.begin(), kWords.end(), word) != kWords.end();
}

size_t TextLength(std::string_view text) {
  size_t length = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++length;
  }
  return length;
}

std::string PadRight(std::string_view text, size_t width) {
  std::string result(text);
  size_t length = TextLength(text);
  if (length < width) result.append(width - length, ' ');
  return result;
}

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string result;
  size_t i = 0;
  while (i < text.size()) {
    const Utf8Character character = DecodeUtf8At(text, i);
    if (character.length == 0) {
      result.push_back(0xDC00 + static_cast<unsigned char>(text[i]));
      ++i;
      continue;
    }
    result.push_back(character.code_point);
    i += character.length;
  }
  return result;
}

std::string EncodeUtf8(std::u32string_view text) {
  std::string result;
  for (char32_t c : text) {
    // Bytes that were not valid UTF-8 on the way in stand as U+DC80..U+DCFF.
    if (c >= 0xDC80 && c <= 0xDCFF) {
      result.push_back(static_cast<char>(c - 0xDC00));
    } else {
      AppendUtf8(result, c);
    }
  }
  return result;
}

}  // namespace brasswick
