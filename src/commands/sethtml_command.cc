// The sethtml command: themes an exported player page. It sets the page title and the
// page and touch-screen backgrounds, recolours the embedded control pictures, hides
// single touch controls, and adds markup to the page head. The player's script may be
// named instead of its page.
#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "cart/cart_memory.h"
#include "cart/text_file.h"
#include "cli/cli_api.h"
#include "color/color_text.h"
#include "commands/command_arg_names.h"
#include "commands/command_procedures.h"
#include "commands/failure_codes.h"
#include "console/console.h"
#include "html/base64.h"
#include "html/html_player.h"
#include "runtime/image/image.h"
#include "runtime/platform/file_system.h"
#include "runtime/platform/paths.h"

namespace brasswick {
namespace {

// The embedded pictures are told apart by their height.
constexpr int kButtonsHeight = 350;
constexpr int kDpadHeight = 300;
constexpr int kIconHeight = 24;
// Rows of the button picture above this hold the Start button.
constexpr int kStartRows = 64;
// Below the Start rows, the O button lies right of the diagonal x = y - 45.
constexpr int kButtonDiagonal = 45;
// Hiding makes pixels fully transparent and leaves their colour.
constexpr ColorValue kErased = MakeColor(255, 255, 255, 0);

struct ControlsTheme {
  bool controls_given = false;
  ColorValue controls = kNoColor;
  bool dpad_on = false;
  ColorValue dpad = kNoColor;
  ColorValue x_button = kNoColor;
  ColorValue o_button = kNoColor;
  ColorValue start_button = kNoColor;
  bool no_up = false, no_down = false, no_left = false, no_right = false, no_dpad = false;
  bool no_x = false, no_o = false, no_start = false;

