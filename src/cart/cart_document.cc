#include "cart/cart_document.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "cart/cart_memory.h"
#include "runtime/platform/file_system.h"

namespace brasswick {
namespace {

constexpr std::string_view kCartSignature = "pico-8 cartridge";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Only this much of the file's start decides whether it is a cartridge and which
// newline it uses.
constexpr std::size_t kProbeLength = 128;

// The cut of a run made by push_back, beside the CartLines::Breaks values.
constexpr uint8_t kOwnRun = 3;
constexpr uint8_t kCutAny = static_cast<uint8_t>(CartLines::Breaks::kAny);
constexpr uint8_t kCutLineFeed = static_cast<uint8_t>(CartLines::Breaks::kLineFeed);
constexpr uint8_t kCutReturn = static_cast<uint8_t>(CartLines::Breaks::kReturn);

// The code section's strings may hold a lone CR or a NUL; everywhere else they end lines.
constexpr std::string_view kCodeMarker = "__lua__";

bool IsAnyBreak(char c) { return c == '\n' || c == '\r' || c == '\0'; }

// One line of a run: it ends at `end` (its break not included) and the next one starts
// at `next`.
struct LineSpan {
  std::size_t end;
  std::size_t next;
};

LineSpan CutLine(const char* data, std::size_t position, std::size_t stop, uint8_t cut) {
  if (cut == kCutAny || cut == kCutReturn) {
    const char last = cut == kCutAny ? '\0' : '\r';
    std::size_t end = position;
    while (end < stop && data[end] != '\n' && data[end] != '\r' && data[end] != last) ++end;
    if (end >= stop) return {stop, stop};
    if (data[end] == '\r' && end + 1 < stop && data[end + 1] == '\n') return {end, end + 2};
    return {end, end + 1};
  }
  const void* found = std::memchr(data + position, '\n', stop - position);
  if (found == nullptr) return {stop, stop};
  std::size_t end = static_cast<std::size_t>(static_cast<const char*>(found) - data);
  const std::size_t next = end + 1;
  if (cut == kCutLineFeed && end > position && data[end - 1] == '\r') --end;
  return {end, next};
}

bool IsMarkerLine(std::string_view line) {
  return line.size() >= 2 && line.substr(0, 2) == "__" && line.substr(line.size() - 2) == "__";
}

// The first `count` characters of UTF-8 text: a continuation byte belongs to the
// character it continues, so it never starts one of its own.
std::string_view FirstCharacters(std::string_view text, std::size_t count) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (characters == count) return text.substr(0, i);
    ++characters;
  }
  return text;
}

// Collects output and hands it to the writer in pieces, so saving never holds a second
// copy of the whole document.
class ChunkedOutput {
 public:
  explicit ChunkedOutput(AtomicFileWriter& writer) : writer_(writer) {}
  void Append(std::string_view bytes) {
    buffer_.append(bytes);
    if (buffer_.size() >= kChunkSize) Flush();
  }
  bool Flush() {
    ok_ = writer_.Write(buffer_) && ok_;
    buffer_.clear();
    return ok_;
  }

 private:
  static constexpr std::size_t kChunkSize = 1 << 16;
  AtomicFileWriter& writer_;
  std::string buffer_;
  bool ok_ = true;
};

}  // namespace

CartLines::Iterator::Iterator(const char* data, std::size_t position, std::size_t stop, uint8_t cut)
    : data_(data), position_(position), stop_(stop), cut_(cut) {
  FindLineEnd();
}

void CartLines::Iterator::FindLineEnd() {
  if (position_ >= stop_) {
    length_ = 0;
    next_ = stop_;
    return;
  }
  LineSpan span = CutLine(data_, position_, stop_, cut_);
  length_ = span.end - position_;
  next_ = span.next;
}

CartLines::Iterator& CartLines::Iterator::operator++() {
  position_ = next_;
  FindLineEnd();
  return *this;
}

CartLines::CartLines(std::initializer_list<std::string_view> lines) {
  for (std::string_view line : lines) push_back(line);
}

CartLines::CartLines(std::shared_ptr<const std::string> text, std::size_t begin, std::size_t end,
                     Breaks breaks)
    : text_(std::move(text)), cut_(static_cast<uint8_t>(breaks)) {
  if (text_ == nullptr) return;
  end_ = std::min(end, text_->size());
  begin_ = std::min(begin, end_);
}

CartLines::Iterator CartLines::begin() const {
  if (text_ == nullptr) return Iterator();
  return Iterator(text_->data(), begin_, end_, cut_);
}

CartLines::Iterator CartLines::end() const {
  if (text_ == nullptr) return Iterator();
  return Iterator(text_->data(), end_, end_, cut_);
}

std::string_view CartLines::raw() const {
  if (!verbatim()) return std::string_view();
  return std::string_view(*text_).substr(begin_, end_ - begin_);
}

