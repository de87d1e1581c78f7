// Small text helpers shared by the framework's files. Letter case is folded for
// ASCII letters only; other characters compare exactly.
#ifndef BRASSWICK_CLI_CLI_TEXT_H_
#define BRASSWICK_CLI_CLI_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

namespace brasswick {

// Without leading and trailing blanks (space, tab, CR, LF, VT, FF).
std::string TrimText(std::string_view text);
// The same bounds as TrimText, as a view into the text.
std::string_view TrimView(std::string_view text);
std::string TrimRight(std::string_view text);
std::string LowerText(std::string_view text);
std::string UpperText(std::string_view text);
// The text without any occurrence of c.
std::string RemoveChar(std::string_view text, char c);
// Pieces between the separators; "a,,b" gives "a", "", "b" and "" gives one "".
std::vector<std::string> SplitText(std::string_view text, char separator);
// Every occurrence of from replaced by to (from must not be empty).
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);
// The first "$" of a message template replaced by the word.
std::string FillTemplate(std::string_view message_template, std::string_view word);
// True for the texts the configuration and "bool" values read as true.
bool IsTrueWord(std::string_view text);
bool IsFalseWord(std::string_view text);

// The number of characters of a UTF-8 text (continuation bytes not counted).
size_t TextLength(std::string_view text);
// The text padded with spaces to width characters (longer texts stay as they are).
std::string PadRight(std::string_view text, size_t width);

// UTF-8 to code points and back. Bytes that are not valid UTF-8 become the code
// points U+DC80..U+DCFF and are written back as the same bytes.
std::u32string DecodeUtf8(std::string_view text);
std::string EncodeUtf8(std::u32string_view text);

}  // namespace brasswick

#endif  // BRASSWICK_CLI_CLI_TEXT_H_
