// Regular-expression engine: building the instruction graph from the tree.
//
// The tree is stored children first, so the graph is built bottom-up in one
// pass over the nodes: each node's fragment is made from its children's.
// A fragment's instructions form a contiguous range, which lets a counted
// repeat of the automaton copy its body without recursion.
#include "search/regexp/regexp_program.h"

#include "search/regexp/regexp.h"

#include <algorithm>

namespace regexp {

namespace {

struct Frag {
  int32_t start = -1;
  std::vector<int32_t> holes;  // unset exits: instruction * 2 + (0 for out, 1 for out1)
};

class Builder {
public:
  Builder(const Tree& tree, BuildMode mode, size_t budget, Program& out)
      : tree_(tree), mode_(mode), budget_(budget), p_(out)
  {
  }

  bool Run()
  {
    p_ = Program{};
    p_.sets = tree_.sets;
    const size_t n = tree_.nodes.size();
    frags_.assign(n, Frag{});
    firstInst_.assign(n, 0);
    for (size_t i = 0; i < n; ++i) {
      const Node& node = tree_.nodes[i];
      firstInst_[i] = node.kids.empty() ? static_cast<int32_t>(p_.insts.size())
                                        : firstInst_[node.kids.front()];
      if (!Build(static_cast<int32_t>(i), node))
        return false;
    }
    Frag& root = frags_[tree_.root];
    const int32_t match = Emit(Inst{Op::Match});
    Patch(root.holes, match);
    p_.start = root.start;
    return true;
  }

private:
  int32_t Emit(Inst inst)
  {
    p_.insts.push_back(inst);
    return static_cast<int32_t>(p_.insts.size() - 1);
  }

  void Patch(const std::vector<int32_t>& holes, int32_t target)
  {
    for (int32_t h : holes) {
      Inst& inst = p_.insts[h >> 1];
      (h & 1 ? inst.out1 : inst.out) = target;
    }
  }

  bool Room(size_t more) const
  {
    return mode_ == BuildMode::Backtracker || p_.insts.size() + more <= budget_;
  }

  Frag Single(Inst inst)
  {
    const int32_t i = Emit(inst);
    return Frag{i, {i * 2}};
  }

  Frag Copy(const Frag& f, int32_t lo, int32_t hi)
  {
    const int32_t delta = static_cast<int32_t>(p_.insts.size()) - lo;
    for (int32_t s = lo; s < hi; ++s) {
      Inst x = p_.insts[s];
      if (x.out >= 0)
        x.out += delta;
      if (x.out1 >= 0)
        x.out1 += delta;
      p_.insts.push_back(x);
    }
    Frag c;
    c.start = f.start + delta;
    c.holes.reserve(f.holes.size());
    for (int32_t h : f.holes)
      c.holes.push_back(h + 2 * delta);
    return c;
  }

  bool Build(int32_t index, const Node& node)
  {
    if (!Room(4))
      return false;
    Frag& f = frags_[index];
    switch (node.kind) {
    case NodeKind::Empty: f = Single(Inst{Op::Jump}); return true;
    case NodeKind::Set: {
      Inst i{Op::Byte};
      i.arg = node.set;
      f = Single(i);
      return true;
    }
    case NodeKind::Assert: {
      Inst i{Op::Assert};
      i.assertion = node.assertion;
      f = Single(i);
      return true;
    }
    case NodeKind::Group: {
      Frag kid = std::move(frags_[node.kids[0]]);
      const bool record = mode_ == BuildMode::Backtracker && node.group <= 9 &&
                          (tree_.referencedGroups >> node.group & 1);
      if (!record) {
        f = std::move(kid);
        return true;
      }
      Inst open{Op::Save};
      open.arg = node.group * 2;
      open.out = kid.start;
      Inst close{Op::Save};
      close.arg = node.group * 2 + 1;
      const int32_t o = Emit(open);
      const int32_t c = Emit(close);
      Patch(kid.holes, c);
      f = Frag{o, {c * 2}};
      return true;
    }
    case NodeKind::Concat: {
      std::vector<int32_t> order = node.kids;
      if (mode_ == BuildMode::Reverse)
        std::reverse(order.begin(), order.end());
      Frag result = std::move(frags_[order[0]]);
      for (size_t k = 1; k < order.size(); ++k) {
        Frag& next = frags_[order[k]];
        Patch(result.holes, next.start);
        result.holes = std::move(next.holes);
      }
      f = std::move(result);
      return true;
    }
    case NodeKind::Alt: {
      const size_t n = node.kids.size();
      Frag result;
      int32_t next = frags_[node.kids[n - 1]].start;
      for (size_t k = n - 1; k-- > 0;) {
        Inst s{Op::Split};
        s.out = frags_[node.kids[k]].start;
        s.out1 = next;
        next = Emit(s);
      }
      result.start = next;
      for (int32_t kid : node.kids) {
        std::vector<int32_t>& h = frags_[kid].holes;
        result.holes.insert(result.holes.end(), h.begin(), h.end());
        h.clear();
      }
      f = std::move(result);
      return true;
    }
    case NodeKind::BackRef: {
      if (mode_ != BuildMode::Backtracker)
        return false;
      Inst i{Op::BackRef};
      i.arg = node.group;
      f = Single(i);
      return true;
    }
    case NodeKind::Repeat:
      return mode_ == BuildMode::Backtracker ? CountedLoop(index, node) : Expand(index, node);
    }
    throw ERegExp(RegExpInternalError);
  }

