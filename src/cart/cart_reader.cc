#include "cart/cart_reader.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

#include "cart/cart_memory.h"
#include "cart/player_script.h"
#include "cart/text_file.h"
#include "runtime/platform/file_system.h"
#include "runtime/platform/paths.h"
#include "runtime/text/text_search.h"

namespace brasswick {
namespace {

constexpr size_t kNpos = std::string_view::npos;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

bool HoldsCartData(std::string_view text) {
  return FindIgnoringCase(text, kCartDataStart) != kNpos;
}

// The value of the src attribute in one <script ...> tag's text, "" when it has none.
std::string_view ScriptSource(std::string_view tag) {
  for (size_t at = FindIgnoringCase(tag, "src"); at != kNpos;
       at = FindIgnoringCase(tag, "src", at + 3)) {
    // The attribute name stands alone: "data-src" or "srcset" are other attributes.
    if (at > 0 && !IsBlank(tag[at - 1])) continue;
    size_t value = at + 3;
    while (value < tag.size() && IsBlank(tag[value])) ++value;
    if (value >= tag.size() || tag[value] != '=') continue;
    ++value;
    while (value < tag.size() && IsBlank(tag[value])) ++value;
    if (value >= tag.size()) return {};
    const char quote = tag[value];
    if (quote == '"' || quote == '\'') {
      const size_t close = tag.find(quote, value + 1);
      if (close == kNpos) return {};
      return tag.substr(value + 1, close - value - 1);
    }
    size_t end = value;
    while (end < tag.size() && !IsBlank(tag[end]) && tag[end] != '>') ++end;
    return tag.substr(value, end - value);
  }
  return {};
}

// The files the page's <script src=...> tags name, in page order, as paths beside the
// page; addresses on other hosts and data URIs are left out (they are no local file),
// and a query or fragment is cut off.
std::vector<std::string> ScriptsNamedByPage(const std::string& page_path, std::string_view page) {
  std::vector<std::string> scripts;
  const std::string folder = FolderOf(page_path);
  for (size_t at = FindIgnoringCase(page, "<script"); at != kNpos;
       at = FindIgnoringCase(page, "<script", at + 7)) {
    const size_t tag_end = page.find('>', at);
    if (tag_end == kNpos) break;
    std::string_view source = ScriptSource(page.substr(at + 7, tag_end - at - 7));
    source = source.substr(0, source.find_first_of("?#"));
    if (source.empty() || source.find(':') != kNpos || source.front() == '/') continue;
    scripts.push_back(folder + std::string(source));
  }
  return scripts;
}

// The list of the script at script_path (the page itself, for a single-file player)
// as the cartridge's payload: the first cart's ROM, and its trailer when the list has
// one (else zeros: the next cart's first values are no trailer). False, with the
// payload left empty, when the list is never closed.
bool TakeList(const std::string& script_path, std::string_view script, CartFile& file) {
  file.script_path = script_path;
  const std::optional<std::string_view> list =
      FindTextBetween(script, kCartDataStart, kCartDataEnd);
  if (!list) return false;
  CartPayload payload = ParseCartData(*list);
  const CartListShape shape = ShapeOfCartList(*list);
  if (!shape.has_trailer) std::fill(payload.begin() + kCartRomSize, payload.end(), 0);
  file.payload = std::move(payload);
  file.has_trailer = shape.has_trailer;
  file.cart_count = shape.cart_count;
  file.old_console = IsOldPlayerScript(script);
  return true;
}

// A page's cartridge: its own list, or its script's. Left empty when there is none, or
// when only the form is wanted.
void ReadPlayerOfPage(const std::string& path, std::string page, CartContent content,
                      CartFile& file) {
  file.page_path = path;
  if (content != CartContent::kWhole) {
    file.page_text = std::move(page);
    return;
  }
  if (HoldsCartData(page)) {
    TakeList(path, page, file);
    file.page_text = std::move(page);
    return;
  }
  // The scripts the page names, then the names an export gives its script: a page
  // may name other scripts of its own (a site's shared code) and load its player script
  // by code, so a named script is the cartridge's only when it holds the list.
  std::vector<std::string> candidates = ScriptsNamedByPage(path, page);
  for (std::string fallback : {ReplaceExtension(path, "js"), FolderOf(path) + "index.js"}) {
    if (std::find(candidates.begin(), candidates.end(), fallback) == candidates.end()) {
      candidates.push_back(std::move(fallback));
    }
  }
  std::string cut_off;  // the first script whose list is never closed
  for (const std::string& candidate : candidates) {
    if (candidate == path) continue;
    const std::string script = ReadTextFile(candidate);
    if (!HoldsCartData(script)) continue;
    if (TakeList(candidate, script, file)) {
      file.read_paths.push_back(candidate);
      cut_off.clear();
      break;
    }
    if (cut_off.empty()) cut_off = candidate;
  }
  // A cut-off script is still the page's: a page all the same, without a cartridge.
  if (!cut_off.empty()) {
    file.script_path = cut_off;
    file.read_paths.push_back(cut_off);
  }
  file.page_text = std::move(page);
}

bool ReadPlayer(const std::string& path, std::string text, CartContent content, CartFile& file) {
  file.form = CartForm::kPlayer;
  if (IsMarkupText(text)) {
    ReadPlayerOfPage(path, std::move(text), content, file);
    return true;
  }
  if (!HoldsCartData(text)) return false;
  if (content == CartContent::kFormOnly) {
    file.script_path = path;
    return true;
  }
  if (!TakeList(path, text, file)) return false;
  file.page_path = FindPageForScript(path, text, &file.page_text);
  if (!file.page_path.empty()) file.read_paths.push_back(file.page_path);
  return true;
}

}  // namespace

bool IsMarkupText(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at < text.size() && text[at] == '<';
}

std::string FindPageForScript(const std::string& path, std::string_view script_text,
                              std::string* page_text) {
  if (IsMarkupText(script_text) || script_text.find("_cartdat") == kNpos) return "";
  const std::string folder = FolderOf(path);
  const std::string candidates[] = {ReplaceExtension(path, "html"), ReplaceExtension(path, "htm"),
                                    folder + "index.html", folder + "index.htm"};
  for (const std::string& candidate : candidates) {
    if (candidate == path) continue;
    std::string text = ReadTextFile(candidate);
    if (text.find(".p8_menu_button") == kNpos) continue;
    if (page_text != nullptr) *page_text = std::move(text);
    return candidate;
  }
  return "";
}

std::optional<CartFile> ReadCartFile(const std::string& path, CartContent content,
                                     FileAccess& files) {
  std::optional<std::string> read = files.ReadWholeFile(path, kMaxPageFileSize);
  if (!read) return std::nullopt;
  CartFile file;
  file.read_paths.push_back(path);
  auto bytes = std::make_shared<std::string>(std::move(*read));
  file.document = LoadCartDocumentFromBytes(path, bytes);
  if (file.document) return file;
  file.picture =
      LoadCartImageFromMemory(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size());
  if (file.picture) {
    std::optional<CartPayload> payload = DecodeCartPixels(*file.picture);
    if (!payload) return std::nullopt;
    file.form = CartForm::kPicture;
    file.payload = std::move(*payload);
    file.has_trailer = true;
    return file;
  }
  // Told by its size alone, so before a script that might happen to be as long.
  if (bytes->size() == kCartRomSize || bytes->size() == kCartPayloadSize) {
    file.form = CartForm::kRom;
    file.has_trailer = bytes->size() == kCartPayloadSize;
    file.payload.assign(bytes->begin(), bytes->end());
    file.payload.resize(kCartPayloadSize, 0);
    return file;
  }
  // Neither form kept the bytes, so they can become the text.
  if (!ReadPlayer(path, DecodeTextBytes(std::move(*bytes)), content, file)) return std::nullopt;
  return file;
}

}  // namespace brasswick