bool CartLines::EndsWithBreak() const {
  std::string_view bytes = raw();
  if (bytes.empty()) return false;
  if (cut_ == kCutReturn) return bytes.back() == '\n' || bytes.back() == '\r';
  return cut_ == kCutAny ? IsAnyBreak(bytes.back()) : bytes.back() == '\n';
}

std::size_t CartLines::size() const {
  std::size_t count = 0;
  for (Iterator it = begin(); it != end(); ++it) ++count;
  return count;
}

void CartLines::clear() {
  text_.reset();
  begin_ = end_ = 0;
  cut_ = kOwnRun;
  growable_ = false;
}

void CartLines::push_back(std::string_view line) {
  if (!growable_ || text_.use_count() != 1 || end_ != text_->size()) {
    // Copy the run out with "\n" breaks, so that appending cannot join a line to a
    // lone "\r" before it and nothing that shares the old text sees the change. Its
    // lines keep every byte they had, a code line's "\r" or NUL included.
    auto own = std::make_shared<std::string>();
    own->reserve(end_ - begin_ + line.size() + 1);
    for (std::string_view existing : *this) own->append(existing).push_back('\n');
    text_ = std::move(own);
    begin_ = 0;
    cut_ = kOwnRun;
    growable_ = true;
  }
  // Made by this object as a non-const string and shared with no one.
  std::string& own = const_cast<std::string&>(*text_);
  own.append(line).push_back('\n');
  end_ = own.size();
}

std::optional<CartDocument> LoadCartDocument(const std::string& path) {
  if (path.empty()) return std::nullopt;
  std::optional<std::string> content = ReadWholeFile(path, kMaxCartFileSize);
  if (!content) return std::nullopt;
  return LoadCartDocumentFromBytes(path, std::make_shared<const std::string>(std::move(*content)));
}

std::optional<CartDocument> LoadCartDocumentFromBytes(const std::string& path,
                                                      std::shared_ptr<const std::string> text) {
  if (path.empty() || !text) return std::nullopt;
  CartDocument document;
  {
    std::string_view probe = *text;
    if (probe.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
      probe.remove_prefix(kByteOrderMark.size());
    }
    probe = FirstCharacters(probe, kProbeLength);
    probe = probe.substr(0, probe.find('\0'));
    if (probe.substr(0, kCartSignature.size()) != kCartSignature) return std::nullopt;
    document.newline = probe.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
  }
  document.path = path;
  if (path.find('/') == std::string::npos) document.path = CurrentDirectory() + path;

  // Sections view the one text; only marker lines and their breaks are copied. Each
  // section's lines are cut by its own kind, so whether a line is a marker depends on
  // the section it stands in.
  const char* data = text->data();
  const std::size_t size = text->size();
  document.sections.emplace_back();
  uint8_t cut = kCutAny;
  std::size_t run_start = 0;
  std::size_t position = 0;
  while (position < size) {
    LineSpan span = CutLine(data, position, size, cut);
    std::string_view line(data + position, span.end - position);
    if (IsMarkerLine(line)) {
      if (document.sections.size() == kMaxCartSections) return std::nullopt;
      CartSection& ended = document.sections.back();
      ended.lines = CartLines(text, run_start, position, static_cast<CartLines::Breaks>(cut));
      document.sections.push_back(
          CartSection{std::string(line), {}, std::string(data + span.end, span.next - span.end)});
      // Code lines end as the code's marker line does when that is a lone "\r": a
      // file of such lines would otherwise be code to its end.
      cut = line != kCodeMarker                             ? kCutAny
            : document.sections.back().marker_break == "\r" ? kCutReturn
                                                            : kCutLineFeed;
      run_start = span.next;
    }
    position = span.next;
  }
  document.sections.back().lines =
      CartLines(text, run_start, size, static_cast<CartLines::Breaks>(cut));
  return document;
}

WriteResult SaveCartDocument(const CartDocument& document, const std::string& path,
                             FileAccess& files) {
  AtomicFileWriter writer(files);
  if (!writer.Open(path)) return {};
  ChunkedOutput out(writer);
  // The output so far ends inside a line (the file's last line had no break, and
  // something now follows it).
  bool open = false;
  for (const CartSection& section : document.sections) {
    const bool verbatim = section.lines.verbatim();
    if (!section.name.empty()) {
      if (open) out.Append(document.newline);
      out.Append(section.name);
      const std::string_view marker_break = verbatim ? section.marker_break : document.newline;
      out.Append(marker_break);
      open = marker_break.empty();
    }
    if (verbatim) {
      std::string_view bytes = section.lines.raw();
      out.Append(bytes);
      if (!bytes.empty()) open = !section.lines.EndsWithBreak();
      continue;
    }
    for (std::string_view line : section.lines) {
      out.Append(line);
      out.Append(document.newline);
      open = false;
    }
  }
  if (!out.Flush()) return {};
  return writer.Commit();
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