  bool HidesAny() const {
    return no_up || no_down || no_left || no_right || no_dpad || no_x || no_o || no_start;
  }
  bool Applies() const {
    return HidesAny() || x_button >= 0 || o_button >= 0 || start_button >= 0 || dpad_on ||
           controls_given;
  }
};

// A colour as the page's CSS writes it: "#rrggbb" in lower case; no colour is white.
std::string CssColorText(ColorValue color) {
  if (color < 0) return "#ffffff";
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", ColorRed(color), ColorGreen(color),
                ColorBlue(color));
  return text;
}

// The CSS text of a colour switch, "" when it was not given.
std::string CssTextOf(std::string_view name) {
  return IsArgSet(name) ? CssColorText(ColorFromSpec(GetArgValue(name))) : std::string();
}

// A button's own switch, else --buttons, else the controls colour when given.
ColorValue ButtonColor(std::string_view own, const ControlsTheme& theme) {
  if (IsArgSet(own)) return ColorFromSpec(GetArgValue(own));
  if (IsArgSet(arg::kButtons)) return ColorFromSpec(GetArgValue(arg::kButtons));
  return theme.controls_given ? theme.controls : kNoColor;
}

ControlsTheme ReadControlsTheme() {
  ControlsTheme theme;
  theme.controls_given = IsArgSet(arg::kControls);
  if (theme.controls_given) theme.controls = ColorFromSpec(GetArgValue(arg::kControls));
  if (IsArgSet(arg::kDpad)) {
    theme.dpad_on = true;
    theme.dpad = ColorFromSpec(GetArgValue(arg::kDpad));
  } else {
    theme.dpad_on = theme.controls_given;
    theme.dpad = theme.controls;
  }
  theme.o_button = ButtonColor(arg::kOButton, theme);
  theme.x_button = ButtonColor(arg::kXButton, theme);
  theme.start_button = ButtonColor(arg::kStartButton, theme);
  theme.no_up = IsArgSet(arg::kNoUp);
  theme.no_down = IsArgSet(arg::kNoDown);
  theme.no_left = IsArgSet(arg::kNoLeft);
  theme.no_right = IsArgSet(arg::kNoRight);
  theme.no_dpad = IsArgSet(arg::kNoDpad);
  theme.no_x = IsArgSet(arg::kNoX);
  theme.no_o = IsArgSet(arg::kNoO);
  theme.no_start = IsArgSet(arg::kNoStart);
  return theme;
}

// Red, green and blue of the pixels [left, right) of row y; alpha stays, so a painted
// control keeps its outline. No colour leaves the span as it is.
void PaintSpan(RgbaImage& image, int y, int left, int right, ColorValue color) {
  if (color < 0) return;
  left = std::max(left, 0);
  right = std::min(right, image.width());
  const uint8_t red = static_cast<uint8_t>(ColorRed(color));
  const uint8_t green = static_cast<uint8_t>(ColorGreen(color));
  const uint8_t blue = static_cast<uint8_t>(ColorBlue(color));
  const int channels = image.channels();
  uint8_t* p = image.Row(y) + static_cast<ptrdiff_t>(left) * channels;
  for (int x = left; x < right; ++x, p += channels) {
    p[0] = red;
    p[1] = green;
    p[2] = blue;
  }
}

// The whole picture in one colour, alpha kept; no colour paints white, as drawing
// with it does.
void PaintAll(RgbaImage& image, ColorValue color) {
  const ColorValue paint = color < 0 ? MakeColor(255, 255, 255) : color;
  for (int y = 0; y < image.height(); ++y) PaintSpan(image, y, 0, image.width(), paint);
}

void ThemeButtons(RgbaImage& image, const ControlsTheme& theme) {
  for (int y = 0; y < image.height(); ++y) {
    if (y < kStartRows) {
      PaintSpan(image, y, 0, image.width(), theme.start_button);
      continue;
    }
    const int diagonal = std::clamp(y - kButtonDiagonal, 0, image.width());
    PaintSpan(image, y, 0, diagonal, theme.x_button);
    PaintSpan(image, y, diagonal, image.width(), theme.o_button);
  }
  ImageDrawing drawing(image);
  drawing.SetDrawingMode(DrawingMode::kAlphaChannel);
  if (theme.no_o) drawing.Circle(205, 148, 65, kErased);
  if (theme.no_x) drawing.Circle(94, 253, 65, kErased);
  if (theme.no_start) drawing.Box(150, 0, 120, 60, kErased);
}

void ThemeDpad(RgbaImage& image, const ControlsTheme& theme) {
  if (theme.dpad_on) PaintAll(image, theme.dpad);
  ImageDrawing drawing(image);
  drawing.SetDrawingMode(DrawingMode::kAlphaChannel);
  if (theme.no_dpad) {
    drawing.Box(0, 0, image.width(), image.height(), kErased);
    return;
  }
  if (theme.no_up) drawing.Box(128, 60, 50, 40, kErased);
  if (theme.no_down) drawing.Box(128, 205, 50, 40, kErased);
  if (theme.no_left) drawing.Box(60, 128, 40, 50, kErased);
  if (theme.no_right) drawing.Box(205, 128, 40, 50, kErased);
}

// The heights whose pictures this theme changes at all; the others are not decoded.
bool ThemeTouchesHeight(int64_t height, const ControlsTheme& theme) {
  switch (height) {
    case kButtonsHeight:
      return theme.x_button >= 0 || theme.o_button >= 0 || theme.start_button >= 0 || theme.no_x ||
             theme.no_o || theme.no_start;
    case kDpadHeight:
      return theme.dpad_on || theme.no_dpad || theme.no_up || theme.no_down || theme.no_left ||
             theme.no_right;
    case kIconHeight:
      return theme.controls_given;
    default:
      return false;
  }
}

// The picture with an alpha channel, so that hiding can make it transparent and the
// result is written with exactly the colours and alphas the theme gave it.
ImagePtr WithAlpha(ImagePtr picture) {
  if (!picture || picture->channels() == 4) return picture;
  ImagePtr rgba = CreateImage(picture->width(), picture->height(), 32);
  if (!rgba) return nullptr;
  for (int y = 0; y < picture->height(); ++y) {
    const uint8_t* from = picture->Row(y);
    uint8_t* to = rgba->Row(y);
    for (int x = 0; x < picture->width(); ++x, from += 3, to += 4) {
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
      to[3] = 255;
    }
  }
  return rgba;
}

bool SamePixels(const RgbaImage& a, const RgbaImage& b) {
  const size_t row_bytes = static_cast<size_t>(a.width()) * a.channels();
  for (int y = 0; y < a.height(); ++y) {
    if (!std::equal(a.Row(y), a.Row(y) + row_bytes, b.Row(y))) return false;
  }
  return true;
}

// The picture themed as its height asks, as the base64 of an 8-bit RGBA PNG; "" when
// the theme leaves it as it is (it then stays in the page byte for byte), or it cannot
// be decoded or encoded.
std::string ThemedPicture(const HtmlPlayerDocument& player, int index, const ControlsTheme& theme) {
  ImagePtr picture = WithAlpha(DecodeEmbeddedImageIf(player, index, [&](const ImageSize& size) {
    return ThemeTouchesHeight(size.height, theme);
  }));
  if (!picture) return "";
  const ImagePtr before = CopyImage(*picture);
  if (!before) return "";
  switch (picture->height()) {
    case kButtonsHeight:
      ThemeButtons(*picture, theme);
      break;
    case kDpadHeight:
      ThemeDpad(*picture, theme);
      break;
    case kIconHeight:
      if (theme.controls_given) PaintAll(*picture, theme.controls);
      break;
    default:
      break;
  }
  if (SamePixels(*picture, *before)) return "";
  std::optional<std::vector<uint8_t>> png =
      EncodeImageToMemory(*picture, ImageFormat::kPng, kDefaultQuality, 32);
  if (!png) return "";
  return Base64Encode(png->data(), png->size());
}

// Replaces the pictures the theme changes, all in one pass over the page. Only pictures
// that decoded are edited, each once, and a picture that decodes is closed: the
// replacement cannot be refused.
void ApplyControlsTheme(HtmlPlayerDocument& player, const ControlsTheme& theme) {
  std::vector<EmbeddedImageEdit> edits;
  for (int i = 0; i < EmbeddedImageCount(player); ++i) {
    std::string text = ThemedPicture(player, i, theme);
    if (!text.empty()) edits.push_back({i, std::move(text)});
  }
  ReplaceEmbeddedImages(player, std::move(edits));
}

// Inserts each headers file's text before "</head>", in command-line order. Files are
// read from their resolved paths and named as the user typed them. False (with the
// failure recorded) when there is no "</head>" or a file cannot be read.
bool AddHeaders(HtmlPlayerDocument& player, const std::vector<std::string>& typed_paths,
                const std::string& page_path) {
  size_t insert_at = FindHeadEnd(player);
  if (insert_at == std::string::npos) {
    RecordFailure(kMissingHeadEnd, "Missing </head> tag in HTML file: \n" + page_path);
    return false;
  }
  for (const std::string& typed : typed_paths) {
    std::optional<std::string> bytes = ReadWholeFile(ResolvePath(typed, ""), kMaxPageFileSize);
    if (!bytes) {
      RecordFailure(kLoadHeadersFailed, "Failed to load headers file: \n" + typed);
      return false;
    }
    PrintVerbose("Adding headers from '" + typed + "'...");
    const std::string text = DecodeTextBytes(std::move(*bytes));
    if (!InsertPageText(player, insert_at, text)) {
      RecordFailure(kMissingHeadEnd, "Missing </head> tag in HTML file: \n" + page_path);
      return false;
    }
    insert_at += text.size();
  }
  return true;
}

}  // namespace

