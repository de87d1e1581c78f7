// Comparing two trees with the names set aside: kinds, operators, flags, values and
// order must match; each local must bind the same declaration; globals and fields may
// carry other names, as long as one name maps to one name both ways. Header-only, so the
// fuzz targets can use it as well as the tests.
#ifndef BRASSWICK_TESTS_CODE_SYNTAX_SHAPE_H_
#define BRASSWICK_TESTS_CODE_SYNTAX_SHAPE_H_

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "code/lua_lexer.h"
#include "code/lua_syntax.h"

namespace brasswick::testing {

struct ShapeItem {
  std::string shape;        // everything but a global's or field's name
  std::string_view member;  // that name, if any
};

// The tree in pre-order, one item a node.
inline std::vector<ShapeItem> TreeShape(const SyntaxTree& tree, const LexedCode& lexed) {
  std::vector<ShapeItem> items;
  if (tree.root == kNoIndex) return items;
  std::vector<uint32_t> stack{tree.root};
  while (!stack.empty()) {
    const uint32_t index = stack.back();
    stack.pop_back();
    const Node& node = tree.nodes[index];
    ShapeItem item;
    item.shape = std::to_string(static_cast<int>(node.kind)) + "/" +
                 std::to_string(static_cast<int>(node.op)) + "/" +
                 std::to_string(static_cast<int>(node.flags)) + "/" +
                 std::to_string(static_cast<int>(node.binding)) + "/" +
                 std::to_string(node.child_count);
    const Token* token = node.token != kNoIndex ? &lexed.tokens[node.token] : nullptr;
    switch (node.kind) {
      case NodeKind::kNumber:
        item.shape += " " + std::to_string(token->value);
        break;
      case NodeKind::kString:
        item.shape += " \"" + lexed.StringValue(*token) + "\"";
        break;
      case NodeKind::kName:
        if (node.binding == Binding::kGlobal) {
          item.member = lexed.Text(*token);
        } else {
          item.shape += " v" + std::to_string(node.ref);
        }
        break;
      case NodeKind::kLocalName:
        item.shape += " v" + std::to_string(node.ref);
        break;
      case NodeKind::kFieldName:
        item.member = lexed.Text(*token);
        break;
      case NodeKind::kLabel:
      case NodeKind::kGoto:
        item.shape += " @" + std::to_string(node.ref);
        break;
      default:
        break;
    }
    items.push_back(std::move(item));
    const auto children = tree.Children(index);
    for (size_t i = children.size(); i-- > 0;) stack.push_back(children[i]);
  }
  return items;
}

// "" when `after` is `before` with its names changed consistently; else the first
// difference. Fills *renamed (old name -> new name of each global and field) if given.
inline std::string CompareRenamed(const SyntaxTree& before, const LexedCode& before_lexed,
                                  const SyntaxTree& after, const LexedCode& after_lexed,
                                  std::map<std::string, std::string>* renamed = nullptr) {
  const std::vector<ShapeItem> a = TreeShape(before, before_lexed);
  const std::vector<ShapeItem> b = TreeShape(after, after_lexed);
  if (a.size() != b.size()) {
    return "node counts differ: " + std::to_string(a.size()) + " vs " + std::to_string(b.size());
  }
  if (before.variables.size() != after.variables.size()) return "variable counts differ";
  std::map<std::string_view, std::string_view> forward;
  std::map<std::string_view, std::string_view> backward;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].shape != b[i].shape) {
      return "node " + std::to_string(i) + ": " + a[i].shape + " vs " + b[i].shape;
    }
    if (a[i].member.empty() != b[i].member.empty()) return "node " + std::to_string(i);
    if (a[i].member.empty()) continue;
    auto [f, f_new] = forward.emplace(a[i].member, b[i].member);
    auto [r, r_new] = backward.emplace(b[i].member, a[i].member);
    if (f->second != b[i].member || r->second != a[i].member) {
      return "name " + std::string(a[i].member) + " became " + std::string(b[i].member) + " but " +
             std::string(f->first) + " is " + std::string(f->second) + " and " +
             std::string(r->second) + " is " + std::string(r->first);
    }
  }
  if (renamed) {
    renamed->clear();
    for (const auto& [from, to] : forward) renamed->emplace(from, to);
  }
  return "";
}

}  // namespace brasswick::testing

#endif  // BRASSWICK_TESTS_CODE_SYNTAX_SHAPE_H_
