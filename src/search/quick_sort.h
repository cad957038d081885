// The quicksort of the hit list, shared by every list that sorts the same
// way (equal entries end where this sort leaves them).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace search {

// The quicksort of the hit list: the pivot is held by value, both scans run,
// and entries are exchanged while I <= J. The smaller part is sorted by
// recursion and the larger by the loop; the two parts are disjoint, so the
// result is the same as always recursing into the left part, with a stack of
// O(log n). compare(a, b) gives below, at or above zero.
template <class Entry, class Compare>
void QuickSort(std::vector<Entry>& a, int64_t l, int64_t r, const Compare& compare)
{
  for (;;) {
    int64_t i = l;
    int64_t j = r;
    const Entry pivot = a[size_t((l + r) / 2)];
    do {
      while (compare(a[size_t(i)], pivot) < 0)
        ++i;
      while (compare(a[size_t(j)], pivot) > 0)
        --j;
      if (i <= j) {
        std::swap(a[size_t(i)], a[size_t(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - l < r - i) {
      if (l < j)
        QuickSort(a, l, j, compare);
      if (i >= r)
        return;
      l = i;
    } else {
      if (i < r)
        QuickSort(a, i, r, compare);
      if (l >= j)
        return;
      r = j;
    }
  }
}

}  // namespace search
