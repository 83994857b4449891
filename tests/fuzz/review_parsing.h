#pragma once

// Reads a review page back: checks that the whole page is well-formed (every element closed
// in order, every attribute quoted, no markup character or entity but the escaped ones in
// text), then reads its rows. A row's texts are read back with every box turned into the code
// point it names, so that comparing them with the lines shows that nothing was lost, added
// or left unescaped; the marks are counted per cell.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sorowa::fuzz {

struct ReviewRowRead {
  std::size_t number = 0;
  std::string rowClass;  // "i", "c", "so" or "to"
  std::string sourceLines;
  std::string targetLines;
  std::string status;          // the status cell's first words
  std::size_t nextChange = 0;  // where its link leads; 0 for none or the top
  bool unmarked = false;       // said to be shown without marks
  bool moved = false;          // marked as a moved pair
  bool sourceMissing = false;
  bool targetMissing = false;
  std::u16string sourceText;
  std::u16string targetText;
  std::size_t sourceJoins = 0;
  std::size_t targetJoins = 0;
  std::size_t substituted = 0;        // <mark> in the Source cell
  std::size_t substitutedTarget = 0;  // <mark> in the Target cell
  std::size_t deleted = 0;            // <del>, Source cell only
  std::size_t inserted = 0;           // <ins>, Target cell only
};

struct ReviewPageRead {
  std::string error;  // empty when the page is as expected
  std::vector<ReviewRowRead> rows;
  std::size_t leftOut = 0;      // from the head
  std::size_t firstChange = 0;  // from the head's link
  std::size_t movedPairs = 0;   // from the head
};

ReviewPageRead ReadReviewPage(std::string_view page);

}  // namespace sorowa::fuzz
