// Regular-expression engine: parsing a pattern into a tree.
#include "search/regexp/regexp_syntax.h"

#include "foundation/chartables.h"
#include "platform/codepage.h"
#include "search/regexp/regexp.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <map>

namespace regexp {

int ByteSet::Count() const
{
  return std::popcount(bits[0]) + std::popcount(bits[1]) + std::popcount(bits[2]) +
         std::popcount(bits[3]);
}

bool AssertionHolds(Assertion a, uint8_t left, uint8_t right)
{
  const bool leftEdge = left & cxEdge;
  const bool rightEdge = right & cxEdge;
  const bool leftWord = left & cxWord;
  const bool rightWord = right & cxWord;
  switch (a) {
  case Assertion::LineStart: return leftEdge || (left & cxNewline);
  case Assertion::LineEnd: return rightEdge || (right & cxNewline);
  case Assertion::TextStart: return leftEdge;
  case Assertion::TextEnd: return rightEdge;
  case Assertion::WordBoundary: return leftEdge || rightEdge || leftWord != rightWord;
  case Assertion::NotWordBoundary: return !leftEdge && !rightEdge && leftWord == rightWord;
  case Assertion::WordStart: return rightWord && !leftWord;
  case Assertion::WordEnd: return leftWord && !rightWord;
  }
  throw ERegExp(RegExpInternalError);
}

namespace {

enum ErrorCode {
  reECTYPE = 4, reEESCAPE = 5, reESUBREG = 6, reEBRACK = 7, reEPAREN = 8, reERANGE = 11,
  reESIZE = 15,
};

[[noreturn]] void Fail(int code)
{
  throw ERegExp(RegExpErrorTexts[code]);
}

// Sizes of the compact program, for the size limit.
constexpr size_t SizeLiteralRun = 2;  // a run of up to 255 literal characters
constexpr size_t SizeSimple = 1;      // one literal character, '.', \w, an anchor
constexpr size_t SizeGroup = 6;
constexpr size_t SizeAlternative = 6;
constexpr size_t SizeRepeat = 6;
constexpr size_t SizeInterval = 20;
constexpr size_t SizeBackRef = 2;
constexpr size_t SizeList = 2;  // plus the bitmap up to its highest member

struct ClassName {
  const char* name;
  bool (*has)(uint8_t flags, int ch);
  bool letters = false;  // admits every double-byte character (a letter)
};

const ClassName ClassNames[] = {
  {"alnum", [](uint8_t f, int) { return (f & (ctDigit | ctUpper | ctLower)) != 0; }, true},
  {"alpha", [](uint8_t f, int) { return (f & (ctUpper | ctLower)) != 0; }, true},
  {"blank", [](uint8_t, int ch) { return ch == 32 || ch == 9; }},
  {"cntrl", [](uint8_t f, int) { return (f & ctControl) != 0; }},
  {"digit", [](uint8_t f, int) { return (f & ctDigit) != 0; }},
  {"graph",
   [](uint8_t f, int) { return (f & (ctDigit | ctUpper | ctLower | ctHexDigit | ctPunct)) != 0; },
   true},
  // With a translate table in use, "lower" and "upper" admit every letter.
  {"lower", [](uint8_t f, int) { return (f & (ctUpper | ctLower)) != 0; }, true},
  {"print",
   [](uint8_t f, int ch) {
     return (f & (ctDigit | ctUpper | ctLower | ctHexDigit | ctPunct)) != 0 || ch == 32 || ch == 9;
   },
   true},
  {"punct", [](uint8_t f, int) { return (f & ctPunct) != 0; }},
  {"space", [](uint8_t f, int) { return (f & ctSpace) != 0; }},
  {"upper", [](uint8_t f, int) { return (f & (ctUpper | ctLower)) != 0; }, true},
  {"xdigit", [](uint8_t f, int) { return (f & ctHexDigit) != 0; }},
};

// On a double-byte page: per lead byte, the trail bytes of the characters a
// list admits.
using Trails = std::array<ByteSet, 256>;

class Parser {
public:
  Parser(std::string_view pattern, const Tables& tables) : pat_(pattern), t_(tables)
  {
    if (t_.page)
      for (int b = 0; b < 256; ++b)
        if (t_.page->lead[b])
          leads_.Add(static_cast<uint8_t>(b));
  }

