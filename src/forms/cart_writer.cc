#include "forms/cart_writer.h"

#include <algorithm>
#include <span>
#include <string_view>

#include "cart/cart_code.h"
#include "cart/cart_image.h"
#include "cart/cart_layout.h"
#include "cart/cart_memory.h"
#include "cart/cart_rom_text.h"
#include "cart/cart_title.h"
#include "cart/cart_trailer.h"
#include "cart/code_format.h"
#include "cart/old_code_compressor.h"
#include "cart/player_script.h"
#include "color/render.h"
#include "runtime/platform/file_access.h"
#include "runtime/text/text_search.h"

namespace brasswick {
namespace {

bool Fail(CartWriteFailure* failure, WriteProblem problem, const std::string& path) {
  failure->problem = problem;
  failure->path = path;
  return false;
}

bool Saved(const WriteResult& saved, CartWriteFailure* failure, const std::string& path) {
  if (saved) return true;
  failure->opened = true;
  failure->saved = saved;
  return Fail(failure, WriteProblem::kSave, path);
}

// The bytes through the atomic writer, telling a file that could not be opened from
// one whose write failed.
bool SaveBytes(std::string_view bytes, const std::string& path, CartWriteFailure* failure) {
  AtomicFileWriter writer;
  if (!writer.Open(path)) return Fail(failure, WriteProblem::kSave, path);
  const WriteResult saved = writer.Write(bytes) ? writer.Commit() : WriteResult{};
  return Saved(saved, failure, path);
}

// The code as .p8 text; none when it holds a zero byte, which code never holds.
std::optional<std::string> CodeAsText(const RomCartridge& cartridge) {
  if (cartridge.code.find('\0') != std::string::npos) return std::nullopt;
  return CodeBytesToText(cartridge.code);
}

bool WritePicture(const RomCartridge& cartridge, const std::string& path,
                  const CartWriteOptions& options, CartWriteFailure* failure) {
  RgbaImage* picture = options.picture;
  ImagePtr made;
  if (!picture) {
    made = CreateTemplateCartImage();
    if (!made) return Fail(failure, WriteProblem::kMakePicture, path);
    picture = made.get();
    ImagePtr own_label;
    const RgbaImage* label = options.label;
    if (!label && cartridge.label) {
      own_label = RenderLabelPixels(*cartridge.label, 1);
      label = own_label.get();
    }
    const std::pair<std::string, std::string> titles =
        options.titles ? *options.titles : TitlesOfCode(cartridge.code);
    if (label && !ApplyCartLabel(*picture, *label)) {
      if (!options.label_may_fail) return Fail(failure, WriteProblem::kMakePicture, path);
      failure->label_skipped = true;
    }
    if (!ApplyCartTitle(*picture, titles.first, titles.second)) {
      return Fail(failure, WriteProblem::kMakePicture, path);
    }
  }
  if (!EncodeCartPixels(*picture, cartridge.payload)) {
    return Fail(failure, WriteProblem::kMakePicture, path);
  }
  return Saved(SaveCartPictureFile(*picture, path), failure, path);
}

// A player from before the current code format hangs on a current-format stream: its
// payload's code goes in the old format, or plain. Code already in either stays as it
// is. False, with failure->form saying why, when the code fits neither way.
bool SuitOldConsole(CartPayload& payload, FormFailure* failure) {
  const std::span<uint8_t> area(payload.data() + kCodeAreaStart, kCodeAreaSize);
  if (!StartsWithMagic(area, kCurrentCodeMagic)) return true;
  std::optional<std::string> code = DecodeCodeArea(area);
  size_t stream_size = 0;
  std::optional<std::string> old_area;
  if (code) old_area = OldConsoleCodeArea(*code, &stream_size);
  if (!old_area) {
    if (!code) {
      failure->problem = FormProblem::kCodeDamaged;
    } else if (stream_size == 0) {
      *failure = {FormProblem::kCodeTooLong, "", code->size(), kMaxCodeLength, ""};
    } else if (stream_size > kCodeAreaSize) {
      *failure = {FormProblem::kCodeTooBig, "", stream_size, kCodeAreaSize, ""};
    } else {
      // The stream fits but would lose the ending an older console appended, which the
      // code really has: only plain bytes keep it, and those do not fit.
      *failure = {FormProblem::kCodeTooBig, "", code->size(), kCodeAreaSize, "the code"};
    }
    return false;
  }
  std::copy(old_area->begin(), old_area->end(), area.begin());
  RefreshTrailerHash(std::span<const uint8_t>(payload.data(), kCartRomSize),
                     std::span<uint8_t>(payload.data() + kCartRomSize, kCartTrailerSize));
  return true;
}

bool WritePlayer(const RomCartridge& cartridge, const std::string& path,
                 const CartWriteOptions& options, CartWriteFailure* failure) {
  const std::string& script_path = options.player_script;
  CartPayload suited;
  if (options.old_console) {
    suited = cartridge.payload;
    if (!SuitOldConsole(suited, &failure->form)) {
      failure->form.path = path;
      return Fail(failure, WriteProblem::kCodeUnsuited, path);
    }
  }
  std::optional<std::string> script;
  if (!script_path.empty()) script = ReadWholeFile(script_path, kMaxPageFileSize);
  std::optional<std::string> written;
  if (script) written = ReplaceCartData(*script, suited.empty() ? cartridge.payload : suited);
  if (!written) return Fail(failure, WriteProblem::kNoPlayerList, path);
  return SaveBytes(*written, path, failure);
}

}  // namespace

bool WriteCartFile(const RomCartridge& cartridge, CartOutput form, const std::string& path,
                   const CartWriteOptions& options, CartWriteFailure* failure) {
  *failure = CartWriteFailure();
  switch (form) {
    case CartOutput::kText: {
      std::optional<std::string> code = CodeAsText(cartridge);
      if (!code) return Fail(failure, WriteProblem::kCodeNotText, path);
      std::optional<std::string> text =
          RomToP8Text(std::span<const uint8_t>(cartridge.payload.data(), kCartRomSize), *code,
                      cartridge.label ? &*cartridge.label : nullptr, cartridge.version);
      if (!text) return Fail(failure, WriteProblem::kShortPayload, path);
      return SaveBytes(*text, path, failure);
    }
    case CartOutput::kLua: {
      std::optional<std::string> code = CodeAsText(cartridge);
      if (!code) return Fail(failure, WriteProblem::kCodeNotText, path);
      return SaveBytes(*code, path, failure);
    }
    case CartOutput::kPicture:
      return WritePicture(cartridge, path, options, failure);
    case CartOutput::kRom: {
      const size_t size = options.rom_trailer ? kCartPayloadSize : kCartRomSize;
      return SaveBytes(
          std::string_view(reinterpret_cast<const char*>(cartridge.payload.data()), size), path,
          failure);
    }
    case CartOutput::kPlayer:
      return WritePlayer(cartridge, path, options, failure);
  }
  return false;
}

bool WriteEditedCartFile(CartFile& file, std::span<uint8_t> memory, std::span<const uint8_t> before,
                         const std::string& path, CartWriteFailure* failure) {
  *failure = CartWriteFailure();
  const auto changed = [&](size_t start, size_t end) {
    return !std::equal(memory.begin() + start, memory.begin() + end, before.begin() + start);
  };
  if (file.form == CartForm::kText) {
    CartDocument& document = *file.document;
    const std::span<const uint8_t> rom = memory.first(kCartRomSize);
    if (changed(kSheetStart, kSheetStart + kSheetByteCount))
      RewriteRomSection(document, "gfx", rom);
    if (changed(kMapStart, kMapEnd)) RewriteRomSection(document, "map", rom);
    return Saved(SaveCartDocument(document, path), failure, path);
  }
  if (file.has_trailer) {
    RefreshTrailerHash(memory.first(kCartRomSize), memory.subspan(kCartRomSize));
  }
  RomCartridge edited;
  edited.payload.assign(memory.begin(), memory.end());
  CartWriteOptions options;
  CartOutput form = CartOutput::kRom;
  if (file.form == CartForm::kPicture) {
    form = CartOutput::kPicture;
    options.picture = file.picture.get();
  } else if (file.form == CartForm::kPlayer) {
    form = CartOutput::kPlayer;
    options.player_script = file.script_path;
  } else {
    options.rom_trailer = file.has_trailer;
  }
  return WriteCartFile(edited, form, path, options, failure);
}

WriteResult SaveCartPictureFile(const RgbaImage& picture, const std::string& path) {
  constexpr int kCartPictureDepth = 32;
  constexpr int kCartPictureQuality = 9;
  return SaveImageFile(picture, path, ImageFormat::kPng, kCartPictureQuality, kCartPictureDepth);
}

std::pair<std::string, std::string> TitlesOfCode(std::string_view code) {
  std::string_view lines[2];
  for (std::string_view& line : lines) {
    const size_t end = code.find('\n');
    line = code.substr(0, end);
    code = end == std::string_view::npos ? std::string_view() : code.substr(end + 1);
  }
  std::pair<std::string, std::string> titles;
  if (!lines[0].starts_with("--")) return titles;
  titles.first = CodeBytesToText(TrimBlanks(lines[0].substr(2)));
  if (lines[1].starts_with("--")) titles.second = CodeBytesToText(TrimBlanks(lines[1].substr(2)));
  return titles;
}

}  // namespace brasswick
