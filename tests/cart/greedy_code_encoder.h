// A plain greedy encoder of the code area's current format, the yardstick the code
// compressor is measured against: at each position the longest copy within the 15-bit
// window when it is at least 3 bytes long (the nearest of equally long ones), else a
// literal. Written from the format's rules alone, sharing nothing with the compressor.
#ifndef BRASSWICK_TESTS_CART_GREEDY_CODE_ENCODER_H_
#define BRASSWICK_TESTS_CART_GREEDY_CODE_ENCODER_H_

#include <string>
#include <string_view>

namespace brasswick::testing {

// The whole stream, header included, for code of at most 65 535 bytes (its
// compressed-length field saturated at 0xFFFF).
std::string GreedyEncodeCode(std::string_view code);

}  // namespace brasswick::testing

#endif  // BRASSWICK_TESTS_CART_GREEDY_CODE_ENCODER_H_
