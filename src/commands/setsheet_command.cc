// The setsheet and setmap commands: a picture put back into a cartridge's sprite sheet,
// or cut into 8 x 8 cells and put back into its map as the numbers of the sprites they
// show. Both work on the cartridge's memory whatever its form, and write back only what
// they changed: a .p8's __gfx__ and __map__ sections, a .p8.png's payload bits (and the
// hash after the memory), a player's list, or a raw ROM's bytes.
#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cart/cart_document.h"
#include "cart/cart_layout.h"
#include "cart/cart_memory.h"
#include "cart/cart_reader.h"
#include "cli/cli_api.h"
#include "color/palette.h"
#include "color/palette_fit.h"
#include "color/render.h"
#include "commands/cartridge_input.h"
#include "commands/command_arg_names.h"
#include "commands/command_procedures.h"
#include "commands/failure_codes.h"
#include "commands/image_output.h"
#include "commands/palette_options.h"
#include "console/console.h"
#include "forms/cart_writer.h"
#include "runtime/image/image.h"
#include "runtime/platform/file_system.h"
#include "runtime/platform/paths.h"

namespace brasswick {
namespace {

// The cartridge being edited: its file and its memory. The memory is the payload of the
// forms that carry one; a .p8's is built from its sheet, map and flags (the rest stays
// zero, and only the sheet and map are ever written back).
struct Cartridge {
  CartFile file;
  CartPayload memory;
  CartPayload before;  // the memory as read
};

struct Job {
  std::string cart_path;
  std::string picture_path;
  std::string output_path;
  int transparent = 0;  // the colour a fully transparent pixel stands for
};

std::string Dimensions(int64_t width, int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

std::string At(int64_t x, int64_t y) {
  return "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

Job ReadJob() {
  Job job;
  job.cart_path = ResolvePath(GetArgValue(arg::kCart), "");
  job.picture_path = ResolvePath(GetArgValue(arg::kPicture), "");
  const std::string output_value = GetArgValue(arg::kOutput);
  job.output_path = output_value.empty() ? job.cart_path : ResolvePath(output_value, "");
  if (ApplyTransparentOption() && TransparentIndex() >= 0) {
    job.transparent = static_cast<int>(TransparentIndex());
  }
  return job;
}

// Reads the cartridge in any form. None, with the failure recorded, when it is no
// cartridge, a page whose cartridge was not found, or a cartridge whose hash does not
// match its memory (its damage would be hidden by the new hash).
std::optional<Cartridge> LoadCartridge(Job& job) {
  PrintVerbose("Loading cartridge...");
  std::optional<CartFile> file = ReadCartFile(job.cart_path);
  if (!file || (file->form != CartForm::kText && file->payload.size() != kCartPayloadSize)) {
    RecordFailure(kLoadCartridgeFailed, "Failed to load p8, cartridge, or HTML:\n" + job.cart_path);
    return std::nullopt;
  }
  Cartridge cartridge;
  if (file->form == CartForm::kText) {
    // Only the sheet and the map are written back; the flags are read, for setmap gives
    // no new tile to a sprite that has any.
    cartridge.memory = P8DataToRom(*file->document);
  } else {
    cartridge.memory = std::move(file->payload);
    const std::span<const uint8_t> memory(cartridge.memory);
    if (file->has_trailer &&
        !TrailerHashMatches(memory.first(kCartRomSize), memory.subspan(kCartRomSize))) {
      RecordFailure(kDamagedCartridge, "Failed to match the cartridge's hash:\n" + job.cart_path);
      return std::nullopt;
    }
  }
  // A player is written where its list is (so edited in place, its script is the output);
  // no other file that was read is written over.
  const std::string& edited = file->form == CartForm::kPlayer ? file->script_path : job.cart_path;
  if (job.output_path == job.cart_path) job.output_path = edited;
  if (!CheckOutputIsNotRead(file->read_paths, job.output_path, edited)) return std::nullopt;
  cartridge.before = cartridge.memory;
  cartridge.file = std::move(*file);
  return cartridge;
}

// Loads the picture after checking the size its header declares with fits, so that a
// picture too large for its place is refused before its pixels cost anything. fits
// records the failure. None when a failure was recorded.
template <typename Fits>
ImagePtr LoadPicture(const Job& job, Fits fits) {
  PrintVerbose("Loading picture...");
  std::optional<std::string> bytes = ReadWholeFile(job.picture_path, kMaxPictureFileSize);
  std::optional<ImageSize> size;
  if (bytes) {
    size = ReadImageSize(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size());
  }
  if (size && !fits(size->width, size->height)) return nullptr;
  ImagePtr picture;
  if (bytes) {
    picture = LoadImageFromMemory(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size());
  }
  if (!picture) {
    RecordFailure(kLoadImageFailed, LoadImageFailedMessage(job.picture_path));
    return nullptr;
  }
  // What was decoded is what counts, should a header have told otherwise.
  if (!size || size->width != picture->width() || size->height != picture->height()) {
    if (!fits(picture->width(), picture->height())) return nullptr;
  }
  return picture;
}

// The picture as colour indices 0-15, row by row. A fully transparent pixel is
// job.transparent; any other must be one of the 16 standard colours exactly, or with fit
// the nearest of them. None, with the failure recorded (followed by hint), when a pixel
// is none of them.
std::optional<std::vector<uint8_t>> ColorIndices(const RgbaImage& picture, const Job& job, bool fit,
                                                 std::string_view hint) {
  std::array<uint32_t, kPaletteSize> palette;
  for (int i = 0; i < kPaletteSize; ++i) {
    palette[i] = static_cast<uint32_t>(PaletteColor(i, kStandardRow) & 0xFFFFFF);
  }
  const PaletteSearch search(kStandardRow);
  std::vector<uint8_t> indices(static_cast<size_t>(picture.width()) * picture.height());
  const int channels = picture.channels();
  int64_t strangers = 0;
  int first_x = 0;
  int first_y = 0;
  size_t at = 0;
  for (int y = 0; y < picture.height(); ++y) {
    const uint8_t* p = picture.Row(y);
    for (int x = 0; x < picture.width(); ++x, p += channels, ++at) {
      if (channels == 4 && p[3] == 0) {
        indices[at] = static_cast<uint8_t>(job.transparent);
        continue;
      }
      const uint32_t rgb = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
      const auto found = std::find(palette.begin(), palette.end(), rgb);
      if (found != palette.end()) {
        indices[at] = static_cast<uint8_t>(found - palette.begin());
      } else if (fit) {
        indices[at] = static_cast<uint8_t>(search.Nearest(p[0], p[1], p[2]));
      } else if (strangers++ == 0) {
        first_x = x;
        first_y = y;
      }
    }
  }
  if (strangers == 0) return indices;
  RecordFailure(kPictureColorsUnknown, "Failed to match the picture's colours to the palette:\n" +
                                           job.picture_path + "\n" + std::to_string(strangers) +
                                           (strangers == 1 ? " pixel is" : " pixels are") +
                                           " none of the 16 colours, the first at " +
                                           At(first_x, first_y) + "." + std::string(hint));
  return std::nullopt;
}

// Sets the colour index of sheet pixel (x, y) in memory.
void SetSheetPixel(std::span<uint8_t> memory, int x, int y, int index) {
  uint8_t& byte = memory[static_cast<size_t>(y) * kSheetRowBytes + x / 2];
  byte = (x & 1) ? static_cast<uint8_t>((byte & 0x0F) | (index << 4))
                 : static_cast<uint8_t>((byte & 0xF0) | index);
}

// Writes the edited memory back in the cartridge's own form to job.output_path.
bool SaveCartridge(Cartridge& cartridge, const Job& job) {
  PrintVerbose("Saving cartridge...");
  CartFile& file = cartridge.file;
  CartWriteFailure failure;
  if (WriteEditedCartFile(file, cartridge.memory, cartridge.before, job.output_path, &failure)) {
    return true;
  }
  if (file.form == CartForm::kText) {
    RecordFailure(kSaveDestinationFailed,
                  WithWriteNote("Failed to save p8 file:\n" + job.output_path, failure.saved));
    return false;
  }
  const CartOutput form = file.form == CartForm::kPicture  ? CartOutput::kPicture
                          : file.form == CartForm::kPlayer ? CartOutput::kPlayer
                                                           : CartOutput::kRom;
  RecordCartWriteFailure(failure, form, file.script_path, file.script_path);
  return false;
}

void Finish(const Job& job) {
  PrintVerbose("Saved: " + job.output_path);
  RunFinishingActions(job.output_path, "Opening saved file...", "Locating saved file...");
}

// ---- setsheet ----

void PlaceSheetPicture(Job& job) {
  int sprite = 0;
  if (IsArgSet(arg::kAt)) {
    const int64_t at = GetArgInt(arg::kAt, 0, 0);
    if (at < 0 || at >= kSpriteCount) {
      RecordFailure(kSpriteOutOfRange, "Out of sprite number range (0-255)");
      return;
    }
    sprite = static_cast<int>(at);
  }
  const int x0 = (sprite % kSpritesPerRow) * kSpriteSide;
  const int y0 = (sprite / kSpritesPerRow) * kSpriteSide;
  const int room_x = kSheetSide - x0;
  const int room_y = kSheetSide - y0;
  ImagePtr picture = LoadPicture(job, [&](int64_t width, int64_t height) {
    if (width <= room_x && height <= room_y) return true;
    RecordFailure(kPictureDoesNotFit, "Failed to place the picture in the sprite sheet:\n" +
                                          job.picture_path + "\nIt is " +
                                          Dimensions(width, height) + " pixels; from sprite " +
                                          std::to_string(sprite) + " the sheet has room for " +
                                          Dimensions(room_x, room_y) + ".");
    return false;
  });
  if (!picture) return;
  std::optional<std::vector<uint8_t>> indices = ColorIndices(
      *picture, job, IsArgSet(arg::kFitPalette), " --fitPalette takes the nearest colour instead.");
  if (!indices) return;
  std::optional<Cartridge> cartridge = LoadCartridge(job);
  if (!cartridge) return;

  PrintVerbose("Placing the picture...");
  const std::span<uint8_t> memory(cartridge->memory);
  // The lower half's bytes are also map cells: those the picture reaches are counted once,
  // when they held a sprite number and now hold another.
  std::bitset<kSheetHalfByteCount> reached;
  const uint8_t* index = indices->data();
  for (int y = y0; y < y0 + picture->height(); ++y) {
    for (int x = x0; x < x0 + picture->width(); ++x) {
      if (y >= kSheetSide / 2)
        reached.set(static_cast<size_t>(y) * kSheetRowBytes + x / 2 - kSharedStart);
      SetSheetPixel(memory, x, y, *index++);
    }
  }
  int64_t overwritten = 0;
  for (size_t i = 0; i < reached.size(); ++i) {
    const uint8_t was = cartridge->before[kSharedStart + i];
    overwritten += reached[i] && was != 0 && was != memory[kSharedStart + i];
  }
  if (!SaveCartridge(*cartridge, job)) return;
  if (overwritten > 0) {
    PrintNotice("Warning: the picture also changed " + std::to_string(overwritten) +
                " map cells of rows 32-63 that were not empty:\n" + job.output_path);
  }
  Finish(job);
}

// ---- setmap ----

using Tile = SpriteTile;

struct TileHash {
  size_t operator()(const Tile& tile) const {
    uint64_t words[4];
    std::memcpy(words, tile.data(), sizeof(words));
    uint64_t h = 0x9E3779B97F4A7C15u;
    for (uint64_t w : words) h = (h ^ w) * 0xFF51AFD7ED558CCDu + (h >> 29);
    return static_cast<size_t>(h ^ (h >> 32));
  }
};

Tile PictureTile(const std::vector<uint8_t>& indices, int width, int column, int row) {
  Tile tile;
  for (int y = 0; y < 8; ++y) {
    const uint8_t* p = indices.data() + static_cast<size_t>(row * 8 + y) * width + column * 8;
    for (int k = 0; k < 4; ++k)
      tile[y * 4 + k] = static_cast<uint8_t>(p[2 * k] | (p[2 * k + 1] << 4));
  }
  return tile;
}

constexpr int kListedCells = 5;

// The picture cut into blocks, and where it goes in the map.
struct MapPicture {
  int x = 0;  // the map cell of its top-left block
  int y = 0;
  int columns = 0;
  int rows = 0;
  std::vector<Tile> blocks;  // row by row

  bool Covers(int cell_x, int cell_y) const {
    return cell_x >= x && cell_y >= y && cell_x < x + columns && cell_y < y + rows;
  }
  size_t IndexOf(int cell_x, int cell_y) const {
    return static_cast<size_t>(cell_y - y) * columns + (cell_x - x);
  }
};

// What the picture's cells become. A cell whose block is what its sprite shows keeps
// its number and is not written, so that look-alike sprites (a game may tell them apart
// by their flags) and the sheet's lower half are left alone; any other cell is written.
struct MapPlan {
  std::vector<int> cells;        // per block: its sprite; -1 - k while it waits for added[k]
  std::vector<uint8_t> written;  // per block: whether its byte changes
  std::vector<Tile> added;       // blocks no sprite shows, each once, in the order met
  std::bitset<kSpriteCount> overlapped;  // sprites holding bytes of written cells of rows 32-63
  int64_t unmatched = 0;
  std::string listed;  // the first unmatched cells
};

using SpriteTiles = std::array<Tile, kSpriteCount>;

SpriteTiles AllSpriteTiles(std::span<const uint8_t> memory) {
  SpriteTiles tiles;
  for (int n = 0; n < kSpriteCount; ++n) tiles[n] = ReadSpriteTile(memory, n);
  return tiles;
}

// Keeps the cells that still show their sprite and matches each other block to the first
// sprite showing it; a sprite whose bytes are written cells is no match, since writing
// them changes it.
MapPlan PlanCells(std::span<const uint8_t> memory, const SpriteTiles& tiles,
                  const MapPicture& picture, bool add_sprites) {
  MapPlan plan;
  plan.cells.resize(picture.blocks.size());
  plan.written.resize(picture.blocks.size());
  for (int row = 0; row < picture.rows; ++row) {
    for (int column = 0; column < picture.columns; ++column) {
      const size_t i = static_cast<size_t>(row) * picture.columns + column;
      const size_t address = CellAddress(picture.x + column, picture.y + row);
      plan.cells[i] = memory[address];
      plan.written[i] = tiles[memory[address]] != picture.blocks[i];
      if (plan.written[i] && picture.y + row >= kSharedMapRow)
        plan.overlapped.set(SpriteAt(address));
    }
  }
  std::unordered_map<Tile, int, TileHash> sprites;
  sprites.reserve(kSpriteCount * 2);
  for (int n = 0; n < kSpriteCount; ++n) {
    if (!plan.overlapped[n]) sprites.emplace(tiles[n], n);
  }
  std::unordered_map<Tile, int, TileHash> new_tiles;  // tile -> its place in added
  for (size_t i = 0; i < picture.blocks.size(); ++i) {
    if (!plan.written[i]) continue;
    const Tile& block = picture.blocks[i];
    if (const auto found = sprites.find(block); found != sprites.end()) {
      plan.cells[i] = found->second;
    } else if (add_sprites) {
      const auto [entry, fresh] = new_tiles.emplace(block, static_cast<int>(plan.added.size()));
      if (fresh) plan.added.push_back(block);
      plan.cells[i] = -1 - entry->second;
    } else if (++plan.unmatched <= kListedCells) {
      const int column = static_cast<int>(i % picture.columns);
      const int row = static_cast<int>(i / picture.columns);
      plan.listed += (plan.unmatched > 1 ? ", " : "") + At(picture.x + column, picture.y + row);
    }
  }
  return plan;
}

// The sprites the added blocks go to, in their order; fewer when too few are free. A
// sprite is free when it is blank, carries no flags, is named by no map cell and by no
// matched block, and none of its bytes is a written cell. Sprite 0 is what an empty cell
// holds and is never taken. A sprite of 128-255 is also 32 cells of map rows 32-63, all
// naming sprite 0 while it is blank: a block goes there only when the sprites its bytes
// then name look like sprite 0, so that those cells show what they showed.
std::vector<int> FreeSprites(std::span<const uint8_t> memory, const SpriteTiles& tiles,
                             const MapPlan& plan) {
  std::bitset<kSpriteCount> taken = plan.overlapped;
  for (size_t address = kSharedStart; address < kMapEnd; ++address) taken.set(memory[address]);
  for (int cell : plan.cells) {
    if (cell >= 0) taken.set(static_cast<size_t>(cell));
  }
  const std::span<const uint8_t> sheet = memory.first(kSheetByteCount);
  std::vector<int> free_sprites;
  for (const Tile& block : plan.added) {
    for (int n = 1; n < kSpriteCount; ++n) {
      if (taken[n] || memory[kFlagsStart + n] != 0 || !IsSpriteBlank(sheet, n)) continue;
      if (n >= kFirstSharedSprite && !std::all_of(block.begin(), block.end(), [&](uint8_t named) {
            return tiles[named] == tiles[0];
          })) {
        continue;
      }
      taken.set(n);
      free_sprites.push_back(n);
      break;
    }
  }
  return free_sprites;
}

// Why the edited memory is refused: the map cells it would change against the rules.
struct MapConflicts {
  int64_t count = 0;
  std::string first;
};

// A written cell of rows 32-63 rewrites a sprite's pixels: only a blank sprite's, which no
// cell may show any more then. So every cell of the map must show its block when the
// picture covers it, and what it showed before when not.
MapConflicts FindConflicts(std::span<const uint8_t> before, std::span<const uint8_t> after,
                           const SpriteTiles& tiles_before, const MapPicture& picture,
                           const MapPlan& plan) {
  MapConflicts conflicts;
  std::bitset<kMapColumns * kMapRows> counted;
  auto note = [&](int x, int y, const std::string& what) {
    if (counted.test(static_cast<size_t>(y) * kMapColumns + x)) return;
    counted.set(static_cast<size_t>(y) * kMapColumns + x);
    if (conflicts.count++ == 0) conflicts.first = "Cell " + At(x, y) + what;
  };
  const std::span<const uint8_t> sheet = before.first(kSheetByteCount);
  for (int y = std::max(picture.y, kSharedMapRow); y < picture.y + picture.rows; ++y) {
    for (int x = picture.x; x < picture.x + picture.columns; ++x) {
      const int sprite = SpriteAt(CellAddress(x, y));
      if (plan.written[picture.IndexOf(x, y)] && !IsSpriteBlank(sheet, sprite)) {
        note(x, y, " would change sprite " + std::to_string(sprite) + ", which is not blank");
      }
    }
  }
  const SpriteTiles tiles_after = AllSpriteTiles(after);
  for (int y = 0; y < kMapRows; ++y) {
    for (int x = 0; x < kMapColumns; ++x) {
      const size_t address = CellAddress(x, y);
      const Tile& wanted = picture.Covers(x, y) ? picture.blocks[picture.IndexOf(x, y)]
                                                : tiles_before[before[address]];
      if (tiles_after[after[address]] != wanted) {
        note(x, y,
             " would show sprite " + std::to_string(after[address]) +
                 " changed by the picture's cells");
      }
    }
  }
  return conflicts;
}

// Reads --at and loads the picture as blocks that fit the map from there. None, with the
// failure recorded, when it does not fit or a pixel is none of the 16 colours.
std::optional<MapPicture> LoadMapPicture(const Job& job) {
  MapPicture placed;
  if (IsArgSet(arg::kAt)) {
    const int64_t x = GetArgInt(arg::kAt, 0, 0);
    const int64_t y = GetArgInt(arg::kAt, 1, 0);
    if (x < 0 || y < 0 || x >= kMapColumns || y >= kMapRows) {
      RecordFailure(kMapCellsOutOfRange, "Out of map range (128x64 cells)");
      return std::nullopt;
    }
    placed.x = static_cast<int>(x);
    placed.y = static_cast<int>(y);
  }
  const int room_x = kMapColumns - placed.x;
  const int room_y = kMapRows - placed.y;
  ImagePtr picture = LoadPicture(job, [&](int64_t width, int64_t height) {
    std::string reason;
    if (width % 8 != 0 || height % 8 != 0) {
      reason = "It is " + Dimensions(width, height) +
               " pixels; both sides must be multiples of 8, a cell each 8 x 8.";
    } else if (width / 8 > room_x || height / 8 > room_y) {
      reason = "It is " + Dimensions(width / 8, height / 8) + " cells; from cell " +
               At(placed.x, placed.y) + " the map has room for " + Dimensions(room_x, room_y) + ".";
    } else {
      return true;
    }
    RecordFailure(kPictureDoesNotFit,
                  "Failed to place the picture in the map:\n" + job.picture_path + "\n" + reason);
    return false;
  });
  if (!picture) return std::nullopt;
  std::optional<std::vector<uint8_t>> indices = ColorIndices(*picture, job, false, "");
  if (!indices) return std::nullopt;
  placed.columns = picture->width() / 8;
  placed.rows = picture->height() / 8;
  placed.blocks.reserve(static_cast<size_t>(placed.columns) * placed.rows);
  for (int row = 0; row < placed.rows; ++row) {
    for (int column = 0; column < placed.columns; ++column)
      placed.blocks.push_back(PictureTile(*indices, picture->width(), column, row));
  }
  return placed;
}

std::string NumberList(const std::vector<int>& numbers) {
  std::string list;
  for (int n : numbers) list += (list.empty() ? "" : ", ") + std::to_string(n);
  return list;
}

void PlaceMapPicture(Job& job) {
  std::optional<MapPicture> picture = LoadMapPicture(job);
  if (!picture) return;
  std::optional<Cartridge> cartridge = LoadCartridge(job);
  if (!cartridge) return;

  PrintVerbose("Matching cells to sprites...");
  const std::span<uint8_t> memory(cartridge->memory);
  const SpriteTiles tiles = AllSpriteTiles(memory);
  MapPlan plan = PlanCells(memory, tiles, *picture, IsArgSet(arg::kAddSprites));
  if (plan.unmatched > 0) {
    RecordFailure(kCellsMatchNoSprite,
                  "Failed to match the picture's cells to sprites:\n" + job.picture_path + "\n" +
                      std::to_string(plan.unmatched) +
                      (plan.unmatched == 1 ? " cell matches" : " cells match") + " no sprite: " +
                      plan.listed + (plan.unmatched > kListedCells ? " and more" : "") +
                      ". --addSprites adds them as new sprites.");
    return;
  }
  const std::vector<int> free_sprites = FreeSprites(memory, tiles, plan);
  if (free_sprites.size() < plan.added.size()) {
    RecordFailure(kNoRoomForSprites,
                  "Failed to add the picture's new sprites:\n" + job.picture_path + "\n" +
                      std::to_string(plan.added.size()) + " new sprites are needed and " +
                      std::to_string(free_sprites.size()) + " blank ones are free.");
    return;
  }
  for (size_t i = 0; i < plan.added.size(); ++i)
    WriteSpriteTile(memory, free_sprites[i], plan.added[i]);
  for (size_t i = 0; i < plan.cells.size(); ++i) {
    int cell = plan.cells[i];
    if (cell < 0) cell = free_sprites[static_cast<size_t>(-1 - cell)];
    if (plan.written[i]) {
      const int column = static_cast<int>(i % picture->columns);
      const int row = static_cast<int>(i / picture->columns);
      memory[CellAddress(picture->x + column, picture->y + row)] = static_cast<uint8_t>(cell);
    }
  }
  const MapConflicts conflicts = FindConflicts(cartridge->before, memory, tiles, *picture, plan);
  if (conflicts.count > 0) {
    RecordFailure(kMapOverSprites,
                  "Failed to write map rows 32-63 over sprites in use:\n" + job.cart_path + "\n" +
                      conflicts.first +
                      (conflicts.count > 1 ? ", and " + std::to_string(conflicts.count - 1) +
                                                 " more cells would change sprites in use."
                                           : "."));
    return;
  }
  if (!free_sprites.empty()) PrintVerbose("Added sprites: " + NumberList(free_sprites));
  if (SaveCartridge(*cartridge, job)) Finish(job);
}

}  // namespace

int SetSheetRT() {
  PrintBannerIfVerbose();
  Job job = ReadJob();
  if (ExitCode() == 0) PlaceSheetPicture(job);
  return 0;
}

int SetMapRT() {
  PrintBannerIfVerbose();
  Job job = ReadJob();
  if (ExitCode() == 0) PlaceMapPicture(job);
  return 0;
}

}  // namespace brasswick