int EditHTMLRT() {
  PrintBannerIfVerbose();
  std::string page_path = ResolvePath(GetArgValue(arg::kHtmlFile), "");
  const std::string found_page = FindPlayerHtmlForJs(page_path);
  if (!found_page.empty()) {
    page_path = found_page;
    PrintNotice("Assuming you intended '" + page_path + "'...");
  }
  const std::string output_value = GetArgValue(arg::kOutputFile);
  const std::string output_path = output_value.empty() ? page_path : ResolvePath(output_value, "");

  PrintVerbose("Loading HTML file...");
  HtmlPlayerPtr player = LoadHtmlPlayer(page_path);
  if (!player) {
    RecordFailure(kLoadHtmlFailed, "Failed to load HTML file:\n" + page_path);
    return 0;
  }
  bool changed = false;

  const std::string background = CssTextOf(arg::kBackground);
  std::string touch = CssTextOf(arg::kTouchBackground);
  if (touch.empty()) touch = background;
  const std::string controls = CssTextOf(arg::kControls);
  if (!background.empty()) player->background_color = background;
  if (!controls.empty()) player->foreground_color = controls;
  if (!touch.empty()) player->touch_background_color = touch;
  changed = !background.empty() || !controls.empty() || !touch.empty();

  if (IsArgSet(arg::kTitle)) {
    if (player->title_unclosed) {
      RecordFailure(kMissingTitleEnd, "Missing </title> tag in HTML file: \n" + page_path);
      return 0;
    }
    player->title = GetArgValue(arg::kTitle);
    changed = true;
  }

  const ControlsTheme theme = ReadControlsTheme();
  if (theme.Applies()) {
    changed = true;
    PrintVerbose("Applying controls theme...");
    ApplyControlsTheme(*player, theme);
  }

  const std::vector<std::string> headers = GetArgValues(arg::kHeaders);
  if (!headers.empty() && AddHeaders(*player, headers, page_path)) changed = true;
  if (ExitCode() != 0) return 0;

  if (!changed) {
    // Nothing was written, so there is nothing to open or show.
    PrintVerbose("Closing HTML file");
    return 0;
  }
  PrintVerbose("Saving HTML file...");
  const WriteResult saved = SaveHtmlPlayer(*player, output_path);
  if (!saved) {
    RecordFailure(kSaveHtmlFailed,
                  WithWriteNote("Failed to save HTML file:\n" + output_path, saved));
    return 0;
  }
  PrintVerbose("Saved: " + output_path);
  RunFinishingActions(output_path, "Opening HTML file...", "Locating HTML file...");
  return 0;
}

}  // namespace brasswick
