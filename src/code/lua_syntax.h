// The syntax tree of the console's Lua dialect: nodes in one flat array that refer to
// each other and to the tokens by index, with every name resolved to what it binds.
#ifndef BRASSWICK_CODE_LUA_SYNTAX_H_
#define BRASSWICK_CODE_LUA_SYNTAX_H_

#include <cstdint>
#include <span>
#include <vector>

#include "code/lua_token.h"

namespace brasswick {

inline constexpr uint32_t kNoIndex = 0xFFFFFFFF;

// The kinds of node and their children, in order ("[x]" is optional, "..." repeats).
enum class NodeKind : uint8_t {
  // Statements.
  kBlock,              // statement...
  kLocal,              // kNameList [kExprList]
  kAssign,             // kExprList (targets) kExprList (values)
  kCompoundAssign,     // target value; op is the binary operator
  kCallStatement,      // kCall or kMethodCall
  kDo,                 // kBlock
  kWhile,              // condition kBlock
  kRepeat,             // kBlock condition
  kIf,                 // condition kBlock [condition kBlock]... [kBlock (else)]
  kNumericFor,         // kLocalName start limit [step] kBlock
  kGenericFor,         // kNameList kExprList kBlock
  kFunctionStatement,  // target (kName, kField chain) kFunction; kMethod: `a:b`
  kLocalFunction,      // kLocalName kFunction
  kReturn,             // [kExprList]
  kBreak,              //
  kGoto,               // (none); ref is the kLabel node it jumps to
  kLabel,              // (none); token is its name
  kPrint,              // kExprList: `?a, b`
  // Expressions.
  kNil,
  kTrue,
  kFalse,
  kNumber,      // token is the number
  kString,      // token is the string
  kVararg,      // ...
  kFunction,    // kParams kBlock
  kTable,       // (kTableField | kTableKey | expression)...
  kBinary,      // left right; op
  kUnary,       // operand; op (`-`, `not`, `#`, `~`, and the peeks `@ % $`)
  kParen,       // expression
  kName,        // a variable: local, upvalue or global (see binding)
  kIndex,       // object key: `a[k]`
  kField,       // object kFieldName: `a.k`
  kCall,        // function argument...
  kMethodCall,  // object kFieldName argument...
  kTableField,  // kFieldName value: `{k = v}`
  kTableKey,    // key value: `{[k] = v}`
  // Parts.
  kNameList,   // kLocalName...
  kExprList,   // expression...
  kParams,     // kLocalName...; kVarargs when it ends in `...`
  kLocalName,  // a local's declaration; ref is its variable
  kFieldName,  // a table field's name
};

enum class Binding : uint8_t {
  kNone,
  kLocal,    // a local of the same function (ref: variable)
  kUpvalue,  // a local of an enclosing function (ref: variable)
  kGlobal,   // a global (ref: kNoIndex)
  kField,    // a table field's name
  kLabel,    // a label, or a goto's (ref: the kLabel node)
};

enum NodeFlags : uint8_t {
  kShortForm = 1,  // an `if` or `while` whose body is the rest of its line
  kMethod = 2,     // `function a:b()`: the function has an implicit `self`
  kVarargs = 4,    // parameters that end in `...`
};

struct Node {
  NodeKind kind = NodeKind::kBlock;
  Tok op = Tok::kSpace;  // the operator of kBinary, kUnary, kCompoundAssign
  uint8_t flags = 0;
  Binding binding = Binding::kNone;
  uint32_t token = kNoIndex;        // its main token (name, literal, operator, keyword)
  uint32_t first_token = kNoIndex;  // the tokens it spans (indices in LexedCode::tokens)
  uint32_t last_token = kNoIndex;
  uint32_t first_child = 0;  // into SyntaxTree::children
  uint32_t child_count = 0;
  uint32_t ref = kNoIndex;  // variable of a name, label of a goto (see Binding)
};

struct Variable {
  uint32_t name_token = kNoIndex;   // kNoIndex for a method's implicit `self`
  uint32_t declaration = kNoIndex;  // its kLocalName node (kFunction for `self`)
  uint32_t function = kNoIndex;     // the kFunction node it belongs to (kNoIndex: main chunk)
  bool captured = false;            // read or written by an inner function
  uint32_t references = 0;          // kName nodes that bind to it
};

struct SyntaxTree {
  std::vector<Node> nodes;
  std::vector<uint32_t> children;
  std::vector<Variable> variables;
  uint32_t root = kNoIndex;  // the main chunk's kBlock
  // Tokens after which the code needs a line break: the ends of short `if`/`while`
  // and `?` statements that the line's end closed. In increasing order.
  std::vector<uint32_t> line_breaks;

  std::span<const uint32_t> Children(uint32_t node) const {
    const Node& n = nodes[node];
    return std::span<const uint32_t>(children).subspan(n.first_child, n.child_count);
  }
};

}  // namespace brasswick

#endif  // BRASSWICK_CODE_LUA_SYNTAX_H_