  Tree Run()
  {
    frames_.push_back(Frame{});
    while (pos_ < pat_.size()) {
      const char c = pat_[pos_];
      if (Lead(c)) {
        CharLiteral();
        continue;
      }
      switch (c) {
      case '(': OpenGroup(); break;
      case ')':
        if (frames_.size() > 1)
          CloseGroup();
        else
          Literal(c);
        break;
      case '|': Alternative(); break;
      case '*': ++pos_; Repeat(0, Unbounded, SizeRepeat); break;
      case '+': ++pos_; Repeat(1, Unbounded, SizeRepeat); break;
      case '?': ++pos_; Repeat(0, 1, SizeRepeat); break;
      case '{': Interval(); break;
      case '^': ++pos_; AddAssertion(Assertion::LineStart); break;
      case '$': ++pos_; AddAssertion(Assertion::LineEnd); break;
      case '.': ++pos_; AddAtom(ClassAtom(AnyButNul(), true), SizeSimple); break;
      case '[': List(); break;
      case '\\': Escape(); break;
      default: Literal(c); break;
      }
    }
    if (frames_.size() > 1)
      Fail(reEPAREN);
    tree_.root = FinishAlternatives(frames_.back());
    Grow(SizeSimple);  // the final success
    tree_.compiledSize = size_;
    return std::move(tree_);
  }

private:
  struct Frame {
    std::vector<int32_t> branches;  // finished alternatives
    std::vector<int32_t> items;     // the current alternative
    int32_t lastAtom = -1;          // index in items of the last atom, -1 when none
    int32_t group = 0;              // number of the group this frame is, 0 at top level
    int32_t literalRun = 0;         // length of the current run of literals
  };

  void Grow(size_t n)
  {
    size_ += n;
    if (size_ > MaxCompiledSize)
      Fail(reESIZE);
  }

  int32_t NewNode(Node node)
  {
    tree_.nodes.push_back(std::move(node));
    return static_cast<int32_t>(tree_.nodes.size() - 1);
  }

  int32_t MakeSet(const ByteSet& set)
  {
    const std::array<uint64_t, 4> key{set.bits[0], set.bits[1], set.bits[2], set.bits[3]};
    auto it = setIndex_.find(key);
    int32_t index;
    if (it != setIndex_.end()) {
      index = it->second;
    } else {
      index = static_cast<int32_t>(tree_.sets.size());
      tree_.sets.push_back(set);
      setIndex_.emplace(key, index);
    }
    Node n;
    n.kind = NodeKind::Set;
    n.set = index;
    return NewNode(std::move(n));
  }

  uint8_t T(uint8_t c) const { return t_.translate[c]; }

  bool Lead(char c) const { return leads_.Has(static_cast<uint8_t>(c)); }

  // The character at pat_[i], and where the next one begins: a byte, or on a
  // double-byte page a lead byte and the byte after it as lead * 256 + trail.
  int CharAt(size_t i, size_t& next) const
  {
    const auto b = static_cast<uint8_t>(pat_[i]);
    if (Lead(static_cast<char>(b)) && i + 1 < pat_.size()) {
      next = i + 2;
      return b * 256 + static_cast<uint8_t>(pat_[i + 1]);
    }
    next = i + 1;
    return b;
  }

  // The bytes of a set that stand for single-byte characters: on a
  // double-byte page a lead byte never does.
  ByteSet Singles(ByteSet s) const
  {
    for (int w = 0; w < 4; ++w)
      s.bits[w] &= ~leads_.bits[w];
    return s;
  }

