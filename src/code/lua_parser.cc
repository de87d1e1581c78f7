#include "code/lua_parser.h"

#include <string_view>

namespace brasswick {
namespace {

// Binding powers: left, then right (lower right binds the right side looser, which
// makes `..` and `^` right-associative). 0 left: not a binary operator.
struct Power {
  uint8_t left;
  uint8_t right;
};
constexpr uint8_t kUnaryPower = 12;

Power BinaryPower(Tok kind) {
  switch (kind) {
    case Tok::kOr:
      return {1, 1};
    case Tok::kAnd:
      return {2, 2};
    case Tok::kLess:
    case Tok::kGreater:
    case Tok::kLessEqual:
    case Tok::kGreaterEqual:
    case Tok::kNotEqual:
    case Tok::kEqual:
      return {3, 3};
    case Tok::kBar:
      return {4, 4};
    case Tok::kCaretCaret:
    case Tok::kTilde:
      return {5, 5};
    case Tok::kAmpersand:
      return {6, 6};
    case Tok::kShiftLeft:
    case Tok::kShiftRight:
    case Tok::kShiftRightLogical:
    case Tok::kRotateLeft:
    case Tok::kRotateRight:
      return {7, 7};
    case Tok::kConcat:
      return {9, 8};
    case Tok::kPlus:
    case Tok::kMinus:
      return {10, 10};
    case Tok::kStar:
    case Tok::kSlash:
    case Tok::kBackslash:
    case Tok::kPercent:
      return {11, 11};
    case Tok::kCaret:
      return {14, 13};
    default:
      return {0, 0};
  }
}

bool IsUnary(Tok kind) {
  switch (kind) {
    case Tok::kNot:
    case Tok::kHash:
    case Tok::kMinus:
    case Tok::kTilde:
    case Tok::kAt:
    case Tok::kPercent:
    case Tok::kDollar:
      return true;
    default:
      return false;
  }
}

class Parser {
 public:
  Parser(const LexedCode& lexed, SyntaxTree& tree) : lexed_(lexed), tree_(tree) {
    significant_.reserve(lexed.tokens.size() / 2 + 1);
    for (uint32_t i = 0; i < lexed.tokens.size(); ++i) {
      if (!IsTrivia(lexed.tokens[i].kind)) significant_.push_back(i);
    }
    end_offset_ = static_cast<uint32_t>(lexed.code.size());
    if (lexed.error) end_offset_ = lexed.error->offset;
  }

  bool Run(CodeError* error) {
    tree_.nodes.reserve(significant_.size() + 16);
    functions_.push_back({kNoIndex, 0, true});
    tree_.root = Block(false);
    if (!failed_ && Peek() != kEndOfCode) Fail("'<eof>' expected");
    if (!failed_) CheckGotos(0);
    if (failed_) {
      if (error) *error = error_;
      return false;
    }
    return true;
  }

 private:
  // The kind past the last token; never a real token's kind.
  static constexpr Tok kEndOfCode = Tok::kSpace;

  struct FunctionState {
    uint32_t node;
    int loops;
    bool varargs;
  };
  struct ActiveLocal {
    std::string_view name;
    uint32_t variable;
  };
  struct LabelEntry {
    std::string_view name;
    uint32_t node;
    int level;
    uint32_t function;
  };
  struct PendingGoto {
    std::string_view name;
    uint32_t node;
    int level;
    size_t function;
  };

  // --- Tokens -------------------------------------------------------------------------
  Tok Peek() const { return failed_ || at_ >= significant_.size() ? kEndOfCode : KindAt(at_); }
  Tok PeekNext() const {
    return failed_ || at_ + 1 >= significant_.size() ? kEndOfCode : KindAt(at_ + 1);
  }
  Tok KindAt(size_t i) const { return lexed_.tokens[significant_[i]].kind; }
  uint32_t Index() const { return at_ < significant_.size() ? significant_[at_] : kNoIndex; }
  uint32_t PreviousIndex() const { return at_ > 0 ? significant_[at_ - 1] : kNoIndex; }
  const Token& Current() const { return lexed_.tokens[significant_[at_]]; }
  uint32_t LineOf(size_t i) const { return lexed_.tokens[significant_[i]].line; }
  std::string_view Text(uint32_t token) const { return lexed_.Text(lexed_.tokens[token]); }

  uint32_t Advance() { return significant_[at_++]; }
  bool Accept(Tok kind) {
    if (Peek() != kind) return false;
    ++at_;
    return true;
  }
  uint32_t Expect(Tok kind) {
    if (Peek() != kind) {
      Fail("'" + std::string(TokSpelling(kind)) + "' expected");
      return kNoIndex;
    }
    return Advance();
  }
  uint32_t ExpectName() {
    if (Peek() != Tok::kName) {
      Fail("name expected");
      return kNoIndex;
    }
    return Advance();
  }

