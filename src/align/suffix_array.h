#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace sorowa {

// The start positions of all suffixes of text in ascending order, where the symbols of text
// lie in [0, alphabetSize) and a suffix that is a prefix of another sorts first. Built by
// induced sorting (SA-IS, Nong, Zhang and Chan 2009) in O(n + alphabetSize) time, so long
// lines cost no more per character than short ones. text.size() must be below 2^31.
std::vector<std::int32_t> BuildSuffixArray(std::span<const std::int32_t> text,
                                           std::int32_t alphabetSize);

// Entry i (1 <= i < n) is the length of the longest common prefix of the suffixes at
// suffixArray[i - 1] and suffixArray[i]; entries 0 and n are -1, so that every run of
// suffixes sharing a prefix ends inside the array. inverse is the rank of each position.
// Kasai et al. 2001, O(n).
std::vector<std::int32_t> BuildLcpArray(std::span<const std::int32_t> text,
                                        std::span<const std::int32_t> suffixArray,
                                        std::span<const std::int32_t> inverse);

}  // namespace sorowa
