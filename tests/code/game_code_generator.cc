#include "code/game_code_generator.h"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>

namespace brasswick::testing {
namespace {

// The ways people write: each row is one habit set, and the seeds take them in turn.
// The token bounds leave room over what the densest seed of each style reaches.
const std::vector<GameStyle> kStyles = {
    // name        indent    comm   short  packed strfld env    goto   class  !=     tokens
    {"tidy", "  ", true, false, false, true, false, false, true, false, 46000},
    {"tabbed", "\t", true, false, false, false, true, true, true, true, 46000},
    {"terse", " ", false, true, true, true, false, true, false, true, 30000},
    {"jam", "", false, true, false, false, false, false, false, false, 35000},
    {"documented", "    ", true, false, false, true, true, true, true, false, 48000},
    {"hobby", "  ", true, true, false, true, true, false, true, true, 38000},
};

struct Theme {
  const char* title;
  const char* hero;
  const char* foes[6];
  const char* shot;
  const char* pickup;
  const char* scenery;
  const char* place;
};

const Theme kThemes[] = {
    {"void runner",
     "ship",
     {"asteroid", "drone", "saucer", "mine", "comet", "hunter"},
     "laser",
     "fuel",
     "star",
     "sector"},
    {"crypt of bones",
     "knight",
     {"slime", "bat", "skeleton", "ghost", "spider", "rat"},
     "arrow",
     "key",
     "torch",
     "floor"},
    {"harvest moon",
     "farmer",
     {"crow", "mole", "fox", "beetle", "goose", "weed"},
     "seed",
     "carrot",
     "cloud",
     "field"},
    {"deep blue",
     "diver",
     {"shark", "jelly", "crab", "eel", "puffer", "squid"},
     "harpoon",
     "pearl",
     "bubble",
     "reef"},
    {"night drive",
     "car",
     {"truck", "cone", "biker", "van", "oil", "bus"},
     "spark",
     "coin",
     "lamp",
     "mile"},
    {"green hollow",
     "ranger",
     {"wolf", "wasp", "boar", "owl", "toad", "bear"},
     "stone",
     "berry",
     "leaf",
     "glade"},
};

const char* const kAdjectives[] = {"big", "red", "fast", "dark", "tiny", "old", "mad", "ice"};
const char* const kWords[] = {
    "the",  "old",   "path",   "is",    "closed", "find",  "a",     "way",  "around", "watch",
    "out",  "for",   "them",   "i",     "lost",   "my",    "map",   "near", "here",   "thanks",
    "you",  "saved", "us",     "come",  "back",   "later", "when",  "it",   "gets",   "dark",
    "good", "luck",  "beware", "north", "gate",   "opens", "again", "soon", "hurry",  "up"};

// Names each game spells its own way: the long and the short spelling of a concept,
// with `|` between alternatives a seed chooses from. Velocities are the prefix `vpre`
// plus the axis, so code that builds their names from the axis finds them.
struct Spelling {
  const char* key;
  const char* long_names;
  const char* short_names;
};
const Spelling kSpellings[] = {
    {"vpre", "velocity_|speed_|vel_", "d|v"},
    {"w", "width|hit_width", "w"},
    {"h", "height|hit_height", "h"},
    {"spr", "sprite_index|sprite|first_sprite", "s|sp"},
    {"t", "animation_timer|timer|age", "t|tm"},
    {"hp", "hit_points|health|lives_left", "hp"},
    {"flip", "facing_left|flipped", "fl|fx"},
    {"spd", "move_speed|acceleration", "spd|a"},
    {"gr", "on_ground|standing|grounded", "gr|og"},
    {"life", "time_to_live|lifetime", "life|l"},
    {"col", "colour|color|tint", "c|col"},
    {"r", "radius|size", "r|sz"},
    {"dead", "is_dead|removed", "dead|rm"},
    {"inv", "invincible_timer|hurt_cooldown", "inv|iv"},
    {"jump", "jump_strength|jump_power", "jmp|jp"},
    {"cool", "shot_cooldown|reload_timer", "cd|rl"},
    {"tw", "twinkle_rate|flicker_speed", "tw"},
    {"z", "scroll_depth|parallax", "z|pz"},
    {"pts", "point_value|reward", "pts|pv"},
    {"home", "start_y|home_y", "y0|hy"},
    {"e", "entity|current_entity|this_entity", "e|o"},
    {"b", "bullet|projectile", "b|pr"},
    {"p", "particle|spark_entity", "p|q"},
    {"i", "index|counter", "i|j"},
    {"px", "pos_x|x_position", "px|x0"},
    {"py", "pos_y|y_position", "py|y0"},
    {"n", "amount|how_many", "n|k"},
    {"c", "colour_value|paint_colour", "c|cv"},
    {"ang", "angle|direction", "a|an"},
    {"foes", "enemies|foes|monsters", "en|fs"},
    {"shots", "bullets|projectiles", "bl|bs"},
    {"parts", "particles|effects", "pt|fx"},
    {"items", "pickups|collectibles", "pk|it"},
    {"scen", "background|backdrop", "bg|sc"},
    {"state", "game_state|mode", "gs|md"},
    {"score", "score|points", "sc|pts"},
    {"hi", "high_score|best_score", "hi|hs"},
    {"grav", "gravity|fall_acceleration", "g|gv"},
    {"fric", "friction|drag", "fr|dr"},
    {"timer", "game_over_timer|ending_timer", "ot|et"},
    {"levels", "level_data|levels", "lv|ld"},
    {"talk", "dialogue|speech", "dl|tx"},
    {"shake", "screen_shake|shake_amount", "sk|shk"},
    {"states", "state_table|states", "sts|stt"},
};

// One part of a game: functions and tables at the top, and lines for the start of a
// round, each frame's update and each frame's drawing.
struct Piece {
  std::string top, init, update, draw;
  // Entries of the level and dialogue tables, written where the tables are.
  std::string level_row, talk_line;
  size_t Size() const {
    return top.size() + init.size() + update.size() + draw.size() + level_row.size() +
           talk_line.size();
  }
};

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

class GameGenerator {
 public:
  GameGenerator(uint32_t seed, const GameStyle& style)
      : style_(style), state_(seed * 2246822519u + 0x9e3779b9u) {
    Next();
    theme_ = &kThemes[Below(std::size(kThemes))];
    for (const Spelling& spelling : kSpellings) {
      names_[spelling.key] =
          Choose(style_.short_names ? spelling.short_names : spelling.long_names);
    }
    names_["hero"] = style_.short_names ? std::string(1, theme_->hero[0]) : theme_->hero;
    names_["vx"] = names_["vpre"] + "x";
    names_["vy"] = names_["vpre"] + "y";
    names_["title"] = theme_->title;
    names_["shot"] = theme_->shot;
    names_["pickup"] = theme_->pickup;
    names_["scenery"] = theme_->scenery;
    names_["place"] = theme_->place;
    names_["update"] = Chance(50) ? "_update60" : "_update";
    slash_comments_ = Chance(30);
    topdown_ = Chance(40);
  }