  // The first error only; afterwards Peek() sees the end of the code, so every loop ends.
  void Fail(std::string message) {
    if (failed_) return;
    failed_ = true;
    std::string near = "<eof>";
    uint32_t offset = end_offset_;
    if (at_ < significant_.size()) {
      offset = Current().offset;
      near = DescribeToken(lexed_, Current());
    } else if (lexed_.error) {
      message = lexed_.error->message;
      near.clear();
    }
    if (!near.empty()) message += " near " + near;
    error_ = CodeError{offset, std::move(message)};
  }

  bool Enter() {
    if (++depth_ > kMaxSyntaxDepth) {
      Fail("too deeply nested");
      return false;
    }
    return true;
  }
  void Leave() { --depth_; }

  // Inside a short form's body, a token on a later line ends the body.
  bool BlockFollows() const {
    switch (Peek()) {
      case kEndOfCode:
      case Tok::kElse:
      case Tok::kElseIf:
      case Tok::kEnd:
      case Tok::kUntil:
        return true;
      default:
        return short_line_ != 0 && LineOf(at_) > short_line_;
    }
  }

  // --- Nodes --------------------------------------------------------------------------
  uint32_t NewNode(NodeKind kind, uint32_t token) {
    Node node;
    node.kind = kind;
    node.token = token;
    node.first_token = token != kNoIndex ? token : Index();
    tree_.nodes.push_back(node);
    return static_cast<uint32_t>(tree_.nodes.size() - 1);
  }
  // Gives `node` the children pushed since `mark`, and the tokens up to the last read.
  uint32_t Finish(uint32_t node, size_t mark) {
    Node& n = tree_.nodes[node];
    n.first_child = static_cast<uint32_t>(tree_.children.size());
    n.child_count = static_cast<uint32_t>(scratch_.size() - mark);
    tree_.children.insert(tree_.children.end(), scratch_.begin() + mark, scratch_.end());
    scratch_.resize(mark);
    n.last_token = PreviousIndex();
    if (n.first_token == kNoIndex) n.first_token = n.last_token;
    return node;
  }
  // A block spans its statements' tokens; an empty one none.
  uint32_t FinishBlock(uint32_t node, size_t mark) {
    Finish(node, mark);
    Node& n = tree_.nodes[node];
    if (n.child_count == 0) {
      n.first_token = n.last_token = kNoIndex;
    } else {
      n.first_token = tree_.nodes[tree_.children[n.first_child]].first_token;
    }
    return node;
  }
  // A node whose first child was made before it: it starts where that child starts.
  uint32_t Wrap(NodeKind kind, uint32_t token, uint32_t first) {
    const uint32_t node = NewNode(kind, token);
    tree_.nodes[node].first_token = tree_.nodes[first].first_token;
    return node;
  }

  // --- Scopes -------------------------------------------------------------------------
  uint32_t Declare(uint32_t name_token, uint32_t declaration) {
    Variable variable;
    variable.name_token = name_token;
    variable.declaration = declaration;
    variable.function = functions_.back().node;
    tree_.variables.push_back(variable);
    return static_cast<uint32_t>(tree_.variables.size() - 1);
  }
  void Activate(std::string_view name, uint32_t variable) { active_.push_back({name, variable}); }
  uint32_t LocalName(uint32_t name_token) {
    const uint32_t node = NewNode(NodeKind::kLocalName, name_token);
    tree_.nodes[node].binding = Binding::kLocal;
    tree_.nodes[node].ref = Declare(name_token, node);
    tree_.nodes[node].last_token = name_token;
    return node;
  }
  void ActivateLocalName(uint32_t node) {
    if (tree_.nodes[node].token == kNoIndex) return;  // after an error
    Activate(Text(tree_.nodes[node].token), tree_.nodes[node].ref);
  }

  uint32_t NameReference(uint32_t name_token) {
    const uint32_t node = NewNode(NodeKind::kName, name_token);
    Node& n = tree_.nodes[node];
    n.last_token = name_token;
    n.binding = Binding::kGlobal;
    if (name_token == kNoIndex) return node;  // after an error
    const std::string_view name = Text(name_token);
    for (size_t i = active_.size(); i-- > 0;) {
      if (active_[i].name != name) continue;
      Variable& variable = tree_.variables[active_[i].variable];
      n.ref = active_[i].variable;
      ++variable.references;
      if (variable.function == functions_.back().node) {
        n.binding = Binding::kLocal;
      } else {
        n.binding = Binding::kUpvalue;
        variable.captured = true;
      }
      return node;
    }
    n.binding = Binding::kGlobal;
    return node;
  }
  uint32_t FieldName(uint32_t name_token) {
    const uint32_t node = NewNode(NodeKind::kFieldName, name_token);
    tree_.nodes[node].binding = Binding::kField;
    tree_.nodes[node].last_token = name_token;
    return node;
  }

