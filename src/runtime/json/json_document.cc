#include "runtime/json/json_document.h"

#include <cmath>
#include <limits>

#include "runtime/text_codes.h"

namespace brasswick {

namespace {

const std::string& EmptyText() {
  static const std::string kEmpty;
  return kEmpty;
}

}  // namespace

void JsonValue::Reset() {
  kind_ = JsonKind::kNull;
  is_float_ = false;
  boolean_ = false;
  integer_ = 0;
  double_ = 0.0;
  text_.clear();
  text_.shrink_to_fit();
  elements_.clear();
  members_.clear();
  member_index_.reset();
}

void JsonValue::SetString(std::string text) {
  Reset();
  kind_ = JsonKind::kString;
  text_ = std::move(text);
}

void JsonValue::SetInteger(int64_t value) {
  Reset();
  kind_ = JsonKind::kNumber;
  integer_ = value;
}

void JsonValue::SetDouble(double value) {
  Reset();
  kind_ = JsonKind::kNumber;
  is_float_ = true;
  double_ = value;
}

void JsonValue::SetBoolean(bool value) {
  Reset();
  kind_ = JsonKind::kBoolean;
  boolean_ = value;
}

void JsonValue::SetArray() {
  Reset();
  kind_ = JsonKind::kArray;
}

void JsonValue::SetObject() {
  Reset();
  kind_ = JsonKind::kObject;
}

namespace {
// Element slots are a pointer each; member slots hold a name too, and an argument
// object of the command table has about four members.
constexpr size_t kFirstElements = 8;
constexpr size_t kFirstMembers = 4;
}  // namespace

JsonValue* JsonValue::AppendElement() {
  if (kind_ != JsonKind::kArray) return nullptr;
  // Room for a few at once: most arrays and objects are small, and growing one slot at
  // a time reallocates twice before the third.
  if (elements_.empty()) elements_.reserve(kFirstElements);
  elements_.push_back(std::make_unique<JsonValue>(no_case_));
  return elements_.back().get();
}

JsonValue* JsonValue::element(size_t index) const {
  if (index >= elements_.size()) return nullptr;
  return elements_[index].get();
}

std::string JsonValue::FoldName(std::string_view name) const {
  std::string folded(name);
  if (no_case_) {
    // Member names of configuration documents are ASCII; other characters compare
    // exactly.
    for (char& c : folded) c = AsciiLower(c);
  }
  return folded;
}

bool JsonValue::SameName(std::string_view a, std::string_view b) const {
  return no_case_ ? SameTextIgnoringCase(a, b) : a == b;
}

size_t JsonValue::MemberPosition(std::string_view name) const {
  if (member_index_) {
    auto found = member_index_->find(FoldName(name));
    return found == member_index_->end() ? members_.size() : found->second;
  }
  for (size_t i = 0; i < members_.size(); ++i) {
    if (SameName(members_[i].first, name)) return i;
  }
  return members_.size();
}

JsonValue* JsonValue::FindMember(std::string_view name) const {
  if (kind_ != JsonKind::kObject) return nullptr;
  const size_t position = MemberPosition(name);
  return position == members_.size() ? nullptr : members_[position].second.get();
}

JsonValue* JsonValue::SetMember(std::string_view name) {
  constexpr size_t kIndexedMembers = 16;
  if (kind_ != JsonKind::kObject) return nullptr;
  const size_t position = MemberPosition(name);
  if (position != members_.size()) {
    JsonValue* existing = members_[position].second.get();
    existing->Reset();
    return existing;
  }
  if (members_.empty()) members_.reserve(kFirstMembers);
  members_.emplace_back(std::string(name), std::make_unique<JsonValue>(no_case_));
  if (member_index_) {
    member_index_->emplace(FoldName(name), position);
  } else if (members_.size() > kIndexedMembers) {
    member_index_ = std::make_unique<std::unordered_map<std::string, size_t>>();
    for (size_t i = 0; i < members_.size(); ++i) {
      member_index_->emplace(FoldName(members_[i].first), i);
    }
  }
  return members_.back().second.get();
}

JsonValue* JsonRoot(const JsonDocument* document) {
  return document == nullptr ? nullptr : document->root();
}

JsonKind JsonKindOf(const JsonValue* node) {
  return node == nullptr ? JsonKind::kNull : node->kind();
}

std::string JsonStringOf(const JsonValue* node) {
  if (node == nullptr || node->kind() != JsonKind::kString) return "";
  return node->string_value();
}

int64_t JsonIntegerOf(const JsonValue* node) {
  if (node == nullptr) return 0;
  if (node->kind() == JsonKind::kBoolean) return node->boolean_value() ? 1 : 0;
  if (node->kind() != JsonKind::kNumber) return 0;
  if (!node->is_float()) return node->integer_value();
  double value = std::trunc(node->double_value());
  if (std::isnan(value)) return 0;
  // 2^63 is exactly representable; anything at or beyond it would overflow the cast.
  constexpr double kLimit = 9223372036854775808.0;
  if (value >= kLimit) return std::numeric_limits<int64_t>::max();
  if (value < -kLimit) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

double JsonFloatOf(const JsonValue* node) {
  if (node == nullptr) return 0.0;
  if (node->kind() == JsonKind::kBoolean) return node->boolean_value() ? 1.0 : 0.0;
  if (node->kind() != JsonKind::kNumber) return 0.0;
  return node->is_float() ? node->double_value() : static_cast<double>(node->integer_value());
}

bool JsonBooleanOf(const JsonValue* node) {
  return node != nullptr && node->kind() == JsonKind::kBoolean && node->boolean_value();
}

JsonValue* JsonMember(const JsonValue* object, std::string_view name) {
  return object == nullptr ? nullptr : object->FindMember(name);
}

size_t JsonArrayLength(const JsonValue* array) {
  if (array == nullptr || array->kind() != JsonKind::kArray) return 0;
  return array->element_count();
}

JsonValue* JsonElement(const JsonValue* array, size_t index) {
  if (array == nullptr || array->kind() != JsonKind::kArray) return nullptr;
  return array->element(index);
}

bool JsonMemberWalk::Next() {
  if (object_ == nullptr || object_->kind() != JsonKind::kObject ||
      next_ >= object_->member_count()) {
    on_member_ = false;
    return false;
  }
  ++next_;
  on_member_ = true;
  return true;
}

const std::string& JsonMemberWalk::name() const {
  if (!on_member_) return EmptyText();
  return object_->member_name(next_ - 1);
}

JsonValue* JsonMemberWalk::value() const {
  if (!on_member_) return nullptr;
  return object_->member_value(next_ - 1);
}

void MakeJsonArray(JsonValue* node) {
  if (node != nullptr) node->SetArray();
}

JsonValue* AppendJsonElement(JsonValue* array) {
  return array == nullptr ? nullptr : array->AppendElement();
}

void SetJsonString(JsonValue* node, std::string_view text) {
  if (node != nullptr) node->SetString(std::string(text));
}

}  // namespace brasswick
