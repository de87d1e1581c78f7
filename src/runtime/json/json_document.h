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

// Orders member names as an object with that case rule compares them: negative, zero
// or positive as a sorts before, with or after b.
int CompareJsonNames(std::string_view a, std::string_view b, bool no_case);
// Whether the names are the same member under that case rule.
bool SameJsonNames(std::string_view a, std::string_view b, bool no_case);

class JsonValue;

// The memory of one document: nodes, texts and child lists are cut from a few large
// blocks, so a parsed tree touches little more memory than its text and is freed at
// once. Nothing cut from it is freed before the document is.
class JsonArena {
 public:
  // The first block holds first_block bytes; later ones double in size.
  explicit JsonArena(size_t first_block) : next_block_(first_block) {}
  JsonArena(const JsonArena&) = delete;
  JsonArena& operator=(const JsonArena&) = delete;
  ~JsonArena();
  // bytes of memory aligned for a node, or null when memory runs out.
  void* Allocate(size_t bytes);
  // A new Null node, or null when memory runs out.
  JsonValue* NewNode(bool no_case);
  // A copy of the text (null for an empty text); false when memory runs out or the
  // text is longer than a node can say.
  bool CopyText(std::string_view text, const char** copy);

 private:
  struct Block {
    Block* previous;
    size_t size;
  };
  Block* last_ = nullptr;
  char* free_ = nullptr;
  char* end_ = nullptr;
  size_t next_block_;
};

class JsonParser;

// One node of the tree. Its texts and children live in the arena of its document;
// nodes never move, so pointers handed out stay valid while the document lives.
class JsonValue {
 public:
  JsonValue(JsonArena* arena, bool no_case) : arena_(arena), no_case_(no_case) {}
  JsonValue(const JsonValue&) = delete;
  JsonValue& operator=(const JsonValue&) = delete;

  JsonKind kind() const { return static_cast<JsonKind>(kind_); }
  // Number only: true when held as a double, false when held as a 64-bit integer.
  bool is_float() const { return is_float_; }
  // Member names at and below this node are compared without regard to letter case.
  bool no_case() const { return no_case_; }

  // Makes the node Null, keeping no_case() and its member name; what it held stays
  // in the arena until the document is freed.
  void Reset();
  void SetNull() { Reset(); }
  // False, leaving the node Null, when memory runs out.
  bool SetString(std::string_view text);
  void SetInteger(int64_t value);
  void SetDouble(double value);
  void SetBoolean(bool value);
  void SetArray();
  void SetObject();

  // String: its text; "" for other kinds.
  std::string_view string_value() const {
    return kind() == JsonKind::kString ? std::string_view(payload_.text, size_)
                                       : std::string_view();
  }
  int64_t integer_value() const {
    return kind() == JsonKind::kNumber && !is_float_ ? payload_.integer : 0;
  }
  double double_value() const {
    return kind() == JsonKind::kNumber && is_float_ ? payload_.real : 0.0;
  }
  bool boolean_value() const { return boolean_; }

  // Array: appends a Null child inheriting no_case() and returns it; null when this
  // node is not an Array or memory runs out.
  JsonValue* AppendElement();
  size_t element_count() const { return kind() == JsonKind::kArray ? size_ : 0; }
  JsonValue* element(size_t index) const;

  // Object: the member of that name under this node's case rule, or null.
  JsonValue* FindMember(std::string_view name) const;
  size_t member_count() const { return kind() == JsonKind::kObject ? size_ : 0; }
  // Members are kept in document order (a repeated name keeps its first place and
  // spelling, and takes the later value). index < member_count().
  std::string_view member_name(size_t index) const { return payload_.children[index]->name(); }
  JsonValue* member_value(size_t index) const { return payload_.children[index]; }

 private:
  friend class JsonParser;

  // Objects with more members than this carry a sorted index of their names.
  static constexpr uint32_t kIndexedMembers = 16;

  std::string_view name() const { return std::string_view(name_, name_size_); }
  // The index after the children of a large object: positions in name order.
  const uint32_t* name_order() const {
    return reinterpret_cast<const uint32_t*>(payload_.children + size_);
  }
  // Takes over the value of other (a later member of the same name), keeping the name.
  void TakeValueOf(const JsonValue& other);

  JsonArena* arena_;
  union Payload {
    int64_t integer;
    double real;
    const char* text;
    JsonValue** children;
  } payload_{0};
  const char* name_ = nullptr;  // as a member of an object
  uint32_t size_ = 0;           // String: bytes; Array, Object: children
  uint32_t name_size_ = 0;
  uint32_t capacity_ = 0;  // Array: child slots
  uint8_t kind_ = static_cast<uint8_t>(JsonKind::kNull);
  bool is_float_ = false;
  bool no_case_ = false;
  bool boolean_ = false;
};

// A parsed tree: owns the arena its nodes live in, and its root.
class JsonDocument {
 public:
  // A document whose root is Null, its arena's first block sized for about
  // size_hint bytes of tree; null when memory runs out.
  static std::unique_ptr<JsonDocument> Create(bool no_case, size_t size_hint = 0);
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;
  JsonValue* root() const { return root_; }
  JsonArena* arena() { return &arena_; }

 private:
  explicit JsonDocument(size_t first_block) : arena_(first_block) {}

  JsonArena arena_;
  JsonValue* root_ = nullptr;
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
  std::string_view name() const;
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
