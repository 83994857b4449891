#include "score/stats_tsv.h"

#include <charconv>

namespace sorowa {
namespace {

// A field with its tabs, line breaks and backslashes escaped, so that each row stays one line.
void AppendField(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
}

void AppendNumber(std::string& out, std::uint64_t value) {
  out += '\t';
  out += std::to_string(value);
}

// The shortest text that reads back as the same double, as the JSON has it.
void AppendRate(std::string& out, const std::optional<double>& rate) {
  out += '\t';
  if (!rate) return;
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, *rate);
  out.append(text, result.ptr);
}

void AppendCounts(std::string& out, const std::optional<ErrorCounts>& counts) {
  if (!counts) {
    out += "\t\t\t\t\t\t";
    return;
  }
  AppendNumber(out, counts->n);
  AppendNumber(out, counts->substitutions);
  AppendNumber(out, counts->deletions);
  AppendNumber(out, counts->insertions);
  AppendNumber(out, counts->distance());
  AppendRate(out, counts->rate());
}

void AppendCountsHeader(std::string& out, std::string_view unit) {
  for (const char* field : {"n", "s", "d", "i", "distance", "rate"}) {
    out += '\t';
    out += unit;
    out += '_';
    out += field;
  }
}

void AppendTotalsCounts(std::string& out, const StatsTotals& t, bool morphemes) {
  AppendNumber(out, t.pairs);
  AppendNumber(out, t.identical);
  AppendNumber(out, t.changed);
  AppendNumber(out, t.sourceOnly);
  AppendNumber(out, t.targetOnly);
  AppendCounts(out, t.chars);
  if (morphemes) AppendCounts(out, t.morphemes ? t.morphemes : ErrorCounts{});
}

}  // namespace

std::string WriteStatsTsv(const StatsDocument& d) {
  const bool morphemes = d.options.morphemes;
  std::string out;
  if (d.manyDocuments) {
    out += "source\ttarget\terror\tpairs\tidentical\tchanged\tsource_only\ttarget_only";
    AppendCountsHeader(out, "chars");
    if (morphemes) AppendCountsHeader(out, "morphemes");
    out += '\n';
    for (const DocumentEntry& entry : d.documents) {
      AppendField(out, entry.source);
      out += '\t';
      AppendField(out, entry.target);
      out += '\t';
      AppendField(out, entry.error);
      if (entry.totals) {
        AppendTotalsCounts(out, *entry.totals, morphemes);
      } else {
        out += std::string(5 + 6 * (morphemes ? 2 : 1), '\t');
      }
      out += '\n';
    }
    out += "total\t\t";
    AppendTotalsCounts(out, d.totals, morphemes);
    out += '\n';
    return out;
  }
  out += "source\ttarget\tstatus";
  AppendCountsHeader(out, "chars");
  if (morphemes) AppendCountsHeader(out, "morphemes");
  out += '\n';
  for (const PairScore& pair : d.pairs) {
    AppendField(out, pair.source);
    out += '\t';
    AppendField(out, pair.target);
    out += '\t';
    out += PairStatusName(pair.status);
    AppendCounts(out, pair.chars);
    if (morphemes) AppendCounts(out, pair.morphemes);
    out += '\n';
  }
  out += "total\t\t";
  AppendCounts(out, d.totals.chars);
  if (morphemes) AppendCounts(out, d.totals.morphemes ? d.totals.morphemes : ErrorCounts{});
  out += '\n';
  return out;
}

}  // namespace sorowa