  // Single-byte characters and double-byte ones (lead byte, then one of its
  // trail bytes) as one atom: the alternatives of the singles and of the
  // lead bytes grouped by their trail bytes. Trail bytes are never
  // translated.
  int32_t CharSetNode(const ByteSet& singles, const Trails& trails)
  {
    std::map<std::array<uint64_t, 4>, ByteSet> leadsByTrails;
    for (int b = 0; b < 256; ++b) {
      const ByteSet& t = trails[b];
      if (leads_.Has(static_cast<uint8_t>(b)) && t.Count() > 0)
        leadsByTrails[{t.bits[0], t.bits[1], t.bits[2], t.bits[3]}].Add(static_cast<uint8_t>(b));
    }
    std::vector<int32_t> kids;
    if (singles.Count() > 0 || leadsByTrails.empty())
      kids.push_back(MakeSet(singles));
    for (const auto& [key, leads] : leadsByTrails) {
      Node pair;
      pair.kind = NodeKind::Concat;
      pair.kids.push_back(MakeSet(leads));
      pair.kids.push_back(MakeSet(ByteSet{{key[0], key[1], key[2], key[3]}}));
      kids.push_back(NewNode(std::move(pair)));
    }
    if (kids.size() == 1)
      return kids[0];
    Node alt;
    alt.kind = NodeKind::Alt;
    alt.kids = std::move(kids);
    return NewNode(std::move(alt));
  }

  // A set of single bytes; on a double-byte page its single-byte characters,
  // and with `letters` every double-byte character too.
  int32_t ClassAtom(const ByteSet& set, bool letters)
  {
    if (!t_.page)
      return MakeSet(set);
    Trails trails{};
    if (letters)
      for (ByteSet& t : trails)
        t = ByteSet{{~uint64_t(0), ~uint64_t(0), ~uint64_t(0), ~uint64_t(0)}};
    return CharSetNode(Singles(set), trails);
  }

  // A double-byte character of the pattern: its two bytes as they are. A
  // lead byte that ends the pattern stands alone, as it does only at the
  // end of a text.
  void CharLiteral()
  {
    ByteSet lead;
    lead.Add(static_cast<uint8_t>(pat_[pos_]));
    Node n;
    n.kind = NodeKind::Concat;
    n.kids.push_back(MakeSet(lead));
    if (pos_ + 1 < pat_.size()) {
      ByteSet trail;
      trail.Add(static_cast<uint8_t>(pat_[pos_ + 1]));
      n.kids.push_back(MakeSet(trail));
      pos_ += 2;
    } else {
      Node end;
      end.kind = NodeKind::Assert;
      end.assertion = Assertion::TextEnd;
      n.kids.push_back(NewNode(std::move(end)));
      ++pos_;
    }
    AddAtom(NewNode(std::move(n)), 2 * SizeSimple);
  }

  // The raw bytes whose translation is in `members` (translated values).
  ByteSet Preimage(const ByteSet& members, bool negate) const
  {
    ByteSet s;
    for (int b = 0; b < 256; ++b)
      if (members.Has(T(static_cast<uint8_t>(b))) != negate)
        s.Add(static_cast<uint8_t>(b));
    return s;
  }

  ByteSet AnyButNul() const
  {
    ByteSet s;
    for (int b = 0; b < 256; ++b)
      if (T(static_cast<uint8_t>(b)) != 0)
        s.Add(static_cast<uint8_t>(b));
    return s;
  }

  ByteSet SyntaxSet(uint8_t bit, bool negate) const
  {
    ByteSet s;
    for (int b = 0; b < 256; ++b)
      if (((t_.syntax[b] & bit) != 0) != negate)
        s.Add(static_cast<uint8_t>(b));
    return s;
  }

  void AddAtom(int32_t node, size_t size)
  {
    Frame& f = frames_.back();
    Grow(size);
    f.items.push_back(node);
    f.lastAtom = static_cast<int32_t>(f.items.size() - 1);
    f.literalRun = 0;
  }

  void Literal(char c)
  {
    ++pos_;
    ByteSet members;
    members.Add(T(static_cast<uint8_t>(c)));
    Frame& f = frames_.back();
    const bool continuesRun = f.literalRun > 0 && f.literalRun < 255 && f.lastAtom >= 0 &&
                              f.lastAtom == static_cast<int32_t>(f.items.size() - 1);
    const int32_t run = continuesRun ? f.literalRun : 0;
    AddAtom(MakeSet(Singles(Preimage(members, false))),
            SizeSimple + (continuesRun ? 0 : SizeLiteralRun));
    frames_.back().literalRun = run + 1;
  }