  // Labels of a block are visible to every goto inside it; a goto is resolved when the
  // innermost block holding a label of its name closes.
  void CloseLabels(int level) {
    for (PendingGoto& pending : gotos_) {
      if (pending.level != level) continue;
      for (size_t i = labels_.size(); i-- > 0 && labels_[i].level == level;) {
        if (labels_[i].name == pending.name) {
          tree_.nodes[pending.node].ref = labels_[i].node;
          pending.level = -1;
          break;
        }
      }
      if (pending.level == level) --pending.level;
    }
    while (!labels_.empty() && labels_.back().level == level) labels_.pop_back();
    std::erase_if(gotos_, [](const PendingGoto& pending) { return pending.level == -1; });
  }
  void CheckGotos(size_t function) {
    for (const PendingGoto& pending : gotos_) {
      if (pending.function != function) continue;
      at_ = significant_.size();
      failed_ = false;
      for (size_t i = 0; i < significant_.size(); ++i) {
        if (significant_[i] == tree_.nodes[pending.node].token) at_ = i;
      }
      Fail("no visible label '" + std::string(Text(tree_.nodes[pending.node].token)) +
           "' for goto");
      return;
    }
  }

  // --- Blocks -------------------------------------------------------------------------
  // A block in a scope of its own. `short_body`: the statements on the current line.
  uint32_t Block(bool short_body) {
    const uint32_t saved_line = short_line_;
    short_line_ = short_body ? LineOf(at_ - 1) : 0;
    const size_t scope = active_.size();
    ++level_;
    const uint32_t node = NewNode(NodeKind::kBlock, kNoIndex);
    const size_t mark = scratch_.size();
    if (Enter()) {
      Statements();
      Leave();
    }
    CloseLabels(level_);
    --level_;
    active_.resize(scope);
    short_line_ = saved_line;
    return FinishBlock(node, mark);
  }

  void Statements() {
    while (!BlockFollows()) {
      if (Peek() == Tok::kReturn) {
        scratch_.push_back(Return());
        break;
      }
      const uint32_t statement = Statement();
      if (statement != kNoIndex) scratch_.push_back(statement);
    }
  }

  uint32_t Return() {
    const uint32_t node = NewNode(NodeKind::kReturn, Advance());
    const size_t mark = scratch_.size();
    if (!BlockFollows() && Peek() != Tok::kSemicolon) scratch_.push_back(ExprList());
    Accept(Tok::kSemicolon);
    return Finish(node, mark);
  }

  // --- Statements ---------------------------------------------------------------------
  uint32_t Statement() {
    switch (Peek()) {
      case Tok::kSemicolon:
        ++at_;
        return kNoIndex;
      case Tok::kIf:
        return If();
      case Tok::kWhile:
        return While();
      case Tok::kDo: {
        const uint32_t node = NewNode(NodeKind::kDo, Advance());
        const size_t mark = scratch_.size();
        scratch_.push_back(Block(false));
        Expect(Tok::kEnd);
        return Finish(node, mark);
      }
      case Tok::kFor:
        return For();
      case Tok::kRepeat:
        return Repeat();
      case Tok::kFunction:
        return FunctionStatement();
      case Tok::kLocal:
        return Local();
      case Tok::kDoubleColon:
        return Label();
      case Tok::kBreak: {
        if (functions_.back().loops == 0) Fail("'break' outside a loop");
        const uint32_t node = NewNode(NodeKind::kBreak, Advance());
        return Finish(node, scratch_.size());
      }
      case Tok::kGoto: {
        const uint32_t keyword = Advance();
        const uint32_t node = NewNode(NodeKind::kGoto, ExpectName());
        tree_.nodes[node].first_token = keyword;
        tree_.nodes[node].binding = Binding::kLabel;
        if (!failed_) {
          gotos_.push_back({Text(tree_.nodes[node].token), node, level_, functions_.size() - 1});
        }
        return Finish(node, scratch_.size());
      }
      case Tok::kQuestion:
        return Print();
      default:
        return ExpressionStatement();
    }
  }