  std::string Game(size_t size) {
    skeleton_ = Skeleton();
    // What the style is about comes whatever the size: the hero (under `_ENV` where the
    // style uses it), the foe loop that holds the `goto`, the classes, the string-reached
    // fields.
    std::vector<Piece> pieces = {Hero()};
    using Maker = Piece (GameGenerator::*)();
    std::vector<Maker> foes = {&GameGenerator::Helpers, &GameGenerator::Particles,
                               &GameGenerator::FoeSystem, &GameGenerator::FirstFoe};
    if (style_.gotos) {
      for (Maker make : foes) pieces.push_back((this->*make)());
      foes.clear();
    }
    if (style_.classes) pieces.push_back(Classes());
    if (style_.string_fields) pieces.push_back(StringFields());

    size_t misses = 0;
    auto offer = [&](Piece piece) {
      pieces.push_back(std::move(piece));
      if (Assemble(pieces).size() <= size) return true;
      pieces.pop_back();
      ++misses;
      return false;
    };
    offer(Constants());
    // Foes need the helpers and particles before them.
    for (Maker make : foes) {
      if (!offer((this->*make)())) break;
    }
    // The rest in an order of the seed's, each taken while it fits, then more foes,
    // levels and lines of dialogue for as long as any of them fits.
    std::vector<Maker> optional = {
        &GameGenerator::Shots,    &GameGenerator::Scenery,  &GameGenerator::Pickups,
        &GameGenerator::Menu,     &GameGenerator::Cutscene, &GameGenerator::LevelLoader,
        &GameGenerator::Dialogue, &GameGenerator::Shake,    &GameGenerator::MoreHelpers};
    for (size_t i = optional.size(); i > 1; --i) std::swap(optional[i - 1], optional[Below(i)]);
    const bool has_foes = foes.empty() || misses == 0;
    for (Maker make : optional) offer((this->*make)());
    for (int round = 1; misses < 24; ++round) {
      if (has_foes) offer(Foe(round));
      if (has_levels_) offer(LevelRow());
      if (has_dialogue_) offer(DialogueLine());
      if (style_.comments && Chance(30)) offer(CommentPiece());
      offer(Constant());
    }
    // Small pieces last, to come close to the size asked.
    for (int tries = 0; tries < 40; ++tries) {
      offer(style_.comments && Chance(50) ? CommentPiece() : Constant());
    }
    return Assemble(pieces);
  }

 private:
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  size_t Below(size_t n) { return Next() % n; }
  bool Chance(int percent) { return static_cast<int>(Below(100)) < percent; }
  std::string Choose(std::string_view alternatives) {
    std::vector<std::string_view> options;
    for (size_t start = 0;;) {
      const size_t bar = alternatives.find('|', start);
      options.push_back(alternatives.substr(start, bar - start));
      if (bar == std::string_view::npos) break;
      start = bar + 1;
    }
    return std::string(options[Below(options.size())]);
  }
  std::string Number(int low, int high) {
    return std::to_string(low + static_cast<int>(Below(high - low + 1)));
  }
  // A fraction as people write them: `0.25`, `.5`, `1.5`, now and then in hexadecimal.
  std::string Fraction() {
    static const char* const kFractions[] = {"0.25", ".5",   "0.75", "1.5", "0.1",
                                             "0.05", "0.15", "2.5",  ".2",  "0x0.8"};
    return kFractions[Below(std::size(kFractions))];
  }

  // `name` in backquotes is replaced by this game's spelling of it.
  std::string Fill(std::string_view text) const {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '`') {
        out += text[i];
        continue;
      }
      const size_t end = text.find('`', i + 1);
      out += names_.at(std::string(text.substr(i + 1, end - i - 1)));
      i = end;
    }
    return out;
  }

  // Comments take `//` in some games, for about every other one.
  std::string CommentLine(std::string_view text) {
    return (slash_comments_ && text.size() % 2 ? "// " : "-- ") + std::string(text);
  }

  // Drops the spaces around operators outside strings, as packed code does.
  static std::string Tighten(std::string_view line) {
    static const char* const kOperators[] = {" == ", " ~= ", " != ", " <= ", " >= ", " += ",
                                             " -= ", " *= ", " .. ", " = ",  " + ",  " * ",
                                             " / ",  " < ",  " > ",  ", "};
    std::string out;
    char quote = 0;
    for (size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (quote) {
        out += c;
        if (c == '\\' && i + 1 < line.size()) {
          out += line[++i];
        } else if (c == quote) {
          quote = 0;
        }
        continue;
      }
      if (c == '"' || c == '\'') quote = c;
      bool replaced = false;
      for (const char* op : kOperators) {
        const std::string_view pattern(op);
        if (line.substr(i, pattern.size()) != pattern) continue;
        std::string_view bare = pattern;
        while (!bare.empty() && bare.front() == ' ') bare.remove_prefix(1);
        while (!bare.empty() && bare.back() == ' ') bare.remove_suffix(1);
        out += bare;
        i += pattern.size() - 1;
        replaced = true;
        break;
      }
      if (!replaced) out += c;
    }
    return out;
  }