  // A zero-width operator: not an atom, so a repetition after it still
  // applies from the last atom on.
  void AddAssertion(Assertion a)
  {
    Grow(SizeSimple);
    Node n;
    n.kind = NodeKind::Assert;
    n.assertion = a;
    Frame& f = frames_.back();
    f.items.push_back(NewNode(std::move(n)));
    f.literalRun = 0;
  }

  int32_t FinishSequence(Frame& f)
  {
    if (f.items.empty())
      return NewNode(Node{});
    if (f.items.size() == 1)
      return f.items[0];
    Node n;
    n.kind = NodeKind::Concat;
    n.kids = std::move(f.items);
    f.items.clear();
    return NewNode(std::move(n));
  }

  int32_t FinishAlternatives(Frame& f)
  {
    const int32_t last = FinishSequence(f);
    if (f.branches.empty())
      return last;
    Node n;
    n.kind = NodeKind::Alt;
    n.kids = std::move(f.branches);
    n.kids.push_back(last);
    return NewNode(std::move(n));
  }

  void OpenGroup()
  {
    ++pos_;
    Grow(SizeGroup);
    Frame f;
    f.group = ++tree_.groupCount;
    frames_.back().literalRun = 0;
    frames_.push_back(std::move(f));
  }

  void CloseGroup()
  {
    ++pos_;
    Frame f = std::move(frames_.back());
    frames_.pop_back();
    Node n;
    n.kind = NodeKind::Group;
    n.group = f.group;
    n.kids.push_back(FinishAlternatives(f));
    const int32_t node = NewNode(std::move(n));
    Frame& outer = frames_.back();
    outer.items.push_back(node);
    outer.lastAtom = static_cast<int32_t>(outer.items.size() - 1);
    outer.literalRun = 0;
  }

  void Alternative()
  {
    ++pos_;
    Grow(SizeAlternative);
    Frame& f = frames_.back();
    const int32_t seq = FinishSequence(f);
    f.branches.push_back(seq);
    f.items.clear();
    f.lastAtom = -1;
    f.literalRun = 0;
  }

  static bool IsSimpleRepeat(int32_t min, int32_t max)
  {
    return (min == 0 || min == 1) && (max == 1 || max == Unbounded) && !(min == 1 && max == 1);
  }

  // Applies a repetition to everything from the last atom on; ignored when
  // there is no atom before it in this alternative.
  void Repeat(int32_t min, int32_t max, size_t size)
  {
    Frame& f = frames_.back();
    if (f.lastAtom < 0)
      return;
    f.literalRun = 0;
    int32_t body;
    if (f.items.size() - static_cast<size_t>(f.lastAtom) == 1) {
      body = f.items[f.lastAtom];
    } else {
      Node c;
      c.kind = NodeKind::Concat;
      c.kids.assign(f.items.begin() + f.lastAtom, f.items.end());
      body = NewNode(std::move(c));
    }
    Node& inner = tree_.nodes[body];
    if (inner.kind == NodeKind::Repeat && IsSimpleRepeat(inner.min, inner.max) &&
        IsSimpleRepeat(min, max)) {
      // x** x+? x?+ ...: one repetition of the same language.
      // Consecutive operators like these collapse into one and cost nothing.
      inner.min = (inner.min == 0 || min == 0) ? 0 : 1;
      inner.max = (inner.max == Unbounded || max == Unbounded) ? Unbounded : 1;
    } else {
      Grow(size);
      Node r;
      r.kind = NodeKind::Repeat;
      r.min = min;
      r.max = max;
      r.kids.push_back(body);
      body = NewNode(std::move(r));
    }
    f.items.resize(f.lastAtom);
    f.items.push_back(body);
  }

  // Reads decimal ASCII digits; a value past MaxRepeat saturates.
  int32_t Digits(size_t& i) const
  {
    int32_t v = -1;
    while (i < pat_.size() && pat_[i] >= '0' && pat_[i] <= '9') {
      const int32_t d = pat_[i] - '0';
      v = v < 0 ? d : std::min<int32_t>(v * 10 + d, MaxRepeat + 1);
      ++i;
    }
    return v;
  }