  // After a short form: whether the line's end closed it, which a printer must keep.
  void NoteShortEnd(uint32_t line) {
    if (failed_ || at_ >= significant_.size() || LineOf(at_) <= line) return;
    const uint32_t last = PreviousIndex();
    if (tree_.line_breaks.empty() || tree_.line_breaks.back() < last) {
      tree_.line_breaks.push_back(last);
    }
  }

  // After an `if` or `while` condition: the body is the rest of the line when the
  // condition ends in `)` and no `do` follows (nor `then`, which the caller checks).
  bool ShortForm() const {
    return !failed_ && Peek() != Tok::kDo &&
           lexed_.tokens[PreviousIndex()].kind == Tok::kCloseParen;
  }

  uint32_t If() {
    const uint32_t node = NewNode(NodeKind::kIf, Advance());
    const size_t mark = scratch_.size();
    scratch_.push_back(Expression());
    if (Peek() != Tok::kThen && ShortForm()) {
      const uint32_t line = LineOf(at_ - 1);
      tree_.nodes[node].flags |= kShortForm;
      scratch_.push_back(Block(true));
      if (Peek() == Tok::kElse && LineOf(at_) == line) {
        ++at_;
        scratch_.push_back(Block(true));
      }
      Finish(node, mark);
      NoteShortEnd(line);
      return node;
    }
    if (!Accept(Tok::kDo)) Expect(Tok::kThen);
    scratch_.push_back(Block(false));
    while (Peek() == Tok::kElseIf) {
      ++at_;
      scratch_.push_back(Expression());
      if (!Accept(Tok::kDo)) Expect(Tok::kThen);
      scratch_.push_back(Block(false));
    }
    if (Accept(Tok::kElse)) scratch_.push_back(Block(false));
    Expect(Tok::kEnd);
    return Finish(node, mark);
  }

  uint32_t While() {
    const uint32_t node = NewNode(NodeKind::kWhile, Advance());
    const size_t mark = scratch_.size();
    scratch_.push_back(Expression());
    ++functions_.back().loops;
    if (ShortForm()) {
      const uint32_t line = LineOf(at_ - 1);
      tree_.nodes[node].flags |= kShortForm;
      scratch_.push_back(Block(true));
      --functions_.back().loops;
      Finish(node, mark);
      NoteShortEnd(line);
      return node;
    }
    Expect(Tok::kDo);
    scratch_.push_back(Block(false));
    --functions_.back().loops;
    Expect(Tok::kEnd);
    return Finish(node, mark);
  }

  uint32_t Repeat() {
    const uint32_t node = NewNode(NodeKind::kRepeat, Advance());
    const size_t mark = scratch_.size();
    // The condition sees the block's locals, so the block's scope closes after it.
    const uint32_t saved_line = short_line_;
    short_line_ = 0;
    const size_t scope = active_.size();
    ++level_;
    ++functions_.back().loops;
    const uint32_t block = NewNode(NodeKind::kBlock, kNoIndex);
    const size_t block_mark = scratch_.size();
    if (Enter()) {
      Statements();
      Leave();
    }
    FinishBlock(block, block_mark);
    --functions_.back().loops;
    scratch_.push_back(block);
    Expect(Tok::kUntil);
    scratch_.push_back(Expression());
    CloseLabels(level_);
    --level_;
    active_.resize(scope);
    short_line_ = saved_line;
    return Finish(node, mark);
  }

  uint32_t For() {
    const uint32_t keyword = Advance();
    const uint32_t first_name = ExpectName();
    const size_t mark = scratch_.size();
    const size_t scope = active_.size();
    uint32_t node;
    if (Peek() == Tok::kAssign) {
      node = NewNode(NodeKind::kNumericFor, keyword);
      const uint32_t variable = LocalName(first_name);
      ++at_;
      scratch_.push_back(variable);
      scratch_.push_back(Expression());
      Expect(Tok::kComma);
      scratch_.push_back(Expression());
      if (Accept(Tok::kComma)) scratch_.push_back(Expression());
      ActivateLocalName(variable);
    } else {
      node = NewNode(NodeKind::kGenericFor, keyword);
      const uint32_t names = NewNode(NodeKind::kNameList, first_name);
      const size_t names_mark = scratch_.size();
      scratch_.push_back(LocalName(first_name));
      while (Accept(Tok::kComma)) scratch_.push_back(LocalName(ExpectName()));
      Finish(names, names_mark);
      scratch_.push_back(names);
      Expect(Tok::kIn);
      scratch_.push_back(ExprList());
      for (uint32_t name : tree_.Children(names)) ActivateLocalName(name);
    }
    Expect(Tok::kDo);
    ++functions_.back().loops;
    scratch_.push_back(Block(false));
    --functions_.back().loops;
    Expect(Tok::kEnd);
    active_.resize(scope);
    return Finish(node, mark);
  }