  // A statement that ends where it ends, so another may follow it on its line.
  static bool Closed(std::string_view line) {
    static const char* const kOpeners[] = {
        "if", "for",    "while", "function", "else", "elseif",        "repeat",
        "do", "return", "goto",  "::",       "?",    "local function"};
    for (const char* opener : kOpeners) {
      if (StartsWith(line, opener)) return false;
    }
    return line.find("--") == std::string_view::npos && line.find("//") == std::string_view::npos;
  }
  // A statement that takes one line and may follow another on it.
  static bool OneLine(std::string_view line) {
    if (Closed(line)) return line.front() != '(';
    const bool short_form = (StartsWith(line, "if (") || StartsWith(line, "while (")) &&
                            !line.ends_with(" then") && !line.ends_with(" do") &&
                            !line.ends_with(")then") && !line.ends_with(")do");
    return short_form || StartsWith(line, "?");
  }

  // Template text (two spaces a level, `--` lines and `  -- ` tails for comments) in
  // this game's style, `depth` levels in.
  std::string Render(std::string_view text, int depth) {
    const std::string filled = Fill(text);
    std::string out;
    bool can_join = false;
    size_t line_start = 0;
    std::string_view rest = filled;
    while (!rest.empty()) {
      const size_t newline = rest.find('\n');
      std::string_view line = rest.substr(0, newline);
      rest = newline == std::string_view::npos ? "" : rest.substr(newline + 1);
      size_t spaces = 0;
      while (spaces < line.size() && line[spaces] == ' ') ++spaces;
      line.remove_prefix(spaces);
      std::string indent;
      for (int level = depth + static_cast<int>(spaces / 2); level > 0; --level) {
        indent += style_.indent;
      }
      if (line.empty()) {
        if (!style_.packed_lines) out += '\n';
        can_join = false;
        continue;
      }
      if (StartsWith(line, "--")) {
        if (style_.comments) out += indent + CommentLine(line.substr(3)) + '\n';
        can_join = false;
        continue;
      }
      std::string statement(line.substr(0, line.find("  -- ")));
      if (style_.bang_not_equal) {
        for (size_t at; (at = statement.find("~=")) != std::string::npos;) {
          statement.replace(at, 2, "!=");
        }
      }
      if (style_.packed_lines) statement = Tighten(statement);
      if (style_.comments && statement.size() < line.size()) {
        statement += " " + CommentLine(line.substr(statement.size() + 5));
      }
      if (style_.packed_lines && can_join && OneLine(statement) &&
          out.size() - line_start + statement.size() < 90) {
        out.back() = ' ';
      } else {
        line_start = out.size();
        out += indent;
      }
      out += statement + '\n';
      can_join = Closed(statement);
    }
    return out;
  }

  std::string Block(std::string_view text) {
    if (!style_.comments) return "";
    switch (Below(3)) {
      case 0:
        return "--[[ " + std::string(text) + " ]]\n";
      case 1:
        return "--[[\n" + std::string(text) + "\n]]\n";
      default:
        return "--------------------\n-- " + std::string(text) + "\n";
    }
  }

  std::string Skeleton() {
    std::string out = Block(Fill("`title`: a game of the `place`"));
    out += Render(R"(
function _init()
  cartdata("bw_`hero`_`place`")
  `hi` = dget(0)
  `state` = "title"
end
)",
                  0);
    if (style_.string_fields) {
      out += Render(R"(
-- each state's update and draw, reached by its name
function make_states()
  return {
    title = {update = update_title, draw = draw_title},
    play = {update = update_play, draw = draw_play},
    over = {update = update_over, draw = draw_over},
  }
end

function `update`()
  `states` = `states` or make_states()
  `states`[`state`].update()
end

function _draw()
  `states`[`state`].draw()
end
)",
                    0);
    } else {
      out += Render(R"(
function `update`()
  if `state` == "title" then
    update_title()
  elseif `state` == "play" then
    update_play()
  else
    update_over()
  end
end

function _draw()
  if (`state` == "title") draw_title()
  if (`state` == "play") draw_play()
  if (`state` == "over") draw_over()
end
)",
                    0);
    }
    out += Render(R"(
function update_title()
  if (btnp(4) or btnp(5)) start_game()
end

function draw_title()
  cls(1) ?"\^w\^t`title`", 64 - #"`title`" * 4, 40, 7
  ?"press \x97 to start", 30, 80, 6
  ?"best: "..`hi`, 2, 2, 5
end

function update_over()
  `timer` += 1
  if (`timer` > 60) if (btnp(4)) `state` = "title"
end

function draw_over()
  draw_play()
  rectfill(24, 50, 103, 76, 0)
  ?"game over", 46, 56, 8
  ?"score "..`score`, 46, 66, 7
end
)",
                  0);
    return out;
  }

  std::string Assemble(const std::vector<Piece>& pieces) {
    std::string out = skeleton_;
    std::string init, update, draw, levels, lines;
    for (const Piece& piece : pieces) {
      out += piece.top;
      levels += piece.level_row;
      lines += piece.talk_line;
      init += piece.init;
      update += piece.update;
      draw += piece.draw;
    }
    if (!levels.empty()) out += Render("\n`levels` = {", 0) + levels + "}\n";
    if (!lines.empty()) out += Render("\n`talk` = {", 0) + lines + "}\n";
    out += Render("\nfunction start_game()\n  `score` = 0\n  `timer` = 0", 0) + init;
    out += Render("  `state` = \"play\"\nend\n\nfunction update_play()", 0) + update;
    out += Render("end\n\nfunction draw_play()\n  cls(0)", 0) + draw;
    out += Render("end", 0);
    return out;
  }

  Piece Constants() {
    Piece piece;
    piece.top = Render("\n-- tuning\n`grav` = " + Fraction() + "\n`fric` = 0." + Number(70, 95) +
                           "\nmax_fall = " + Number(3, 6) + "\n",
                       0);
    return piece;
  }

  Piece Constant() {
    static const char* const kConcepts[] = {"spawn_delay",  "max_enemies", "bonus_points",
                                            "combo_window", "boss_health", "music_track",
                                            "title_colour", "floor_height"};
    Piece piece;
    piece.top = Render(std::string(kConcepts[Below(std::size(kConcepts))]) + "_" + Number(1, 99) +
                           " = " + Number(0, 300) + "\n",
                       0);
    return piece;
  }

  Piece CommentPiece() {
    Piece piece;
    std::string text = "--";
    for (size_t words = 4 + Below(8); words > 0; --words) {
      text += " ";
      text += kWords[Below(std::size(kWords))];
    }
    piece.top = Render(text + "\n", 0);
    return piece;
  }

  Piece Helpers() {
    Piece piece;
    piece.top = Render(R"(
-- whether two boxes touch
function boxes_overlap(`e`, other_entity)
  return `e`.x < other_entity.x + other_entity.`w` and other_entity.x < `e`.x + `e`.`w`
     and `e`.y < other_entity.y + other_entity.`h` and other_entity.y < `e`.y + `e`.`h`
end

function solid_at(`px`, `py`)
  return fget(mget(`px` \ 8, `py` \ 8), 0)
end
)",
                       0);
    return piece;
  }

  Piece MoreHelpers() {
    static const char* const kHelpers[] = {
        R"(
function clamp(value_to_clamp, lowest_value, highest_value)
  return mid(lowest_value, value_to_clamp, highest_value)
end
)",
        R"(
function lerp(from_value, to_value, fraction_done)
  return from_value + (to_value - from_value) * fraction_done
end
)",
        R"(