  void Interval()
  {
    size_t i = pos_ + 1;
    const int32_t lower = Digits(i);
    int32_t upper = lower;
    if (i < pat_.size() && pat_[i] == ',') {
      ++i;
      upper = Digits(i);
      if (upper < 0)
        upper = Unbounded;
    }
    const bool valid = lower >= 0 && lower <= MaxRepeat && upper <= MaxRepeat &&
                       (upper == Unbounded || lower <= upper) && i < pat_.size() && pat_[i] == '}';
    if (!valid) {
      Literal('{');  // and read what follows again as pattern text
      return;
    }
    pos_ = i + 1;
    Repeat(lower, upper, SizeInterval);
  }

  void Escape()
  {
    ++pos_;
    if (pos_ == pat_.size())
      Fail(reEESCAPE);
    const char c = pat_[pos_];
    if (Lead(c)) {
      CharLiteral();  // an escaped double-byte character is itself
      return;
    }
    // A double-byte character is a letter: a word character, neither a
    // space nor a digit.
    switch (c) {
    case 'w': ++pos_; AddAtom(ClassAtom(SyntaxSet(sySword, false), true), SizeSimple); return;
    case 'W': ++pos_; AddAtom(ClassAtom(SyntaxSet(sySword, true), false), SizeSimple); return;
    case 's': ++pos_; AddAtom(ClassAtom(SyntaxSet(sySpace, false), false), SizeSimple); return;
    case 'S': ++pos_; AddAtom(ClassAtom(SyntaxSet(sySpace, true), true), SizeSimple); return;
    case 'd': ++pos_; AddAtom(ClassAtom(SyntaxSet(syDigit, false), false), SizeSimple); return;
    case 'D': ++pos_; AddAtom(ClassAtom(SyntaxSet(syDigit, true), true), SizeSimple); return;
    case '<': ++pos_; AddAssertion(Assertion::WordStart); return;
    case '>': ++pos_; AddAssertion(Assertion::WordEnd); return;
    case 'b': ++pos_; AddAssertion(Assertion::WordBoundary); return;
    case 'B': ++pos_; AddAssertion(Assertion::NotWordBoundary); return;
    case '`': ++pos_; AddAssertion(Assertion::TextStart); return;
    case '\'': ++pos_; AddAssertion(Assertion::TextEnd); return;
    default: break;
    }
    if (c >= '1' && c <= '9') {
      const int32_t g = c - '0';
      if (g > tree_.groupCount)
        Fail(reESUBREG);
      const bool open = std::any_of(frames_.begin(), frames_.end(),
                                    [g](const Frame& f) { return f.group == g; });
      if (!open) {
        ++pos_;
        Node n;
        n.kind = NodeKind::BackRef;
        n.group = g;
        tree_.hasBackRefs = true;
        tree_.referencedGroups |= 1u << g;
        AddAtom(NewNode(std::move(n)), SizeBackRef);
        return;
      }
    }
    Literal(c);  // any other escaped character is itself
  }

  // A member character (see CharAt).
  void AddMember(int c, ByteSet& members, Trails& pairs) const
  {
    if (c < 256)
      members.Add(T(static_cast<uint8_t>(c)));
    else
      pairs[c >> 8].Add(static_cast<uint8_t>(c & 255));
  }

  // A range between characters (see CharAt): the single bytes from lo on,
  // and on a double-byte page the pairs up to hi, by lead byte.
  void AddRange(int lo, int hi, ByteSet& members, Trails& pairs) const
  {
    if (hi < lo)
      Fail(reERANGE);
    for (int ch = lo; ch <= std::min(hi, 255); ++ch)
      members.Add(T(static_cast<uint8_t>(ch)));
    for (int lead = std::max(lo >> 8, 1); lead <= (hi >> 8); ++lead) {
      if (!Lead(static_cast<char>(lead)))
        continue;
      const int from = lead == (lo >> 8) ? (lo & 255) : 0;
      const int to = lead == (hi >> 8) ? (hi & 255) : 255;
      for (int trail = from; trail <= to; ++trail)
        pairs[lead].Add(static_cast<uint8_t>(trail));
    }
  }