  bool CountedLoop(int32_t index, const Node& node)
  {
    Frag kid = std::move(frags_[node.kids[0]]);
    const int32_t counter = p_.counters++;
    Inst check{Op::RepCheck};
    check.arg = counter;
    check.min = node.min;
    check.max = node.max;
    check.out = kid.start;
    const int32_t c = Emit(check);
    Patch(kid.holes, c);
    Inst init{Op::RepInit};
    init.arg = counter;
    init.out = c;
    const int32_t i = Emit(init);
    frags_[index] = Frag{i, {c * 2 + 1}};
    return true;
  }

  bool Expand(int32_t index, const Node& node)
  {
    const int32_t kidIndex = node.kids[0];
    if (kidIndex != index - 1)
      throw ERegExp(RegExpInternalError);
    Frag kid = std::move(frags_[kidIndex]);
    Frag& f = frags_[index];
    if (node.max == 0) {
      f = Single(Inst{Op::Jump});
      return true;
    }
    const int32_t lo = firstInst_[kidIndex];
    const int32_t hi = static_cast<int32_t>(p_.insts.size());
    const size_t kidSize = static_cast<size_t>(hi - lo);
    const int32_t copies = node.max == Unbounded ? std::max(node.min, 1) : node.max;
    if (!Room((static_cast<size_t>(copies) - 1) * kidSize + static_cast<size_t>(copies) + 2))
      return false;
    std::vector<Frag> c;
    c.reserve(copies);
    c.push_back(kid);
    for (int32_t k = 1; k < copies; ++k)
      c.push_back(Copy(kid, lo, hi));

    if (node.max == Unbounded) {
      const int32_t last = std::max(node.min, 1) - 1;
      for (int32_t k = 0; k < last; ++k)
        Patch(c[k].holes, c[k + 1].start);
      Inst s{Op::Split};
      s.out = c[last].start;
      const int32_t split = Emit(s);
      Patch(c[last].holes, split);
      f = Frag{node.min == 0 ? split : c[0].start, {split * 2 + 1}};
      return true;
    }
    int32_t start = -1;
    std::vector<int32_t> prev;
    std::vector<int32_t> exits;
    for (int32_t k = 0; k < copies; ++k) {
      int32_t entry = c[k].start;
      if (k >= node.min) {
        Inst s{Op::Split};
        s.out = c[k].start;
        entry = Emit(s);
        exits.push_back(entry * 2 + 1);
      }
      if (start < 0)
        start = entry;
      else
        Patch(prev, entry);
      prev = std::move(c[k].holes);
    }
    prev.insert(prev.end(), exits.begin(), exits.end());
    f = Frag{start, std::move(prev)};
    return true;
  }

  const Tree& tree_;
  BuildMode mode_;
  size_t budget_;
  Program& p_;
  std::vector<Frag> frags_;
  std::vector<int32_t> firstInst_;
};

}  // namespace

bool BuildProgram(const Tree& tree, BuildMode mode, size_t budget, Program& out)
{
  return Builder(tree, mode, budget, out).Run();
}

size_t ExpandedSize(const Tree& tree)
{
  constexpr size_t Cap = size_t(1) << 40;
  std::vector<size_t> size(tree.nodes.size(), 0);
  for (size_t i = 0; i < tree.nodes.size(); ++i) {
    const Node& n = tree.nodes[i];
    size_t s = 1;
    switch (n.kind) {
    case NodeKind::Group: s = size[n.kids[0]]; break;
    case NodeKind::Concat:
    case NodeKind::Alt:
      s = n.kids.size();
      for (int32_t k : n.kids)
        s = std::min(Cap, s + size[k]);
      break;
    case NodeKind::Repeat: {
      const size_t copies = n.max == Unbounded ? std::max(n.min, 1) : std::max(n.max, 1);
      const size_t kid = size[n.kids[0]];
      s = kid > Cap / copies ? Cap : std::min(Cap, copies * (kid + 1) + 1);
      break;
    }
    default: break;
    }
    size[i] = s;
  }
  return tree.root >= 0 ? size[tree.root] + 1 : 1;
}

}  // namespace regexp
