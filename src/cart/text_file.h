// Whole-file text reading with the byte-order marks a player's files may carry.
#ifndef BRASSWICK_CART_TEXT_FILE_H_
#define BRASSWICK_CART_TEXT_FILE_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace brasswick {

// A file's bytes as UTF-8 text, chosen by its start: a UTF-8 mark (dropped) or no mark
// gives the bytes as they are; a UTF-16 mark, little- or big-endian, gives the text
// converted to UTF-8 (an unpaired surrogate becomes U+FFFD, an odd last byte is
// dropped); a UTF-32 mark gives "". Every text file the program reads (scripts, pages,
// header files) goes through here. Takes the bytes by value so that the common case
// moves them through without a copy.
std::string DecodeTextBytes(std::string bytes);

// The whole file as text by DecodeTextBytes, line ends included; "" when the file
// cannot be read.
std::string ReadTextFile(const std::string& path);

}  // namespace brasswick

#endif  // BRASSWICK_CART_TEXT_FILE_H_