  void List()
  {
    ++pos_;
    if (pos_ == pat_.size())
      Fail(reEBRACK);
    bool negate = false;
    if (pat_[pos_] == '^') {
      negate = true;
      ++pos_;
    }
    ByteSet members;  // translated values
    Trails pairs{};   // double-byte members, untranslated
    bool letters = false;
    bool first = true;
    bool lastWasClass = false;
    int lastChar = -1;  // the last member character, for "a-c-e"
    size_t next = 0;
    for (;;) {
      if (pos_ == pat_.size())
        Fail(reEBRACK);
      int c = CharAt(pos_, next);
      pos_ = next;
      if (c == ']' && !first)
        break;
      const bool wasFirst = first;
      first = false;
      if (c == '[' && pos_ < pat_.size() && pat_[pos_] == ':') {
        const size_t close = pat_.find(":]", pos_ + 1);
        if (close != std::string_view::npos) {
          const std::string_view name = pat_.substr(pos_ + 1, close - pos_ - 1);
          const ClassName* cls = nullptr;
          for (const ClassName& k : ClassNames)
            if (name == k.name)
              cls = &k;
          if (!cls)
            Fail(reECTYPE);
          for (int ch = 0; ch < 256; ++ch)
            if (cls->has(t_.charTypes[ch], ch))
              members.Add(T(static_cast<uint8_t>(ch)));
          letters |= cls->letters;
          pos_ = close + 2;
          lastWasClass = true;
          lastChar = -1;
          continue;
        }
        // No closing ":]": '[' and ':' are plain members.
        members.Add(T('['));
        c = ':';
        ++pos_;
      }
      // A hyphen after a member, not before the closing ']', is a range
      // from the previous character; at the end of the pattern it is a
      // range without an end.
      if (c == '-' && !wasFirst && (pos_ == pat_.size() || pat_[pos_] != ']')) {
        if (lastWasClass || pos_ == pat_.size())
          Fail(reERANGE);
        if (lastChar >= 0) {
          const int end = CharAt(pos_, next);
          pos_ = next;
          AddRange(lastChar, end, members, pairs);
          lastChar = end;
          continue;
        }
      }
      lastWasClass = false;
      if (pos_ < pat_.size() && pat_[pos_] == '-' &&
          (pos_ + 1 == pat_.size() || pat_[pos_ + 1] != ']')) {
        if (pos_ + 1 == pat_.size())
          Fail(reERANGE);
        const int end = CharAt(pos_ + 1, next);
        pos_ = next;
        AddRange(c, end, members, pairs);
        lastChar = end;
        continue;
      }
      AddMember(c, members, pairs);
      lastChar = c;
    }
    int highest = 0;
    for (int b = 255; b >= 0; --b)
      if (members.Has(static_cast<uint8_t>(b))) {
        highest = b;
        break;
      }
    const size_t size = SizeList + static_cast<size_t>(highest / 8 + 1);
    if (!t_.page) {
      AddAtom(MakeSet(Preimage(members, negate)), size);
      return;
    }
    for (ByteSet& t : pairs) {
      if (letters)
        t = ByteSet{{~uint64_t(0), ~uint64_t(0), ~uint64_t(0), ~uint64_t(0)}};
      if (negate)
        for (uint64_t& w : t.bits)
          w = ~w;
    }
    AddAtom(CharSetNode(Singles(Preimage(members, negate)), pairs), size + SizeList);
  }

  std::string_view pat_;
  const Tables& t_;
  size_t pos_ = 0;
  size_t size_ = 0;
  Tree tree_;
  std::vector<Frame> frames_;
  std::map<std::array<uint64_t, 4>, int32_t> setIndex_;
  ByteSet leads_;  // lead bytes of a double-byte page; none on a single-byte one
};

}  // namespace

Tree ParsePattern(std::string_view pattern, const Tables& tables)
{
  return Parser(pattern, tables).Run();
}

}  // namespace regexp