  uint32_t FunctionStatement() {
    const uint32_t node = NewNode(NodeKind::kFunctionStatement, Advance());
    const size_t mark = scratch_.size();
    uint32_t target = NameReference(ExpectName());
    bool method = false;
    while (!failed_ && (Peek() == Tok::kDot || Peek() == Tok::kColon)) {
      method = Peek() == Tok::kColon;
      const uint32_t field = Wrap(NodeKind::kField, Advance(), target);
      const size_t field_mark = scratch_.size();
      scratch_.push_back(target);
      scratch_.push_back(FieldName(ExpectName()));
      target = Finish(field, field_mark);
      if (method) break;
    }
    scratch_.push_back(target);
    if (method) tree_.nodes[node].flags |= kMethod;
    scratch_.push_back(Function(PreviousIndex(), method));
    return Finish(node, mark);
  }

  uint32_t Local() {
    const uint32_t keyword = Advance();
    const size_t mark = scratch_.size();
    if (Accept(Tok::kFunction)) {
      const uint32_t node = NewNode(NodeKind::kLocalFunction, keyword);
      const uint32_t name = LocalName(ExpectName());
      ActivateLocalName(name);  // the body may call itself
      scratch_.push_back(name);
      scratch_.push_back(Function(PreviousIndex(), false));
      return Finish(node, mark);
    }
    const uint32_t node = NewNode(NodeKind::kLocal, keyword);
    const uint32_t names = NewNode(NodeKind::kNameList, Index());
    const size_t names_mark = scratch_.size();
    do {
      scratch_.push_back(LocalName(ExpectName()));
    } while (Accept(Tok::kComma));
    Finish(names, names_mark);
    scratch_.push_back(names);
    if (Accept(Tok::kAssign)) scratch_.push_back(ExprList());
    // `local x = x` reads the outer x: the new locals start after the values.
    for (uint32_t name : tree_.Children(names)) ActivateLocalName(name);
    return Finish(node, mark);
  }

  uint32_t Label() {
    const uint32_t open = Advance();
    const uint32_t function = functions_.back().node;
    if (Peek() == Tok::kName) {
      const std::string_view name = Text(Index());
      for (const LabelEntry& label : labels_) {
        if (label.name == name && label.function == function) {
          Fail("label '" + std::string(name) + "' already defined");
        }
      }
    }
    const uint32_t node = NewNode(NodeKind::kLabel, ExpectName());
    tree_.nodes[node].first_token = open;
    tree_.nodes[node].binding = Binding::kLabel;
    tree_.nodes[node].ref = node;
    if (!failed_) labels_.push_back({Text(tree_.nodes[node].token), node, level_, function});
    Expect(Tok::kDoubleColon);
    return Finish(node, scratch_.size());
  }

  uint32_t Print() {
    const uint32_t question = Advance();
    const uint32_t line = lexed_.tokens[question].line;
    const uint32_t node = NewNode(NodeKind::kPrint, question);
    const size_t mark = scratch_.size();
    const uint32_t list = NewNode(NodeKind::kExprList, kNoIndex);
    const size_t list_mark = scratch_.size();
    // The arguments are the rest of the line.
    if (!BlockFollows() && Peek() != Tok::kSemicolon && LineOf(at_) == line) {
      do {
        scratch_.push_back(Expression());
      } while (Accept(Tok::kComma));
    }
    Finish(list, list_mark);
    if (tree_.nodes[list].child_count == 0) {
      tree_.nodes[list].first_token = tree_.nodes[list].last_token = kNoIndex;
    }
    scratch_.push_back(list);
    Finish(node, mark);
    NoteShortEnd(line);
    return node;
  }

  uint32_t ExpressionStatement() {
    const uint32_t first = SuffixedExpression();
    if (failed_) return kNoIndex;
    const Tok next = Peek();
    if (next == Tok::kAssign || next == Tok::kComma) {
      const uint32_t targets = Wrap(NodeKind::kExprList, kNoIndex, first);
      const size_t mark = scratch_.size();
      CheckTarget(first);
      scratch_.push_back(first);
      while (Accept(Tok::kComma)) {
        const uint32_t target = SuffixedExpression();
        CheckTarget(target);
        scratch_.push_back(target);
      }
      Finish(targets, mark);
      const uint32_t node = Wrap(NodeKind::kAssign, Expect(Tok::kAssign), first);
      const size_t assign_mark = scratch_.size();
      scratch_.push_back(targets);
      scratch_.push_back(ExprList());
      return Finish(node, assign_mark);
    }
    if (IsCompoundAssign(next)) {
      CheckTarget(first);
      const uint32_t node = Wrap(NodeKind::kCompoundAssign, Advance(), first);
      tree_.nodes[node].op = CompoundOperator(next);
      const size_t mark = scratch_.size();
      scratch_.push_back(first);
      scratch_.push_back(Expression());
      return Finish(node, mark);
    }
    const NodeKind kind = tree_.nodes[first].kind;
    if (kind != NodeKind::kCall && kind != NodeKind::kMethodCall) {
      Fail("syntax error");
      return kNoIndex;
    }
    const uint32_t node = Wrap(NodeKind::kCallStatement, kNoIndex, first);
    const size_t mark = scratch_.size();
    scratch_.push_back(first);
    return Finish(node, mark);
  }

