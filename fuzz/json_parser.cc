// The JSON parser on any text. Folding member names may merge members but never
// changes whether a text is valid or where its first error stands; every member of a
// parsed object is found again by its own name (in any letter case when folded).
#include <cctype>
#include <set>
#include <string>

#include "fuzz_support.h"
#include "runtime/json/json_document.h"

namespace {

using brasswick::JsonKind;
using brasswick::JsonValue;

const std::set<std::string> kMessages = {"Unexpected end of input",
                                         "Invalid escape sequence",
                                         "Invalid numeric value",
                                         "Expected a ':' character",
                                         "Unexpected character",
                                         "A member name (string) is expected",
                                         "Out of memory"};

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

void CheckTree(const JsonValue* node, bool folded) {
  if (node->kind() == JsonKind::kArray) {
    for (size_t i = 0; i < node->element_count(); ++i) {
      FUZZ_CHECK(node->element(i) != nullptr);
      CheckTree(node->element(i), folded);
    }
    FUZZ_CHECK(node->element(node->element_count()) == nullptr);
  } else if (node->kind() == JsonKind::kObject) {
    for (size_t i = 0; i < node->member_count(); ++i) {
      const std::string name(node->member_name(i));
      FUZZ_CHECK(node->FindMember(name) == node->member_value(i));
      if (folded) FUZZ_CHECK(node->FindMember(Upper(name)) == node->member_value(i));
      CheckTree(node->member_value(i), folded);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = brasswick::fuzz::AsText(data, size);
  brasswick::JsonError exact_error;
  brasswick::JsonError folded_error;
  const auto exact = brasswick::ParseJsonText(text, 0, &exact_error);
  const auto folded = brasswick::ParseJsonText(text, brasswick::kJsonNoCase, &folded_error);
  FUZZ_CHECK((exact == nullptr) == (folded == nullptr));
  if (exact == nullptr) {
    FUZZ_CHECK(kMessages.count(exact_error.message) == 1);
    FUZZ_CHECK(exact_error.line >= 1 && exact_error.column >= 1);
    FUZZ_CHECK(exact_error.message == folded_error.message);
    FUZZ_CHECK(exact_error.line == folded_error.line);
    FUZZ_CHECK(exact_error.column == folded_error.column);
    FUZZ_CHECK(brasswick::LastJsonErrorMessage() == folded_error.message);
    return 0;
  }
  CheckTree(exact->root(), false);
  CheckTree(folded->root(), true);
  return 0;
}