-- moves a value toward a target by at most a step
function approach(current_value, target_value, step_size)
  if (current_value < target_value) return min(current_value + step_size, target_value)
  return max(current_value - step_size, target_value)
end
)",
        R"(
function print_outlined(text_to_print, `px`, `py`, text_colour, outline_colour)
  for offset_x = -1, 1 do
    for offset_y = -1, 1 do
      print(text_to_print, `px` + offset_x, `py` + offset_y, outline_colour)
    end
  end
  print(text_to_print, `px`, `py`, text_colour)
end
)",
        R"(
function random_between(lowest_value, highest_value)
  return lowest_value + flr(rnd(highest_value - lowest_value + 1))
end
)",
        R"(
-- distance without overflow: scaled down before squaring
function distance_between(first_x, first_y, second_x, second_y)
  local delta_x, delta_y = (second_x - first_x) / 16, (second_y - first_y) / 16
  return sqrt(delta_x * delta_x + delta_y * delta_y) * 16
end
)",
        R"(
function dither_rect(left_edge, top_edge, right_edge, bottom_edge, fill_colour)
  fillp(0b0101101001011010.1)
  rectfill(left_edge, top_edge, right_edge, bottom_edge, fill_colour)
  fillp()
end
)"};
    Piece piece;
    const size_t first = Below(std::size(kHelpers));
    for (size_t i = 0; i < 3; ++i) {
      piece.top += Render(kHelpers[(first + i * 2) % std::size(kHelpers)], 0);
    }
    return piece;
  }

  Piece Classes() {
    Piece piece;
    piece.top = Render(R"(
-- two-number vectors with arithmetic
vec = {}
vec.__index = vec
function vec.new(x, y)
  return setmetatable({x = x, y = y}, vec)
end
function vec.__add(a, b) return vec.new(a.x + b.x, a.y + b.y) end
function vec.__sub(a, b) return vec.new(a.x - b.x, a.y - b.y) end
function vec.__mul(a, scale) return vec.new(a.x * scale, a.y * scale) end
function vec.__eq(a, b) return a.x == b.x and a.y == b.y end
function vec:length() return sqrt(self.x * self.x + self.y * self.y) end

-- the base of every foe: new ones share their class's methods
actor = {}
function actor:new(fields)
  local instance = fields or {}
  setmetatable(instance, self)
  self.__index = self
  return instance
end
function actor:hurt(damage_amount)
  self.`hp` -= damage_amount
  if (self.`hp` <= 0) self.`dead` = true
end
)",
                       0);
    return piece;
  }

  Piece Hero() {
    Piece piece;
    const std::string table = R"({
    x = 60, y = 80, `vx` = 0, `vy` = 0,
    `w` = 7, `h` = 7, `spr` = 1, `t` = 0,
    `flip` = false, `hp` = 3, `inv` = 0,
    `spd` = )" + Fraction() +
                              ", `jump` = " + Number(2, 4) + R"(, `gr` = false, `cool` = 0,
  })";
    piece.top = Render(style_.env ? "\nfunction make_`hero`()\n  return setmetatable(" + table +
                                        ", {__index = _ENV})\nend\n"
                                  : "\nfunction make_`hero`()\n  return " + table + "\nend\n",
                       0);
    // `$` stands for the hero's table: nothing under `local _ENV = hero`.
    std::string body = topdown_ ? R"(
  if (btn(0)) $`vx` -= $`spd` $`flip` = true
  if (btn(1)) $`vx` += $`spd` $`flip` = false
  if (btn(2)) $`vy` -= $`spd`
  if (btn(3)) $`vy` += $`spd`
  $`vx` *= `fric`
  $`vy` *= `fric`
  $x = mid(0, $x + $`vx`, 120)
  $y = mid(0, $y + $`vy`, 120)
)"
                                : R"(
  if (btn(0)) $`vx` -= $`spd` $`flip` = true
  if (btn(1)) $`vx` += $`spd` $`flip` = false
  if ($`gr`) if (btnp(4)) $`vy` = -$`jump` sfx(0)
  $`vy` = min($`vy` + `grav`, max_fall)
  $`vx` *= `fric`
  -- stop at walls, land on floors
  if solid_at($x + $`vx` + 4, $y + 4) then
    $`vx` = 0
  else
    $x += $`vx`
  end
  $`gr` = solid_at($x + 4, $y + 8 + $`vy`)
  if $`gr` and $`vy` > 0 then
    $`vy` = 0
  else
    $y += $`vy`
  end
)";
    body += R"(  $`t` += 1
  if ($`inv` > 0) $`inv` -= 1
  if ($`cool` > 0) $`cool` -= 1
)";
    body = (style_.env ? "  local _ENV = `hero`" : "  local `e` = `hero`") + body;
    const std::string self = style_.env ? "" : "`e`.";
    for (size_t at; (at = body.find('$')) != std::string::npos;) body.replace(at, 1, self);
    piece.top += Render("\nfunction update_`hero`()\n" + body + "end\n", 0);
    piece.top += Render(R"(
function hurt_`hero`()
  `hero`.`hp` -= 1
  `hero`.`inv` = 60
  `shake` = 4
  if (`hero`.`hp` <= 0) `state` = "over" `timer` = 0 if (`score` > `hi`) `hi` = `score` dset(0, `hi`)
end

function draw_`hero`()
  local `e` = `hero`
  if (`e`.`inv` > 0 and `e`.`inv` % 4 < 2) return
  spr(`e`.`spr` + `e`.`t` \ 8 % 2, `e`.x, `e`.y, 1, 1, `e`.`flip`)
end
)",
                        0);
    piece.init = Render("  `hero` = make_`hero`()\n  `shake` = 0\n", 0);
    piece.update = Render("  update_`hero`()\n", 0);
    piece.draw = Render("  map(0, 0, 0, 0, 16, 16)\n  draw_`hero`()\n  ?`score`, 2, 2, 7\n", 0);
    return piece;
  }

  Piece FoeSystem() {
    Piece piece;
    std::string loop = R"(
function update_`foes`()
  for `e` in all(`foes`) do
)";
    if (style_.gotos) loop += "    if (`e`.`dead`) goto continue\n";
    if (style_.classes) {
      loop += "    `e`:update()\n";
    } else if (style_.string_fields) {
      loop += "    _ENV[\"update_\"..`e`.kind](`e`)\n";
    } else {
      loop += "    `e`.update(`e`)\n";
    }
    loop += R"(    `e`.`t` += 1
    if boxes_overlap(`e`, `hero`) and `hero`.`inv` == 0 then
      hurt_`hero`()
    end
    if `e`.`hp` <= 0 then
      del(`foes`, `e`)
      `score` += `e`.`pts`
      burst(`e`.x + 4, `e`.y + 4, 8, 9)
    end
)";
    if (style_.gotos) loop += "    ::continue::\n";
    loop += "  end\nend\n";
    piece.top = Render(loop, 0);
    piece.init = Render("  `foes` = {}\n", 0);
    piece.update = Render("  update_`foes`()\n", 0);
    piece.draw = Render(R"(  for `e` in all(`foes`) do
    spr(`e`.`spr` + `e`.`t` \ 8 % 2, `e`.x, `e`.y, 1, 1, `e`.`vx` < 0)
  end
)",
                        0);
    return piece;
  }

  // A kind of foe with one of the usual behaviours; `round` 0 is the theme's first.
  Piece Foe(int round) {
    const int themed = static_cast<int>(std::size(theme_->foes));
    std::string kind = theme_->foes[round % themed];
    if (round >= themed)
      kind = std::string(kAdjectives[Below(std::size(kAdjectives))]) + "_" + kind;
    if (!kinds_.insert(kind).second) kind += "_" + std::to_string(round);
    kinds_.insert(kind);
    static const char* const kBehaviours[] = {
        R"(  -- chase the hero
  local to_x, to_y = `hero`.x - `e`.x, `hero`.y - `e`.y
  local length = max(abs(to_x) + abs(to_y), 1)
  `e`.`vx` = to_x / length * SPEED
  `e`.`vy` = to_y / length * SPEED
  `e`.x += `e`.`vx`
  `e`.y += `e`.`vy`
)",
        R"(  -- walk until a wall, then turn
  if (solid_at(`e`.x + `e`.`vx` * 8, `e`.y)) `e`.`vx` = -`e`.`vx`
  `e`.x += `e`.`vx`
)",
        R"(  -- bob up and down on a wave
  `e`.x += `e`.`vx`
  `e`.y = `e`.`home` + sin(`e`.`t` / PERIOD) * RANGE
  if (`e`.x < -8) `e`.x = 128
  if (`e`.x > 128) `e`.x = -8
)",
        R"(  -- hop now and then
  `e`.`vy` += `grav`
  if solid_at(`e`.x + 4, `e`.y + 8) and `e`.`vy` > 0 then
    `e`.`vy` = 0
    if (rnd() < 0.05) `e`.`vy` = -SPEED * 3
  end
  `e`.y += `e`.`vy`
)",
        R"(  -- keep away and shoot
  `e`.`cool` = (`e`.`cool` or PERIOD) - 1
  if `e`.`cool` <= 0 then
    local aim = atan2(`hero`.x - `e`.x, `hero`.y - `e`.y)
    fire(`e`.x + 4, `e`.y + 4, aim, SPEED + 1, false)
    `e`.`cool` = PERIOD
  end
)"};
    size_t pick = Below(std::size(kBehaviours));
    if (pick == std::size(kBehaviours) - 1 && !has_shots_) pick = 0;  // shooting needs `fire`
    std::string behaviour = kBehaviours[pick];
    auto set = [&](std::string_view word, const std::string& value) {
      for (size_t at; (at = behaviour.find(word)) != std::string::npos;) {
        behaviour.replace(at, word.size(), value);
      }
    };
    set("SPEED", Fraction());
    set("PERIOD", Number(20, 90));
    set("RANGE", Number(4, 24));
    const std::string fields = "x = `px`, y = `py`, `home` = `py`, `vx` = " + Fraction() +
                               ", `vy` = 0,\n    `w` = 8, `h` = 8, `hp` = " + Number(1, 5) +
                               ", `spr` = " + Number(16, 63) +
                               ", `t` = rnd(30), `pts` = " + Number(1, 20) + "0";
    Piece piece;
    if (style_.classes) {
      std::string self_behaviour = behaviour;
      for (size_t at; (at = self_behaviour.find("`e`")) != std::string::npos;) {
        self_behaviour.replace(at, 3, "self");
      }
      piece.top = Render("\n" + kind + " = actor:new({kind = \"" + kind + "\"})\nfunction " + kind +
                             ":update()\n" + self_behaviour + "end\nfunction spawn_" + kind +
                             "(`px`, `py`)\n  add(`foes`, " + kind + ":new({\n    " + fields +
                             ",\n  }))\nend\n",
                         0);
    } else {
      const std::string update_field = style_.string_fields ? "" : ",\n    update = update_" + kind;
      piece.top =
          Render("\nfunction update_" + kind + "(`e`)\n" + behaviour + "end\n\nfunction spawn_" +
                     kind + "(`px`, `py`)\n  add(`foes`, {\n" + "    kind = \"" + kind + "\", " +
                     fields + update_field + ",\n  })\nend\n",
                 0);
    }
    if (style_.string_fields && round % 2 == 1) {
      // Placed by name from a list in a string, as level scripts do.
      piece.init =
          Render("  for entry in all(split(\"" + kind + "," + Number(8, 112) + "," + Number(8, 64) +
                     "|" + kind + "," + Number(8, 112) + "," + Number(8, 64) +
                     "\", \"|\")) do\n    local parts = split(entry)\n"
                     "    _ENV[\"spawn_\"..parts[1]](parts[2], parts[3])\n  end\n",
                 0);
    } else {
      piece.init =
          Render("  spawn_" + kind + "(" + Number(8, 112) + ", " + Number(8, 64) + ")\n", 0);
    }
    return piece;
  }

  Piece Particles() {
    Piece piece;
    const std::string spawn = R"({
      x = `px`, y = `py`, `vx` = cos(`ang`) * rnd(2), `vy` = sin(`ang`) * rnd(2),
      `life` = 10 + rnd(20), `col` = `c`, `r` = rnd(2),
    })";
    piece.top = Render(R"(
-- a ring of sparks
function burst(`px`, `py`, `n`, `c`)
  for `i` = 1, `n` do
    local `ang` = rnd()
    add(`parts`, )" + (style_.env ? "setmetatable(" + spawn + ", {__index = _ENV})" : spawn) +
                           ")\n  end\nend\n",
                       0);
    if (style_.env) {
      piece.top += Render(R"(
function update_particle(_ENV)
  x += `vx`
  y += `vy`
  `vy` += 0x0.1
  `life` -= 1
  return `life` < 0
end

function draw_particle(_ENV)
  circfill(x, y, `r`, `col`)
end
)",
                          0);
      piece.update = Render(R"(  for `p` in all(`parts`) do
    if (update_particle(`p`)) del(`parts`, `p`)
  end
)",
                            0);
      piece.draw = Render("  foreach(`parts`, draw_particle)\n", 0);
    } else {
      piece.update = Render(R"(  for `p` in all(`parts`) do
    `p`.x += `p`.`vx`
    `p`.y += `p`.`vy`
    `p`.`vy` += 0x0.1  -- a little gravity
    `p`.`life` -= 1
    if (`p`.`life` < 0) del(`parts`, `p`)
  end
)",
                            0);
      piece.draw = Render(R"(  for `p` in all(`parts`) do
    circfill(`p`.x, `p`.y, `p`.`r`, `p`.`col`)
  end
)",
                          0);
    }
    piece.init = Render("  `parts` = {}\n", 0);
    return piece;
  }

  Piece StringFields() {
    Piece piece;
    piece.top = Render(R"(
-- what a checkpoint keeps of the hero
saved_fields = "x,y,`hp`,`spr`,`flip`"

function snapshot(`e`)
  local copy = {}
  for field_name in all(split(saved_fields)) do
    copy[field_name] = `e`[field_name]
  end
  return copy
end

-- moves along both axes with one loop
function move_axes(`e`)
  for axis in all({"x", "y"}) do
    `e`[axis] += `e`["`vpre`"..axis]
  end
end

frame_of = {spr_idle = 1, spr_walk = 2, spr_hurt = 5}
function pose_of(`e`)
  if (`e`.`inv` > 0) return "hurt"
  return abs(`e`.`vx`) > 0.1 and "walk" or "idle"
end
)",
                       0);
    piece.init = Render("  checkpoint = snapshot(`hero`)\n", 0);
    piece.update = Render(R"(  `hero`.`spr` = frame_of["spr_"..pose_of(`hero`)]
  if (btnp(5) and `hero`.`hp` == 1) for k, v in pairs(checkpoint) do `hero`[k] = v end
)",
                          0);
    return piece;
  }

  Piece Shots() {
    has_shots_ = true;
    Piece piece;
    piece.top = Render(R"(
function fire(`px`, `py`, `ang`, speed_value, from_hero)
  add(`shots`, {
    x = `px`, y = `py`, `w` = 2, `h` = 2,
    `vx` = cos(`ang`) * speed_value, `vy` = sin(`ang`) * speed_value,
    `life` = 60, friendly = from_hero,
  })
end

-- `shot`s fly until they hit something or time out
function update_`shots`()
  for `b` in all(`shots`) do
    `b`.x += `b`.`vx`
    `b`.y += `b`.`vy`
    `b`.`life` -= 1
    if `b`.`life` <= 0 or `b`.x < -8 or `b`.x > 136 then
      del(`shots`, `b`)
    elseif `b`.friendly then
      for `e` in all(`foes`) do
        if boxes_overlap(`b`, `e`) then
          `e`.`hp` -= 1
          del(`shots`, `b`)
          break
        end
      end
    elseif boxes_overlap(`b`, `hero`) and `hero`.`inv` == 0 then
      hurt_`hero`()
      del(`shots`, `b`)
    end
  end
end
)",
                       0);
    piece.init = Render("  `shots` = {}\n", 0);
    piece.update = Render(R"(  update_`shots`()
  if btn(5) and `hero`.`cool` == 0 then
    fire(`hero`.x + 4, `hero`.y + 4, `hero`.`flip` and 0.5 or 0, 3, true)
    `hero`.`cool` = )" + Number(6, 15) +
                              "\n  end\n",
                          0);
    piece.draw = Render(R"(  for `b` in all(`shots`) do
    rectfill(`b`.x, `b`.y, `b`.x + 1, `b`.y + 1, `b`.friendly and 11 or 8)
  end
)",
                        0);
    return piece;
  }

  Piece Scenery() {
    Piece piece;
    piece.top = Render(R"(
function make_`scen`()
  local list = {}
  for `i` = 1, )" + Number(16, 48) +
                           R"( do
    add(list, {x = rnd(128), y = rnd(128), `z` = 0.2 + rnd(), `tw` = rnd(0.05), `col` = rnd({1, 5, 6, 13})})
  end
  return list
end
)",
                       0);
    piece.init = Render("  `scen` = make_`scen`()\n", 0);
    piece.update = Render(R"(  for `scenery` in all(`scen`) do
    `scenery`.y += `scenery`.`z`
    if (`scenery`.y > 128) `scenery`.y -= 128 `scenery`.x = rnd(128)
  end
)",
                          0);
    piece.draw = Render(style_.string_fields ? R"(  for `scenery` in all(`scen`) do
    if (sin(t() * `scenery`["`tw`"]) > -0.5) pset(`scenery`.x, `scenery`.y, `scenery`.`col`)
  end
)"
                                             : R"(  for `scenery` in all(`scen`) do
    pset(`scenery`.x, `scenery`.y, `scenery`.`col`)
  end
)",
                        0);
    return piece;
  }

  Piece Pickups() {
    Piece piece;
    piece.top = Render(R"(
-- `pickup`s bob in place until taken
function place_`pickup`(`px`, `py`, value)
  add(`items`, {x = `px`, y = `py`, `w` = 6, `h` = 6, `pts` = value or )" +
                           Number(1, 9) + R"(0, `t` = rnd()})
end
)",
                       0);
    piece.init = Render("  `items` = {}\n  for `i` = 1, " + Number(3, 8) +
                            " do place_`pickup`(rnd(112) + 8, rnd(64) + 8) end\n",
                        0);
    piece.update = Render(R"(  for item in all(`items`) do
    item.`t` += 0.02
    if boxes_overlap(item, `hero`) then
      `score` += item.`pts`
      sfx(2)
      del(`items`, item)
    end
  end
)",
                          0);
    piece.draw = Render("  for item in all(`items`) do spr(" + Number(2, 15) +
                            ", item.x, item.y + sin(item.`t`) * 2) end\n",
                        0);
    return piece;
  }

  Piece Menu() {
    Piece piece;
    piece.top = Render(R"(
-- the pause menu's entries remember their own number
function make_menu()
  local labels = split("resume,music,sound,restart")
  pause_entries = {}
  for `i` = 1, #labels do
    add(pause_entries, {label = labels[`i`], pick = function() chosen_entry = `i` sfx(1) end})
  end
  menuitem(1, "restart", function() start_game() end)
end
)",
                       0);
    piece.init = Render("  make_menu()\n", 0);
    return piece;
  }

  Piece Cutscene() {
    Piece piece;
    piece.top = Render(R"(
function wait_frames(frame_count)
  for `i` = 1, frame_count do yield() end
end

-- the intro runs as a coroutine, one step a frame
function intro_script()
  `shake` = 2
  wait_frames()" + Number(15, 45) +
                           R"()
  `hero`.`vx` = 1
  wait_frames(20)
  `hero`.`vx` = 0
end
)",
                       0);
    piece.init = Render("  intro = cocreate(intro_script)\n", 0);
    piece.update = Render("  if (intro and costatus(intro) ~= \"dead\") coresume(intro)\n", 0);
    return piece;
  }

  Piece Shake() {
    Piece piece;
    piece.update = Render("  `shake` = max(`shake` - 0.5, 0)\n", 0);
    piece.draw = Render(R"(  if `shake` > 0 then
    camera(rnd(`shake`) - `shake` / 2, rnd(`shake`) - `shake` / 2)
  elseif %0x5f28 ~= 0 then  -- the camera still sits off the origin
    camera()
  end
  if (@0x5f80 == 1) ?"debug", 100, 2, 8
)",
                        0);
    return piece;
  }

  Piece LevelLoader() {
    has_levels_ = true;
    Piece piece;
    piece.top = Render(R"(
-- a level is its tiles as hexadecimal digits, sixteen to a row
function load_level(level_number)
  local tiles = `levels`[level_number] or ""
  for `i` = 1, #tiles do
    local tile = tonum("0x"..sub(tiles, `i`, `i`))
    mset((`i` - 1) % 16, (`i` - 1) \ 16, tile)
  end
end
)",
                       0);
    piece.init = Render("  load_level(1)\n", 0);
    return piece;
  }

  Piece LevelRow() {
    static const char kDigits[] = "0000000011123456789abcdef";
    std::string row = "  \"";
    for (size_t i = 16 * (2 + Below(6)); i > 0; --i) row += kDigits[Below(sizeof kDigits - 1)];
    Piece piece;
    piece.level_row = Render(row + "\",\n", 0);
    return piece;
  }

  Piece Dialogue() {
    has_dialogue_ = true;
    Piece piece;
    piece.top = Render(R"(
function draw_`talk`(line_number)
  local line = `talk`[line_number]
  if (not line) return
  rectfill(4, 100, 123, 123, 0)
  rect(4, 100, 123, 123, 7)
  ?line, 8, 104, 7
end
)",
                       0);
    piece.init = Render("  `talk`_shown = 1\n", 0);
    piece.draw = Render("  draw_`talk`(`talk`_shown)\n", 0);
    return piece;
  }

  Piece DialogueLine() {
    std::string text;
    for (size_t words = 3 + Below(6); words > 0; --words) {
      if (!text.empty()) text += ' ';
      text += kWords[Below(std::size(kWords))];
    }
    Piece piece;
    piece.talk_line = Render("  \"" + text + (Chance(30) ? "!\\n" : "") + "\",\n", 0);
    return piece;
  }

  Piece FirstFoe() { return Foe(0); }

  const GameStyle& style_;
  std::string skeleton_;
  uint32_t state_;
  const Theme* theme_ = nullptr;
  std::map<std::string, std::string> names_;
  std::set<std::string> kinds_;
  bool slash_comments_ = false;
  bool topdown_ = false;
  bool has_levels_ = false;
  bool has_dialogue_ = false;
  bool has_shots_ = false;
};

}  // namespace