  void CheckTarget(uint32_t node) {
    if (failed_) return;
    const NodeKind kind = tree_.nodes[node].kind;
    if (kind != NodeKind::kName && kind != NodeKind::kIndex && kind != NodeKind::kField) {
      Fail("cannot assign to this expression");
    }
  }

  // --- Functions ----------------------------------------------------------------------
  // `(params) block end`, from the token before the `(`.
  uint32_t Function(uint32_t first_token, bool method) {
    const uint32_t node = NewNode(NodeKind::kFunction, first_token);
    const size_t mark = scratch_.size();
    const size_t scope = active_.size();
    const uint32_t saved_line = short_line_;
    functions_.push_back({node, 0, false});
    if (method) {
      const uint32_t self = Declare(kNoIndex, node);
      Activate("self", self);
    }
    const uint32_t params = NewNode(NodeKind::kParams, Expect(Tok::kOpenParen));
    const size_t params_mark = scratch_.size();
    if (Peek() != Tok::kCloseParen) {
      do {
        if (Accept(Tok::kDots)) {
          tree_.nodes[params].flags |= kVarargs;
          functions_.back().varargs = true;
          break;
        }
        scratch_.push_back(LocalName(ExpectName()));
      } while (Accept(Tok::kComma));
    }
    Expect(Tok::kCloseParen);
    Finish(params, params_mark);
    for (uint32_t name : tree_.Children(params)) ActivateLocalName(name);
    scratch_.push_back(params);
    scratch_.push_back(Block(false));
    Expect(Tok::kEnd);
    if (!failed_) CheckGotos(functions_.size() - 1);
    std::erase_if(gotos_,
                  [this](const PendingGoto& g) { return g.function >= functions_.size() - 1; });
    functions_.pop_back();
    active_.resize(scope);
    short_line_ = saved_line;
    return Finish(node, mark);
  }

  // --- Expressions --------------------------------------------------------------------
  uint32_t ExprList() {
    const uint32_t node = NewNode(NodeKind::kExprList, kNoIndex);
    const size_t mark = scratch_.size();
    do {
      scratch_.push_back(Expression());
    } while (Accept(Tok::kComma));
    return Finish(node, mark);
  }

  uint32_t Expression() { return SubExpression(0); }

  uint32_t SubExpression(uint8_t limit) {
    if (!Enter()) return 0;
    uint32_t left;
    const Tok kind = Peek();
    if (IsUnary(kind)) {
      const uint32_t node = NewNode(NodeKind::kUnary, Advance());
      tree_.nodes[node].op = kind;
      const size_t mark = scratch_.size();
      scratch_.push_back(SubExpression(kUnaryPower));
      left = Finish(node, mark);
    } else {
      left = SimpleExpression();
    }
    for (Power power; (power = BinaryPower(Peek())).left > limit;) {
      const Tok op = Peek();
      const uint32_t node = Wrap(NodeKind::kBinary, Advance(), left);
      tree_.nodes[node].op = op;
      const size_t mark = scratch_.size();
      scratch_.push_back(left);
      scratch_.push_back(SubExpression(power.right));
      left = Finish(node, mark);
    }
    Leave();
    return left;
  }

  uint32_t Leaf(NodeKind kind) {
    const uint32_t node = NewNode(kind, Advance());
    tree_.nodes[node].last_token = tree_.nodes[node].token;
    return node;
  }

  uint32_t SimpleExpression() {
    switch (Peek()) {
      case Tok::kNumber:
        return Leaf(NodeKind::kNumber);
      case Tok::kString:
        return Leaf(NodeKind::kString);
      case Tok::kNil:
        return Leaf(NodeKind::kNil);
      case Tok::kTrue:
        return Leaf(NodeKind::kTrue);
      case Tok::kFalse:
        return Leaf(NodeKind::kFalse);
      case Tok::kDots:
        if (!functions_.back().varargs) {
          Fail("cannot use '...' outside a vararg function");
          return 0;
        }
        return Leaf(NodeKind::kVararg);
      case Tok::kOpenBrace:
        return Table();
      case Tok::kFunction:
        return Function(Advance(), false);
      default:
        return SuffixedExpression();
    }
  }

