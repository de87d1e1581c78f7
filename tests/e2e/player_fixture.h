// A player page of the exported shape for the sethtml tests: eleven embedded pictures
// as a real export holds them (the 350-pixel button picture, the 300-pixel D-pad, a
// 128-pixel label, an 80-pixel picture and seven 24-pixel icons, one of them a palette
// PNG with transparency), drawn with patterns whose every pixel the tests can predict.
#ifndef BRASSWICK_TESTS_E2E_PLAYER_FIXTURE_H_
#define BRASSWICK_TESTS_E2E_PLAYER_FIXTURE_H_

#include <string>
#include <string_view>
#include <vector>

#include "runtime/image/image.h"

namespace brasswick::testing {

struct FixturePicture {
  ImagePtr pixels;     // what the page's picture holds, as decoded
  std::string base64;  // its payload in the page
};

struct PlayerFixture {
  std::vector<FixturePicture> pictures;  // in page order
  std::string page;
};

inline constexpr int kButtonsPicture = 0;
inline constexpr int kDpadPicture = 1;
inline constexpr int kLabelPicture = 2;
inline constexpr int kEightyPicture = 3;
inline constexpr int kFirstIcon = 4;
inline constexpr int kPaletteIcon = 10;  // the palette PNG with transparent entries
inline constexpr int kFixturePictures = 11;

// scratch is a folder the palette icon may be written through.
PlayerFixture MakePlayerFixture(const std::string& scratch);

// The payloads of the page's data URIs in page order, each up to its closing quote;
// an unclosed last one runs to the end of the page.
std::vector<std::string> PagePayloads(std::string_view page);
// The media type and header of each data URI ("png;base64", ...).
std::vector<std::string> PageMediaHeaders(std::string_view page);

}  // namespace brasswick::testing

#endif  // BRASSWICK_TESTS_E2E_PLAYER_FIXTURE_H_
