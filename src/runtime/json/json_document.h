// A parsed JSON document: a tree of JsonValue nodes owned by a JsonDocument, the
// parser that builds it from UTF-8 text, and the small read, walk and build
// operations the command-line framework uses on it.
//
// Texts are held as UTF-8. A "\uXXXX" escape gives the UTF-8 of that code unit (a
// high and a low surrogate written as two escapes combine into one character; a lone
// surrogate is kept in its three-byte form), and the escape of code unit 0 ends the
// string there. The parser never prints and reports failure through JsonError.
#ifndef BRASSWICK_RUNTIME_JSON_JSON_DOCUMENT_H_
#define BRASSWICK_RUNTIME_JSON_JSON_DOCUMENT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace brasswick {

enum class JsonKind : int32_t {
  kNull = 0,
  kString = 1,
  kNumber = 2,
  kBoolean = 3,
  kArray = 4,
  kObject = 5,
};

// Flag for ParseJsonText: member names of every object in the tree are compared
// without regard to letter case.
inline constexpr int kJsonNoCase = 2;

// Deepest nesting of arrays and objects the parser accepts; deeper input fails with
// "Out of memory" rather than exhausting the stack.
inline constexpr int kJsonMaxDepth = 512;

// One node of the tree. A node owns its children; it is neither copyable nor movable
// so that pointers handed out to children stay valid while the document lives.
class JsonValue {
 public:
  explicit JsonValue(bool no_case) : no_case_(no_case) {}
  JsonValue(const JsonValue&) = delete;
  JsonValue& operator=(const JsonValue&) = delete;

  JsonKind kind() const { return kind_; }
  // Number only: true when held as a double, false when held as a 64-bit integer.
  bool is_float() const { return is_float_; }
  // Member names at and below this node are compared without regard to letter case.
  bool no_case() const { return no_case_; }

  // Frees the payload and makes the node Null, keeping no_case().
  void Reset();
  void SetNull() { Reset(); }
  void SetString(std::string text);
  void SetInteger(int64_t value);
  void SetDouble(double value);
  void SetBoolean(bool value);
  void SetArray();
  void SetObject();

  const std::string& string_value() const { return text_; }
  int64_t integer_value() const { return integer_; }
  double double_value() const { return double_; }
  bool boolean_value() const { return boolean_; }

  // Array: appends a Null child inheriting no_case() and returns it; null when this
  // node is not an Array.
  JsonValue* AppendElement();
  size_t element_count() const { return elements_.size(); }
  JsonValue* element(size_t index) const;

  // Object: the member of that name under this node's case rule, or null.
  JsonValue* FindMember(std::string_view name) const;
  // Object: the existing member of that name (reset to Null, keeping its place) or a
  // new Null member appended after the others; null when this node is not an Object.
  JsonValue* SetMember(std::string_view name);
  size_t member_count() const { return members_.size(); }
  // Members are kept in document order (a repeated name keeps its first place).
  const std::string& member_name(size_t index) const { return members_[index].first; }
  JsonValue* member_value(size_t index) const { return members_[index].second.get(); }

 private:
  std::string FoldName(std::string_view name) const;
  bool SameName(std::string_view a, std::string_view b) const;
  // The position of the member of that name, or members_.size() when there is none.
  size_t MemberPosition(std::string_view name) const;

  JsonKind kind_ = JsonKind::kNull;
  bool is_float_ = false;
  bool no_case_ = false;
  bool boolean_ = false;
  int64_t integer_ = 0;
  double double_ = 0.0;
  std::string text_;
  std::vector<std::unique_ptr<JsonValue>> elements_;
  std::vector<std::pair<std::string, std::unique_ptr<JsonValue>>> members_;
  // Folded name -> position, made only once an object grows past a few members: the
  // small objects of a configuration are searched faster in order, and a large one
  // must not make every insertion scan all its members.
  std::unique_ptr<std::unordered_map<std::string, size_t>> member_index_;
};

// A parsed tree; owns its root.
class JsonDocument {
 public:
  explicit JsonDocument(bool no_case) : root_(std::make_unique<JsonValue>(no_case)) {}
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;
  JsonValue* root() const { return root_.get(); }

 private:
  std::unique_ptr<JsonValue> root_;
};

// The first error of a parse. Before a parse runs, message is empty and line and
// column are -1. line counts from 1 (CR LF is one line break); column is at least 1.
struct JsonError {
  std::string message;
  int32_t line = -1;
  int32_t column = -1;
};

// Parses the text; flags may hold kJsonNoCase. Returns the document, or null on any
// error; then *error (when given) and the calling thread's last error hold the first
// error. A zero byte in the text counts as its end.
std::unique_ptr<JsonDocument> ParseJsonText(std::string_view text, int flags,
                                            JsonError* error = nullptr);
// The last parse error of the calling thread.
const std::string& LastJsonErrorMessage();
int32_t LastJsonErrorLine();
int32_t LastJsonErrorColumn();

// Readers; each tolerates a null node or one of another kind and then gives the
// neutral value.
JsonValue* JsonRoot(const JsonDocument* document);
JsonKind JsonKindOf(const JsonValue* node);  // kNull for null
std::string JsonStringOf(const JsonValue* node);
// Number or Boolean: the integer (a double truncated toward zero and clamped to the
// 64-bit range, NaN giving 0); others 0.
int64_t JsonIntegerOf(const JsonValue* node);
double JsonFloatOf(const JsonValue* node);
bool JsonBooleanOf(const JsonValue* node);
JsonValue* JsonMember(const JsonValue* object, std::string_view name);
size_t JsonArrayLength(const JsonValue* array);
JsonValue* JsonElement(const JsonValue* array, size_t index);

// Walks the members of an object in document order:
//   for (JsonMemberWalk walk(node); walk.Next();) use(walk.name(), walk.value());
// A node that is not an Object has no members.
class JsonMemberWalk {
 public:
  explicit JsonMemberWalk(const JsonValue* object) : object_(object) {}
  // Moves to the next member; false after the last.
  bool Next();
  // "" and null before the first Next() and after the last.
  const std::string& name() const;
  JsonValue* value() const;

 private:
  const JsonValue* object_;
  size_t next_ = 0;
  bool on_member_ = false;
};

// Builders: MakeJsonArray resets the node to an empty Array; AppendJsonElement adds a
// Null element to an Array (null when not an Array); SetJsonString resets the node to
// a String holding the text. Null nodes are ignored.
void MakeJsonArray(JsonValue* node);
JsonValue* AppendJsonElement(JsonValue* array);
void SetJsonString(JsonValue* node, std::string_view text);

}  // namespace brasswick

#endif  // BRASSWICK_RUNTIME_JSON_JSON_DOCUMENT_H_
