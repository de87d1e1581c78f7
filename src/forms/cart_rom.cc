#include "forms/cart_rom.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <new>
#include <span>
#include <string_view>
#include <utility>

#include "cart/cart_code.h"
#include "cart/cart_memory.h"
#include "cart/cart_trailer.h"
#include "cart/code_compressor.h"
#include "cart/text_file.h"
#include "color/label_colors.h"
#include "html/html_player.h"
#include "runtime/platform/file_system.h"
#include "runtime/platform/paths.h"
#include "runtime/text/text_codes.h"
#include "runtime/text/text_search.h"

namespace brasswick {
namespace {

// Text longer than this holds more characters than code may (none takes more than
// seven bytes), so expanding includes stops there, whatever they repeat.
constexpr size_t kMaxCodeTextSize = 7 * kMaxCodeLength + 7;

// A line "#include FILE" (blanks before it allowed): FILE, else "".
std::string_view IncludedName(std::string_view line) {
  line = line.substr(std::min(line.size(), line.find_first_not_of(" \t")));
  constexpr std::string_view kInclude = "#include";
  if (!line.starts_with(kInclude) || line.size() == kInclude.size() ||
      (line[kInclude.size()] != ' ' && line[kInclude.size()] != '\t')) {
    return {};
  }
  return TrimBlanks(line.substr(kInclude.size()));
}

// The line of its file on which a .p8's code starts: the one after its "lua" marker.
size_t CodeFirstLine(const CartDocument& document) {
  const CartSection* code = FindSection(document, "lua");
  size_t line = 1;
  for (const CartSection& section : document.sections) {
    if (!section.name.empty()) ++line;  // the marker's own line
    if (&section == code) return line;
    line += section.lines.size();
  }
  return 1;
}

// Puts in the files that "#include FILE" lines name, themselves expanded, FILE relative
// to the cartridge's folder. Each file is read once however often it is included.
// Strict, the first failure ends the expansion; else (only to learn which files the
// code reads) a file that cannot be used is passed over.
class IncludeExpander {
 public:
  IncludeExpander(const std::string& cartridge_path, bool strict, FormFailure* failure)
      : folder_(FolderOf(cartridge_path)),
        chain_{cartridge_path},
        strict_(strict),
        failure_(failure) {}

  // Where a stretch of the text put out came from: the file being expanded, and the
  // line of that file the stretch's first line is.
  struct Mark {
    size_t text_offset = 0;
    std::string path;
    size_t line = 1;
  };

  // Appends code, whose first line is line first_line of its file, to out with its include
  // lines replaced. False, with the failure set when strict, for a file that cannot be
  // read, is no code text, includes itself, or passes a bound, and for code past
  // kMaxCodeTextSize.
  bool Append(std::string_view code, size_t first_line, std::string& out);

  // Every file included, each once, in the order first met.
  const std::vector<std::string>& files() const { return files_; }
  // The stretches of the text put out, in text order, each starting a line.
  const std::vector<Mark>& marks() const { return marks_; }

 private:
  // The code text of the file at path, with the line its code starts on in
  // *first_line; none, with the failure set when strict, when it cannot be used.
  const std::string* CodeOfFile(const std::string& path, size_t* first_line);
  // A stretch of the file being expanded starts at offset: a stretch left empty is
  // replaced.
  void MarkStretch(size_t offset, size_t line) {
    if (!marks_.empty() && marks_.back().text_offset == offset) marks_.pop_back();
    marks_.push_back({offset, chain_.back(), line});
  }
  bool Fail(FormProblem problem, const std::string& path, size_t limit = 0) {
    if (strict_ && failure_ != nullptr && failure_->problem == FormProblem::kNone) {
      *failure_ = FormFailure{problem, path, 0, limit, ""};
    }
    return false;
  }