const std::vector<GameStyle>& GameStyles() { return kStyles; }

const GameStyle& GameStyleOf(uint32_t seed) { return kStyles[seed % kStyles.size()]; }

std::string GenerateGameCode(uint32_t seed, size_t size) {
  return GameGenerator(seed, GameStyleOf(seed)).Game(size);
}

std::vector<std::pair<std::string, std::string>> TrapSnippets() {
  return {
      {"field by string literal", R"(star = {x = 10, y = 20, twinkle_rate = 0.05}
function _draw()
  cls()
  if (sin(t() * star["twinkle_rate"]) > 0) pset(star.x, star.y, 7)
end
)"},
      {"fields named in a split list", R"(player = {x = 60, y = 60, health = 3, sprite = 1}
function save_state(object)
  local copy = {}
  for field_name in all(split("x,y,health")) do copy[field_name] = object[field_name] end
  return copy
end
saved = save_state(player)
?saved.health
)"},
      {"axis pair and built field", R"(ball = {x = 64, y = 64, speed_x = 1, speed_y = -1}
function _update()
  for axis in all({"x", "y"}) do
    ball[axis] += ball["speed_"..axis]
    if (ball[axis] < 0 or ball[axis] > 127) ball["speed_"..axis] *= -1
  end
end
)"},
      {"field built by concatenation", R"(frames = {spr_idle = 1, spr_run = 3, spr_jump = 5}
hero_pose = "run"
function _draw()
  spr(frames["spr_"..hero_pose], 60, 60)
end
)"},
      {"global reached through _ENV", R"(function title_update() if (btnp(4)) mode = "play" end
function play_update() score += 1 end
mode, score = "title", 0
function _update() _ENV[mode.."_update"]() end
)"},
      {"local _ENV", R"(enemy = setmetatable({x = 8, y = 8, speed = 2}, {__index = _ENV})
function move_enemy()
  local _ENV = enemy
  x += speed
  if (x > 120) x = 8
end
)"},
      {"_ENV parameter", R"(function draw_bubble(_ENV)
  circ(x, y, radius, colour)
end
bubbles = {setmetatable({x = 30, y = 40, radius = 4, colour = 12}, {__index = _ENV})}
function _draw() cls() foreach(bubbles, draw_bubble) end
)"},
      {"self in methods", R"(counter = {count = 0}
function counter:bump(step_size)
  self.count += step_size
  return self
end
counter:bump(2):bump(3)
?counter.count
)"},
      {"metatable keys", R"(vec = {}
vec.__index = vec
vec.__add = function(a, b) return setmetatable({x = a.x + b.x, y = a.y + b.y}, vec) end
vec.__eq = function(a, b) return a.x == b.x and a.y == b.y end
function vec:len() return abs(self.x) + abs(self.y) end
local sum = setmetatable({x = 1, y = 2}, vec) + setmetatable({x = 3, y = 4}, vec)
?sum:len()
)"},
      {"n from pack", R"(function count_args(...)
  local args = pack(...)
  return args.n
end
?count_args(1, nil, 3)
)"},
      {"local shadowing a global", R"(score = 10
function add_bonus(score)
  local bonus = score * 2
  return bonus
end
do
  local score = add_bonus(score)
  ?score
end
?score
)"},
      {"console function redefined", R"(_print = print
function print(text, x, y, colour)
  _print(text, x + 1, y + 1, 0)
  _print(text, x, y, colour)
end
function _draw()
  cls()
  print("shadowed", 10, 10, 7)
  ?"through the new print too", 10, 20, 8
end
)"},
      {"goto continue", R"(items = {1, 2, 3, 4}
total = 0
for value in all(items) do
  if (value % 2 == 0) goto continue
  total += value
  ::continue::
end
?total
)"},
      {"closures over loop variables", R"(buttons = {}
for index = 1, 3 do
  add(buttons, function() return index * 10 end)
end
?buttons[2]()
)"},
      {"nested short ifs", R"(x, y = 0, 0
function _update()
  if (btn(0)) if (x > 0) x -= 1 else x = 127
  if (btn(1)) x += 1 if (x > 127) x = 0
  while (y < 10) y += 1
end
)"},
      {"print after code", R"(score = 0
function _draw()
  cls(1) ?"score: "..score, 2, 2, 7
  rectfill(0, 120, 127, 127, 5) ?"\^w\^tbig", 40, 60, 8
end
)"},
      {"numbers, peeks and escapes", R"(poke(0x5f2d, 1)
mouse_on = @0x5f2d == 1
camera_x = %0x5f28
fillp(0b0101101001011010.1)
rectfill(0, 0, 127, 127, 0x1c)
fillp()
step = 0x0.8 + .5 + 1.25
?"\x97 to jump\n\65\t\"ok\"", 2, 2, 7
)"},
  };
}

}  // namespace brasswick::testing
