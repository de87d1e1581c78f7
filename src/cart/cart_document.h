// A loaded .p8 text cartridge: every line of the file, grouped into sections by their
// marker lines ("__gfx__", "__lua__", ...), in file order. The document keeps the
// contents of sections as text; the data sections and the label are read and written
// by the one section codec, cart_layout.h.
#ifndef BRASSWICK_CART_CART_DOCUMENT_H_
#define BRASSWICK_CART_CART_DOCUMENT_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/platform/file_system.h"

namespace brasswick {

// The lines of a section, held as one run of text in which each line is followed by
// its break (the last line may have none). What ends a line depends on the section:
// in the header and the data sections "\n", "\r\n", a lone "\r" and NUL all do; in the
// code section ("__lua__") only "\n" does ("\r\n" is one break), since its strings may
// hold a lone CR or a NUL byte, unless its marker line ends with a lone "\r": a file
// whose lines end so has its code lines end at a lone "\r" too (NUL still does not). The sections
// of a loaded document all view the file's text, held once, so a document costs about the size of
// its file however many lines it has. While a section is untouched it keeps the exact bytes it was
// read from; once lines are added or cleared its run is its own, each line followed by "\n". Copies
// share the text they view.
class CartLines {
 public:
  // What ends a line of text read from a file.
  enum class Breaks : uint8_t {
    kAny,       // "\n", "\r\n", a lone "\r" or NUL
    kLineFeed,  // "\n" or "\r\n" only
    kReturn,    // "\n", "\r\n" or a lone "\r", not NUL
  };

  // Walks the lines in order; each is a view that stays valid while the CartLines
  // holding it is alive and unchanged.
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = const std::string_view*;
    using reference = std::string_view;

    Iterator() = default;
    std::string_view operator*() const { return std::string_view(data_ + position_, length_); }
    Iterator& operator++();
    Iterator operator++(int) {
      Iterator before = *this;
      ++*this;
      return before;
    }
    bool operator==(const Iterator& other) const { return position_ == other.position_; }

   private:
    friend class CartLines;
    Iterator(const char* data, std::size_t position, std::size_t stop, uint8_t cut);
    void FindLineEnd();

    const char* data_ = nullptr;
    std::size_t position_ = 0;
    std::size_t stop_ = 0;
    std::size_t length_ = 0;
    std::size_t next_ = 0;
    uint8_t cut_ = 0;
  };

  CartLines() = default;
  CartLines(std::initializer_list<std::string_view> lines);
  // The lines of (*text)[begin, end), cut by `breaks`: begin is the start of a line and
  // end follows a break or is the end of the text. A null text gives no lines.
  CartLines(std::shared_ptr<const std::string> text, std::size_t begin, std::size_t end,
            Breaks breaks = Breaks::kAny);

  Iterator begin() const;
  Iterator end() const;
  bool empty() const { return begin_ == end_; }
  // Counts the lines, in time linear in their length.
  std::size_t size() const;

  void clear();
  // Appends a line. The line must not hold "\n" (nor, outside the code section, "\r" or
  // NUL): one that does reads back as several lines once saved.
  void push_back(std::string_view line);

  // True while the lines are exactly the bytes they were read from: nothing added or
  // cleared since, and read from a text at all.
  bool verbatim() const { return text_ != nullptr && !growable_; }
  // The bytes read, breaks included; empty unless verbatim().
  std::string_view raw() const;
  // True when the raw bytes end with a break that ends a line in this run (so what
  // follows them starts a line of its own); false for no bytes.
  bool EndsWithBreak() const;

 private:
  std::shared_ptr<const std::string> text_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  // How the run is cut into lines: a Breaks value for text read from a file, or
  // kOwnRun for a run made by push_back, where only "\n" ends a line and every byte
  // before it, "\r" included, belongs to the line.
  uint8_t cut_ = 0;
  // The text was made by push_back (every line followed by "\n"); while nothing else
  // shares it and the run ends it, it grows in place.
  bool growable_ = false;
};

struct CartSection {
  CartSection() = default;
  CartSection(std::string name, CartLines lines, std::string marker_break = std::string())
      : name(std::move(name)), lines(std::move(lines)), marker_break(std::move(marker_break)) {}

  // The marker line exactly as read ("__gfx__", "__GFX__"); empty for the header section.
  std::string name;
  // The section's lines, without their line breaks.
  CartLines lines;
  // The break that ended the marker line as read ("\n", "\r\n", "\r" or NUL; empty at
  // the end of the file); written back while the section's lines are verbatim.
  std::string marker_break;
};

struct CartDocument {
  // Absolute (or cwd-prefixed) path of the loaded file.
  std::string path;
  // The break written after the marker and each line of a section whose lines were
  // changed: "\r\n" when the first 128 characters of the file hold "\r\n", else "\n".
  std::string newline = "\n";
  // File order; the first is always the header section (empty name). A deque, so that
  // appending a section leaves pointers to the others valid.
  std::deque<CartSection> sections;
};

// The most sections a loaded document holds. A cartridge has a dozen or so; each
// section costs about a hundred bytes, so a file of nothing but marker lines would
// otherwise take some thirty times its size.
inline constexpr std::size_t kMaxCartSections = 65536;

// Loads a .p8 text cartridge. None when the file cannot be read, does not begin (after
// an optional UTF-8 byte-order mark) with "pico-8 cartridge", or has more than
// kMaxCartSections sections, the header section included. A byte-order mark
// is kept as the first bytes of the first header line, so saving writes it back.
// Lines are cut as CartLines says; bytes are kept as they are, valid UTF-8 or not.
std::optional<CartDocument> LoadCartDocument(const std::string& path);
// The same from a file's bytes already read. The document shares them; when the result
// is none, no reference to them is kept.
std::optional<CartDocument> LoadCartDocumentFromBytes(const std::string& path,
                                                      std::shared_ptr<const std::string> bytes);

// Writes every section in order through the atomic writer, a piece at a time. A section
// whose lines are verbatim is written as the bytes it was read from, marker line and
// breaks included, so an unchanged document saves as the file it was loaded from; any
// other section is written as its marker and its lines, each followed by the
// document's newline. A newline is put in where a section would otherwise continue
// the unfinished last line of the one before it. Written by `files`; fails when the
// file cannot be written, leaving the target as the result says.
WriteResult SaveCartDocument(const CartDocument& document, const std::string& path,
                             FileAccess& files = RealFiles());

// The marker a lookup name stands for: lower case, wrapped in "__" where missing
// ("gfx", "__gfx" and "GFX" all give "__gfx__"). An empty name stays empty.
std::string NormalizeSectionName(std::string_view name);

// The first section whose marker equals NormalizeSectionName(name) exactly (an empty
// name finds the header section). When none matches and create is set, an empty
// section with the normalised marker is appended and returned. The pointer stays
// valid until a section is removed from the document.
CartSection* FindSection(CartDocument& document, std::string_view name, bool create = false);
const CartSection* FindSection(const CartDocument& document, std::string_view name);

bool HasSection(const CartDocument& document, std::string_view name);
// Removes the lines of the first matching section, keeping its marker. False for an
// empty name (the header section is never cleared) or when nothing matches.
bool ClearSection(CartDocument& document, std::string_view name);
// Removes the first matching section with its marker. False for an empty name or when
// nothing matches.
bool DeleteSection(CartDocument& document, std::string_view name);

}  // namespace brasswick

#endif  // BRASSWICK_CART_CART_DOCUMENT_H_
