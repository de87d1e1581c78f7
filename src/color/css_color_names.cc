#include "color/css_color_names.h"

#include "color/color_text.h"

namespace brasswick {
namespace {

std::vector<CssColorName>& NameList() {
  static std::vector<CssColorName> names;
  return names;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

void ParseLine(std::string_view line, std::vector<CssColorName>& names) {
  std::size_t quotes[4];
  int found = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '"') continue;
    if (found == 4) return;  // a fifth quote: not a name line
    quotes[found++] = i;
  }
  if (found != 4) return;
  std::string name(line.substr(quotes[0] + 1, quotes[1] - quotes[0] - 1));
  for (char& c : name) c = LowerAscii(c);
  std::string_view value = line.substr(quotes[2] + 1, quotes[3] - quotes[2] - 1);
  // The value is always read by the "#" hex rule, even if its "#" were missing.
  ColorValue color = (!value.empty() && value.front() == '#')
                         ? ColorFromSpec(value)
                         : ColorFromSpec("#" + std::string(value));
  names.push_back(CssColorName{std::move(name), color});
}

}  // namespace

void LoadCssColorNames() {
  std::vector<CssColorName>& names = NameList();
  names.clear();
  std::string_view text(reinterpret_cast<const char*>(kCssColorNamesJson), kCssColorNamesJson_size);
  // CR counts as a line break like LF, so CR LF and bare CR files read alike.
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    ParseLine(text.substr(start, end - start), names);
    start = end + 1;
  }
}

const std::vector<CssColorName>& CssColorNames() {
  if (NameList().empty()) LoadCssColorNames();
  return NameList();
}

ColorValue LookupCssColorName(std::string_view text) {
  std::string key;
  key.reserve(text.size());
  for (char c : text) {
    if (c != ' ' && c != '-') key += LowerAscii(c);
  }
  for (const CssColorName& entry : CssColorNames()) {
    if (entry.name == key) return entry.color;
  }
  return kNoColor;
}

}  // namespace brasswick