  uint32_t PrimaryExpression() {
    if (Peek() == Tok::kName) return NameReference(Advance());
    if (Peek() == Tok::kOpenParen) {
      const uint32_t node = NewNode(NodeKind::kParen, Advance());
      const size_t mark = scratch_.size();
      scratch_.push_back(Expression());
      Expect(Tok::kCloseParen);
      return Finish(node, mark);
    }
    Fail("unexpected symbol");
    return 0;
  }

  uint32_t SuffixedExpression() {
    uint32_t object = PrimaryExpression();
    while (!failed_) {
      const Tok kind = Peek();
      if (kind == Tok::kDot) {
        const uint32_t node = Wrap(NodeKind::kField, Advance(), object);
        const size_t mark = scratch_.size();
        scratch_.push_back(object);
        scratch_.push_back(FieldName(ExpectName()));
        object = Finish(node, mark);
      } else if (kind == Tok::kOpenBracket) {
        const uint32_t node = Wrap(NodeKind::kIndex, Advance(), object);
        const size_t mark = scratch_.size();
        scratch_.push_back(object);
        scratch_.push_back(Expression());
        Expect(Tok::kCloseBracket);
        object = Finish(node, mark);
      } else if (kind == Tok::kColon) {
        const uint32_t node = Wrap(NodeKind::kMethodCall, Advance(), object);
        const size_t mark = scratch_.size();
        scratch_.push_back(object);
        scratch_.push_back(FieldName(ExpectName()));
        Arguments();
        object = Finish(node, mark);
      } else if (kind == Tok::kOpenParen || kind == Tok::kString || kind == Tok::kOpenBrace) {
        const uint32_t node = Wrap(NodeKind::kCall, Index(), object);
        const size_t mark = scratch_.size();
        scratch_.push_back(object);
        Arguments();
        object = Finish(node, mark);
      } else {
        break;
      }
    }
    return object;
  }

  // Pushes a call's arguments: `(list)`, one string, or one table.
  void Arguments() {
    switch (Peek()) {
      case Tok::kString:
        scratch_.push_back(Leaf(NodeKind::kString));
        return;
      case Tok::kOpenBrace:
        scratch_.push_back(Table());
        return;
      case Tok::kOpenParen:
        ++at_;
        if (Peek() != Tok::kCloseParen) {
          do {
            scratch_.push_back(Expression());
          } while (Accept(Tok::kComma));
        }
        Expect(Tok::kCloseParen);
        return;
      default:
        Fail("function arguments expected");
        return;
    }
  }

  uint32_t Table() {
    const uint32_t node = NewNode(NodeKind::kTable, Advance());
    const size_t mark = scratch_.size();
    if (!Enter()) return node;
    while (Peek() != Tok::kCloseBrace && !failed_) {
      if (Peek() == Tok::kOpenBracket) {
        const uint32_t item = NewNode(NodeKind::kTableKey, Advance());
        const size_t item_mark = scratch_.size();
        scratch_.push_back(Expression());
        Expect(Tok::kCloseBracket);
        Expect(Tok::kAssign);
        scratch_.push_back(Expression());
        scratch_.push_back(Finish(item, item_mark));
      } else if (Peek() == Tok::kName && PeekNext() == Tok::kAssign) {
        const uint32_t item = NewNode(NodeKind::kTableField, Index());
        const size_t item_mark = scratch_.size();
        scratch_.push_back(FieldName(Advance()));
        ++at_;
        scratch_.push_back(Expression());
        scratch_.push_back(Finish(item, item_mark));
      } else {
        scratch_.push_back(Expression());
      }
      if (!Accept(Tok::kComma) && !Accept(Tok::kSemicolon)) break;
    }
    Leave();
    Expect(Tok::kCloseBrace);
    return Finish(node, mark);
  }

