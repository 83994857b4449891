#pragma once

#include <string>
#include <string_view>

namespace sorowa {

// The report as it goes to paper. On screen a line pair's tables are as wide as its line,
// which paper is not; and the browser's printing takes time for every element of the page,
// so what is printed should have few of them. The report file itself is never changed: the
// printer loads its pairs through RewriteForPrint.
//
// Every two-row DP table becomes a run of columns, each a small box with its Source unit
// over its Target unit, that wrap at the width of the paper like words of a paragraph and
// keep the two units of a column together. Neighbouring columns that are "same" on both rows
// are joined into one of up to kJoinedColumnLength characters: they look the same (white,
// borderless) and are a third of the elements. In matching tables the units already sit in
// one cell per row; they are let wrap, and neighbouring "same" units share one element.
// Tables not written as the report writes them are copied as they are.

// Joined "same" columns grow to this many characters (counted in the report's bytes).
inline constexpr std::size_t kJoinedColumnLength = 12;

// The style for what RewriteForPrint writes, a <style> element to follow the report's head.
// It hides the page on screen: the page is for printing only.
std::string_view PrintStylesheet();

// Rewrites the bytes of whole line pairs of a report (what lies between its head and its
// foot), as above. Anything else is copied; no character of the text is lost.
std::string RewriteForPrint(std::string_view pairs);

}  // namespace sorowa
