#include "runtime/json/json_document.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "runtime/text/text_codes.h"

namespace brasswick {

JsonArena::~JsonArena() {
  while (last_ != nullptr) {
    Block* previous = last_->previous;
    ::operator delete(last_);
    last_ = previous;
  }
}

void* JsonArena::Allocate(size_t bytes) {
  // Nodes hold pointers and 64-bit numbers; texts need no alignment, and rounding each
  // one only to a pointer's size keeps a tree of short names small.
  constexpr size_t kAlign = alignof(JsonValue);
  static_assert(kAlign <= alignof(std::max_align_t) && sizeof(Block) % kAlign == 0);
  constexpr size_t kHeader = sizeof(Block);
  constexpr size_t kLargest = size_t{1} << 40;
  if (bytes > kLargest) return nullptr;
  bytes = (bytes + kAlign - 1) / kAlign * kAlign;
  if (static_cast<size_t>(end_ - free_) < bytes) {
    const size_t size = std::max(bytes, std::max<size_t>(next_block_, 256));
    auto* block = static_cast<Block*>(::operator new(kHeader + size, std::nothrow));
    if (block == nullptr) return nullptr;
    block->previous = last_;
    block->size = size;
    last_ = block;
    free_ = reinterpret_cast<char*>(block) + kHeader;
    end_ = free_ + size;
    next_block_ = std::min(size * 2, kLargest);
  }
  void* memory = free_;
  free_ += bytes;
  return memory;
}

JsonValue* JsonArena::NewNode(bool no_case) {
  void* memory = Allocate(sizeof(JsonValue));
  return memory == nullptr ? nullptr : new (memory) JsonValue(this, no_case);
}

bool JsonArena::CopyText(std::string_view text, const char** copy) {
  *copy = nullptr;
  if (text.size() > std::numeric_limits<uint32_t>::max()) return false;
  if (text.empty()) return true;
  char* memory = static_cast<char*>(Allocate(text.size()));
  if (memory == nullptr) return false;
  std::memcpy(memory, text.data(), text.size());
  *copy = memory;
  return true;
}

void JsonValue::Reset() {
  kind_ = static_cast<uint8_t>(JsonKind::kNull);
  is_float_ = false;
  boolean_ = false;
  payload_.integer = 0;
  size_ = 0;
  capacity_ = 0;
}

bool JsonValue::SetString(std::string_view text) {
  Reset();
  const char* copy = nullptr;
  if (!arena_->CopyText(text, &copy)) return false;
  kind_ = static_cast<uint8_t>(JsonKind::kString);
  payload_.text = copy;
  size_ = static_cast<uint32_t>(text.size());
  return true;
}

void JsonValue::SetInteger(int64_t value) {
  Reset();
  kind_ = static_cast<uint8_t>(JsonKind::kNumber);
  payload_.integer = value;
}

void JsonValue::SetDouble(double value) {
  Reset();
  kind_ = static_cast<uint8_t>(JsonKind::kNumber);
  is_float_ = true;
  payload_.real = value;
}

void JsonValue::SetBoolean(bool value) {
  Reset();
  kind_ = static_cast<uint8_t>(JsonKind::kBoolean);
  boolean_ = value;
}

void JsonValue::SetArray() {
  Reset();
  kind_ = static_cast<uint8_t>(JsonKind::kArray);
  payload_.children = nullptr;
}

void JsonValue::SetObject() {
  Reset();
  kind_ = static_cast<uint8_t>(JsonKind::kObject);
  payload_.children = nullptr;
}

void JsonValue::TakeValueOf(const JsonValue& other) {
  kind_ = other.kind_;
  is_float_ = other.is_float_;
  boolean_ = other.boolean_;
  payload_ = other.payload_;
  size_ = other.size_;
  capacity_ = other.capacity_;
}

JsonValue* JsonValue::AppendElement() {
  if (kind() != JsonKind::kArray || size_ == std::numeric_limits<uint32_t>::max()) return nullptr;
  if (size_ == capacity_) {
    // The old slots stay in the arena; the nodes they point at do not move.
    const uint32_t capacity =
        capacity_ < 4 ? 4
                      : static_cast<uint32_t>(std::min<uint64_t>(
                            uint64_t{capacity_} * 2, std::numeric_limits<uint32_t>::max()));
    auto** slots = static_cast<JsonValue**>(arena_->Allocate(sizeof(JsonValue*) * capacity));
    if (slots == nullptr) return nullptr;
    if (size_ != 0) std::memcpy(slots, payload_.children, sizeof(JsonValue*) * size_);
    payload_.children = slots;
    capacity_ = capacity;
  }
  JsonValue* element = arena_->NewNode(no_case_);
  if (element == nullptr) return nullptr;
  payload_.children[size_++] = element;
  return element;
}

JsonValue* JsonValue::element(size_t index) const {
  if (index >= element_count()) return nullptr;
  return payload_.children[index];
}

JsonValue* JsonValue::FindMember(std::string_view name) const {
  if (kind() != JsonKind::kObject) return nullptr;
  if (size_ <= kIndexedMembers) {
    for (uint32_t i = 0; i < size_; ++i) {
      if (SameJsonNames(payload_.children[i]->name(), name, no_case_)) return payload_.children[i];
    }
    return nullptr;
  }
  const uint32_t* order = name_order();
  const uint32_t* found = std::lower_bound(
      order, order + size_, name, [this](uint32_t position, std::string_view wanted) {
        return CompareJsonNames(payload_.children[position]->name(), wanted, no_case_) < 0;
      });
  if (found == order + size_) return nullptr;
  JsonValue* member = payload_.children[*found];
  return CompareJsonNames(member->name(), name, no_case_) == 0 ? member : nullptr;
}

std::unique_ptr<JsonDocument> JsonDocument::Create(bool no_case, size_t size_hint) {
  std::unique_ptr<JsonDocument> document(new (std::nothrow) JsonDocument(size_hint));
  if (document == nullptr) return nullptr;
  document->root_ = document->arena_.NewNode(no_case);
  if (document->root_ == nullptr) return nullptr;
  return document;
}

int CompareJsonNames(std::string_view a, std::string_view b, bool no_case) {
  if (!no_case) return a.compare(b);
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>(AsciiLower(a[i]));
    const auto y = static_cast<unsigned char>(AsciiLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameJsonNames(std::string_view a, std::string_view b, bool no_case) {
  return no_case ? SameTextIgnoringCase(a, b) : a == b;
}

JsonValue* JsonRoot(const JsonDocument* document) {
  return document == nullptr ? nullptr : document->root();
}

JsonKind JsonKindOf(const JsonValue* node) {
  return node == nullptr ? JsonKind::kNull : node->kind();
}

std::string JsonStringOf(const JsonValue* node) {
  if (node == nullptr) return "";
  return std::string(node->string_value());
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

std::string_view JsonMemberWalk::name() const {
  if (!on_member_) return {};
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
  if (node != nullptr) node->SetString(text);
}

}  // namespace brasswick