  const LexedCode& lexed_;
  SyntaxTree& tree_;
  std::vector<uint32_t> significant_;
  size_t at_ = 0;
  uint32_t end_offset_ = 0;
  bool failed_ = false;
  CodeError error_;
  int depth_ = 0;
  int level_ = 0;
  uint32_t short_line_ = 0;
  std::vector<uint32_t> scratch_;
  std::vector<FunctionState> functions_;
  std::vector<ActiveLocal> active_;
  std::vector<LabelEntry> labels_;
  std::vector<PendingGoto> gotos_;
};

const char* KindName(NodeKind kind) {
  switch (kind) {
    case NodeKind::kBlock:
      return "block";
    case NodeKind::kLocal:
      return "local";
    case NodeKind::kAssign:
      return "set";
    case NodeKind::kCompoundAssign:
      return "opset";
    case NodeKind::kCallStatement:
      return "do-call";
    case NodeKind::kDo:
      return "do";
    case NodeKind::kWhile:
      return "while";
    case NodeKind::kRepeat:
      return "repeat";
    case NodeKind::kIf:
      return "if";
    case NodeKind::kNumericFor:
      return "for=";
    case NodeKind::kGenericFor:
      return "for-in";
    case NodeKind::kFunctionStatement:
      return "function-stat";
    case NodeKind::kLocalFunction:
      return "local-function";
    case NodeKind::kReturn:
      return "return";
    case NodeKind::kBreak:
      return "break";
    case NodeKind::kGoto:
      return "goto";
    case NodeKind::kLabel:
      return "label";
    case NodeKind::kPrint:
      return "?";
    case NodeKind::kNil:
      return "nil";
    case NodeKind::kTrue:
      return "true";
    case NodeKind::kFalse:
      return "false";
    case NodeKind::kNumber:
      return "num";
    case NodeKind::kString:
      return "str";
    case NodeKind::kVararg:
      return "...";
    case NodeKind::kFunction:
      return "function";
    case NodeKind::kTable:
      return "table";
    case NodeKind::kBinary:
      return "bin";
    case NodeKind::kUnary:
      return "un";
    case NodeKind::kParen:
      return "paren";
    case NodeKind::kName:
      return "name";
    case NodeKind::kIndex:
      return "index";
    case NodeKind::kField:
      return "field";
    case NodeKind::kCall:
      return "call";
    case NodeKind::kMethodCall:
      return "method";
    case NodeKind::kTableField:
      return "tfield";
    case NodeKind::kTableKey:
      return "tkey";
    case NodeKind::kNameList:
      return "names";
    case NodeKind::kExprList:
      return "exprs";
    case NodeKind::kParams:
      return "params";
    case NodeKind::kLocalName:
      return "local-name";
    case NodeKind::kFieldName:
      return "field-name";
  }
  return "?";
}

void Dump(const SyntaxTree& tree, const LexedCode& lexed, uint32_t index, std::string& out) {
  const Node& node = tree.nodes[index];
  auto text = [&]() { return std::string(lexed.Text(lexed.tokens[node.token])); };
  switch (node.kind) {
    case NodeKind::kNumber:
    case NodeKind::kString:
      out += text();
      return;
    case NodeKind::kNil:
    case NodeKind::kTrue:
    case NodeKind::kFalse:
    case NodeKind::kVararg:
    case NodeKind::kBreak:
      out += KindName(node.kind);
      return;
    case NodeKind::kFieldName:
      out += "." + text();
      return;
    case NodeKind::kLocalName:
    case NodeKind::kName:
      out += text();
      if (node.binding == Binding::kGlobal) {
        out += ":G";
      } else {
        out += node.binding == Binding::kUpvalue ? ":U" : ":L";
        out += std::to_string(node.ref);
      }
      return;
    case NodeKind::kGoto:
    case NodeKind::kLabel:
      out += "(" + std::string(KindName(node.kind)) + " " + text() + ")";
      return;
    default:
      break;
  }
  out += '(';
  out += KindName(node.kind);
  if (node.kind == NodeKind::kBinary || node.kind == NodeKind::kUnary ||
      node.kind == NodeKind::kCompoundAssign) {
    out += ' ';
    out += TokSpelling(node.op);
  }
  if (node.flags & kShortForm) out += " short";
  if (node.flags & kMethod) out += " method";
  if (node.flags & kVarargs) out += " ...";
  for (uint32_t child : tree.Children(index)) {
    out += ' ';
    Dump(tree, lexed, child, out);
  }
  out += ')';
}

}  // namespace

std::optional<SyntaxTree> ParseCode(const LexedCode& lexed, CodeError* error) {
  SyntaxTree tree;
  Parser parser(lexed, tree);
  if (!parser.Run(error)) return std::nullopt;
  if (lexed.error) {
    if (error) *error = *lexed.error;
    return std::nullopt;
  }
  return tree;
}

std::string DumpSyntax(const SyntaxTree& tree, const LexedCode& lexed) {
  std::string out;
  if (tree.root != kNoIndex) Dump(tree, lexed, tree.root, out);
  return out;
}

}  // namespace brasswick
