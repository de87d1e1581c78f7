#include "cart/cart_document.h"

#include <algorithm>
#include <cstddef>

#include "runtime/platform/file_system.h"

namespace brasswick {
namespace {

constexpr std::string_view kCartSignature = "pico-8 cartridge";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Only this much of the file's start decides whether it is a cartridge and which
// newline it uses.
constexpr std::size_t kProbeLength = 128;

bool IsMarkerLine(std::string_view line) {
  return line.size() >= 2 && line.substr(0, 2) == "__" && line.substr(line.size() - 2) == "__";
}

// Splits at "\n", "\r\n", a lone "\r" or NUL; a break at the very end adds no line.
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\n' || c == '\r' || c == '\0') {
      lines.emplace_back(text.substr(start, i - start));
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

}  // namespace

std::optional<CartDocument> LoadCartDocument(const std::string& path) {
  if (path.empty()) return std::nullopt;
  std::optional<std::string> content = ReadWholeFile(path);
  if (!content) return std::nullopt;
  std::string_view text = *content;

  std::string_view probe = text;
  if (probe.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    probe.remove_prefix(kByteOrderMark.size());
  }
  probe = probe.substr(0, kProbeLength);
  probe = probe.substr(0, probe.find('\0'));
  if (probe.substr(0, kCartSignature.size()) != kCartSignature) return std::nullopt;

  CartDocument document;
  document.newline = probe.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
  document.path = path;
  if (path.find('/') == std::string::npos) document.path = CurrentDirectory() + path;

  document.sections.emplace_back();
  for (std::string& line : SplitLines(text)) {
    if (IsMarkerLine(line)) {
      document.sections.push_back(CartSection{std::move(line), {}});
    } else {
      document.sections.back().lines.push_back(std::move(line));
    }
  }
  return document;
}

bool SaveCartDocument(const CartDocument& document, const std::string& path) {
  std::string out;
  for (const CartSection& section : document.sections) {
    if (!section.name.empty()) out.append(section.name).append(document.newline);
    for (const std::string& line : section.lines) out.append(line).append(document.newline);
  }
  return WriteFileAtomic(path, out);
}

std::string NormalizeSectionName(std::string_view name) {
  if (name.empty()) return std::string();
  std::string result(name);
  std::transform(result.begin(), result.end(), result.begin(), [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  });
  if (result.compare(0, 2, "__") != 0) result.insert(0, "__");
  if (result.size() < 2 || result.compare(result.size() - 2, 2, "__") != 0) result += "__";
  return result;
}

CartSection* FindSection(CartDocument& document, std::string_view name, bool create) {
  std::string marker = NormalizeSectionName(name);
  for (CartSection& section : document.sections) {
    if (section.name == marker) return &section;
  }
  if (!create) return nullptr;
  document.sections.push_back(CartSection{std::move(marker), {}});
  return &document.sections.back();
}

const CartSection* FindSection(const CartDocument& document, std::string_view name) {
  std::string marker = NormalizeSectionName(name);
  for (const CartSection& section : document.sections) {
    if (section.name == marker) return &section;
  }
  return nullptr;
}

bool HasSection(const CartDocument& document, std::string_view name) {
  return FindSection(document, name) != nullptr;
}

bool ClearSection(CartDocument& document, std::string_view name) {
  if (name.empty()) return false;
  CartSection* section = FindSection(document, name);
  if (section == nullptr) return false;
  section->lines.clear();
  return true;
}

bool DeleteSection(CartDocument& document, std::string_view name) {
  if (name.empty()) return false;
  std::string marker = NormalizeSectionName(name);
  auto found = std::find_if(document.sections.begin(), document.sections.end(),
                            [&](const CartSection& section) { return section.name == marker; });
  if (found == document.sections.end()) return false;
  document.sections.erase(found);
  return true;
}

}  // namespace brasswick
