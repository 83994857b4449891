#pragma once

#include <cstddef>
#include <vector>

#include "pairing/work_meter.h"

namespace sorowa::pairing {

// The positions 0 .. count - 1 ordered by key(position), a number from 0 to maxKey; equal
// keys keep their order. Linear in count + maxKey and counted on the meter as it goes, so
// that even millions of items never keep the checkpoint waiting, as a comparison sort would.
template <class Key>
std::vector<std::size_t> CountingOrder(std::size_t count, std::size_t maxKey, Key key,
                                       WorkMeter& meter,
                                       const std::vector<std::size_t>* within = nullptr) {
  std::vector<std::size_t> starts(maxKey + 2, 0);
  for (std::size_t k = 0; k < count; ++k) {
    ++starts[key(within != nullptr ? (*within)[k] : k) + 1];
    meter.Add(4);
  }
  for (std::size_t k = 1; k < starts.size(); ++k) starts[k] += starts[k - 1];
  meter.Add(maxKey);
  std::vector<std::size_t> order(count);
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t item = within != nullptr ? (*within)[k] : k;
    order[starts[key(item)]++] = item;
    meter.Add(4);
  }
  return order;
}

}  // namespace sorowa::pairing