  std::string folder_;
  std::vector<std::string> chain_;  // the files being expanded, the cartridge first
  bool strict_;
  FormFailure* failure_;
  std::vector<std::string> files_;
  std::vector<std::optional<std::string>> texts_;  // files_'s code, none when unusable
  std::vector<size_t> first_lines_;                // the line each of files_'s code starts on
  std::vector<Mark> marks_;
  size_t expanded_ = 0;
  size_t bytes_ = 0;
};

const std::string* IncludeExpander::CodeOfFile(const std::string& path, size_t* first_line) {
  const auto known = std::find(files_.begin(), files_.end(), path);
  if (known != files_.end()) {
    const size_t index = static_cast<size_t>(known - files_.begin());
    const std::optional<std::string>& text = texts_[index];
    if (!text) Fail(FormProblem::kIncludeUnreadable, path);
    *first_line = first_lines_[index];
    return text ? &*text : nullptr;
  }
  files_.push_back(path);
  texts_.emplace_back();
  first_lines_.push_back(1);
  const int64_t size = FileSize(path);
  if (size >= 0 && static_cast<uint64_t>(size) > kMaxCartFileSize) {
    Fail(FormProblem::kIncludeTooLarge, path, kMaxCartFileSize);
    return nullptr;
  }
  std::optional<std::string> bytes = ReadWholeFile(path, kMaxCartFileSize);
  if (!bytes) {
    Fail(FormProblem::kIncludeUnreadable, path);
    return nullptr;
  }
  auto shared = std::make_shared<std::string>(std::move(*bytes));
  std::optional<CartDocument> included = LoadCartDocumentFromBytes(path, shared);
  std::string text = included ? P8CodeText(*included) : DecodeTextBytes(std::move(*shared));
  // Code never holds a zero byte: a file that does (a picture, a ROM) is no code text.
  if (text.find('\0') != std::string::npos) {
    Fail(FormProblem::kIncludeNotText, path);
    return nullptr;
  }
  texts_.back() = std::move(text);
  if (included) first_lines_.back() = CodeFirstLine(*included);
  *first_line = first_lines_.back();
  return &*texts_.back();
}

bool IncludeExpander::Append(std::string_view code, size_t first_line, std::string& out) {
  MarkStretch(out.size(), first_line);
  size_t next_line = first_line;
  while (!code.empty()) {
    ++next_line;  // the line after this one
    const size_t end = code.find('\n');
    const std::string_view line = code.substr(0, end);
    const bool has_break = end != std::string_view::npos;
    code = has_break ? code.substr(end + 1) : std::string_view();
    const std::string_view name = IncludedName(line);
    if (name.empty()) {
      out += line;
      if (has_break) out += '\n';
    } else {
      const std::string path = ResolvePath(name, folder_);
      if (std::find(chain_.begin(), chain_.end(), path) != chain_.end()) {
        Fail(FormProblem::kIncludeLoop, path);
        if (strict_) return false;
        continue;
      }
      size_t text_line = 1;
      const std::string* text = CodeOfFile(path, &text_line);
      if (text) {
        ++expanded_;
        bytes_ += text->size();
      }
      if (expanded_ > kMaxIncludesExpanded || bytes_ > kMaxIncludedBytes) {
        return Fail(FormProblem::kIncludesTooMany, path);
      }
      if (!text) {
        if (strict_) return false;
        continue;
      }
      chain_.push_back(path);
      if (!Append(*text, text_line, out)) return false;
      chain_.pop_back();
      // The file's code takes the line's place, its break included.
      if (has_break && !out.empty() && out.back() != '\n') out += '\n';
      MarkStretch(out.size(), next_line);
    }
    if (out.size() > kMaxCodeTextSize) return Fail(FormProblem::kCodeTooLong, chain_.front());
  }
  return true;
}

// Where in text the byte at offset stands, as "line L, column C" (columns in
// characters, a byte that begins no UTF-8 character being one).
std::string PlaceInText(std::string_view text, size_t offset) {
  const std::string_view before = text.substr(0, offset);
  size_t column = 1;
  for (size_t i = before.rfind('\n') + 1; i < before.size(); ++column) {  // 0 when none
    i += std::max<size_t>(DecodeUtf8At(before, i).length, 1);
  }
  return "line " + std::to_string(std::count(before.begin(), before.end(), '\n') + 1) +
         ", column " + std::to_string(column);
}

constexpr std::string_view kPictureExtension = ".p8.png";

std::string PictureStem(const std::string& path) {
  const std::string_view name = FileNameOf(path);
  if (!EndsWithIgnoringCase(name, kPictureExtension)) return FileStem(path);
  return std::string(name.substr(0, name.size() - kPictureExtension.size()));
}

void SetFailure(FormFailure* failure, FormFailure value) {
  if (failure != nullptr) *failure = std::move(value);
}

}  // namespace

std::vector<std::string> IncludedFiles(const CartDocument& document, const std::string& path) {
  const std::string own = P8CodeText(document);
  IncludeExpander expander(path, false, nullptr);
  std::string ignored;
  expander.Append(own, 1, ignored);
  return expander.files();
}

std::optional<std::string> P8Code(const CartDocument& document, const std::string& path,
                                  FormFailure* failure, std::vector<CodeSpan>* spans,
                                  size_t max_length, std::vector<std::string>* included) {
  const std::string own = P8CodeText(document);
  std::string text;
  FormFailure expanding;
  IncludeExpander expander(path, true, &expanding);
  const bool expanded = expander.Append(own, CodeFirstLine(document), text);
  if (included != nullptr) *included = expander.files();
  if (!expanded) {
    SetFailure(failure, std::move(expanding));
    return std::nullopt;
  }
  // Each file's stretch becomes bytes apart, so that where it starts in the code is
  // known; a stretch starts a line, and no character runs across a line break.
  std::string code;
  const std::vector<IncludeExpander::Mark>& marks = expander.marks();
  for (size_t i = 0; i < marks.size(); ++i) {
    const size_t begin = marks[i].text_offset;
    const size_t end = i + 1 < marks.size() ? marks[i + 1].text_offset : text.size();
    CodeTextFault fault;
    std::optional<std::string> bytes =
        CodeTextToBytes(std::string_view(text).substr(begin, end - begin), &fault);
    if (!bytes) {
      char character[16];
      std::snprintf(character, sizeof character, "U+%04X", static_cast<unsigned>(fault.code_point));
      SetFailure(failure, {FormProblem::kCharacterUnknown, path, 0, 0,
                           PlaceInText(text, begin + fault.offset) + " (" + character + ")"});
      return std::nullopt;
    }
    if (spans != nullptr) spans->push_back({code.size(), marks[i].path, marks[i].line});
    code += *bytes;
  }
  if (code.size() > max_length) {
    SetFailure(failure, {FormProblem::kCodeTooLong, path, code.size(), max_length, ""});
    return std::nullopt;
  }
  return code;
}

bool PutRomCode(RomCartridge& cartridge, std::string code, const std::string& path,
                FormFailure* failure) {
  std::optional<std::string> stream = CompressCode(code);
  if (!stream) {
    SetFailure(failure, {FormProblem::kCodeTooLong, path, code.size(), kMaxCodeLength, ""});
    return false;
  }
  if (stream->size() > kCodeAreaSize) {
    SetFailure(failure, {FormProblem::kCodeTooBig, path, stream->size(), kCodeAreaSize, ""});
    return false;
  }
  cartridge.payload.resize(kCartPayloadSize, 0);
  const auto area = cartridge.payload.begin() + kCodeAreaStart;
  std::fill(area, area + kCodeAreaSize, 0);
  std::copy(stream->begin(), stream->end(), area);
  RefreshTrailerHash(std::span<const uint8_t>(cartridge.payload.data(), kCartRomSize),
                     std::span<uint8_t>(cartridge.payload.data() + kCartRomSize, kCartTrailerSize));
  cartridge.code = std::move(code);
  cartridge.stream_size = stream->size();
  return true;
}

std::optional<RomCartridge> RomOfCode(const CartDocument& document, const std::string& path,
                                      std::string code, FormFailure* failure) {
  RomCartridge cartridge;
  cartridge.version = P8Version(document);
  cartridge.payload = P8DataToRom(document);
  const std::array<uint8_t, kCartTrailerSize> trailer = MakeTrailer(
      std::span<const uint8_t>(cartridge.payload.data(), kCartRomSize), cartridge.version);
  std::copy(trailer.begin(), trailer.end(), cartridge.payload.begin() + kCartRomSize);
  if (!PutRomCode(cartridge, std::move(code), path, failure)) return std::nullopt;
  cartridge.label = ReadLabelPixels(document);
  return cartridge;
}

std::optional<RomCartridge> RomOfFile(CartFile& file, const std::string& path, bool with_label,
                                      FormFailure* failure) {
  RomCartridge cartridge;
  cartridge.payload = std::move(file.payload);
  cartridge.payload.resize(kCartPayloadSize, 0);
  const std::span<const uint8_t> rom(cartridge.payload.data(), kCartRomSize);
  const std::span<const uint8_t> trailer(cartridge.payload.data() + kCartRomSize, kCartTrailerSize);
  if (file.has_trailer) {
    if (!TrailerHashMatches(rom, trailer)) {
      SetFailure(failure, {FormProblem::kHashMismatch, path, 0, 0, ""});
      return std::nullopt;
    }
    if (trailer[kTrailerVersionOffset] != 0) cartridge.version = trailer[kTrailerVersionOffset];
  } else {
    const std::array<uint8_t, kCartTrailerSize> made = MakeTrailer(rom, cartridge.version);
    std::copy(made.begin(), made.end(), cartridge.payload.begin() + kCartRomSize);
  }
  std::optional<std::string> code = DecodeCodeArea(rom.subspan(kCodeAreaStart, kCodeAreaSize));
  if (!code) {
    SetFailure(failure, {FormProblem::kCodeDamaged, path, 0, 0, ""});
    return std::nullopt;
  }
  cartridge.code = std::move(*code);
  if (with_label) cartridge.label = CartFileLabel(file);
  return cartridge;
}

std::optional<LabelPixels> CartFileLabel(CartFile& file) {
  // Each pixel the nearest of the 32 label colours by its upper six bits, as the console
  // shows it (a cartridge picture's low two carry its payload).
  const LabelColorRule rule{kLabelColorCount, true};
  if (file.form == CartForm::kPicture && file.picture) {
    return PickLabelColors(*file.picture, kCartLabelX, kCartLabelY, rule);
  }
  if (file.form != CartForm::kPlayer || file.page_path.empty()) return std::nullopt;
  HtmlPlayerPtr player = file.page_text.empty() ? LoadHtmlPlayer(file.page_path)
                                                : HtmlPlayerFromText(std::move(file.page_text));
  ImagePtr picture;
  if (!player || FindEmbeddedLabel(*player, &picture) < 0) return std::nullopt;
  return PickLabelColors(*picture, 0, 0, rule);
}

namespace {

std::optional<ExportCartridge> ExportCartridgeOf(CartFile file, const std::string& path,
                                                 bool with_label) {
  if (file.form == CartForm::kText) {
    return ExportCartridge{CartSource::FromDocument(std::move(*file.document)),
                           std::move(file.read_paths), FileStem(path)};
  }
  // The exports read a game's three forms; a raw ROM is left to convert.
  if (file.form == CartForm::kRom) return std::nullopt;
  std::optional<LabelPixels> label;
  if (with_label) label = CartFileLabel(file);
  std::optional<CartSource> source = CartSource::FromMemory(file.payload, std::move(label));
  if (!source) return std::nullopt;
  const std::string stem = file.form == CartForm::kPicture ? PictureStem(path) : FileStem(path);
  return ExportCartridge{std::move(*source), std::move(file.read_paths), stem};
}

}  // namespace

std::optional<ExportCartridge> ReadExportCartridge(const std::string& path, bool with_label) {
  std::optional<CartFile> file = ReadCartFile(path);
  if (!file) return std::nullopt;
  return ExportCartridgeOf(std::move(*file), path, with_label);
}

}  // namespace brasswick
