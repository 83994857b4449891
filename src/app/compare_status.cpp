#include "app/compare_status.h"

#include <optional>

#include "score/stats_document.h"

namespace sorowa {
namespace {

QString Ranges(const SideSummary& side) {
  return QString::fromStdString(FormatLineRanges(side.omittedRanges));
}

// A sentence about lines that are not in the report or a side without lines; empty when
// every line was paired or shown.
QString Note(const CompareResult& result) {
  const SideSummary& source = result.source;
  const SideSummary& target = result.target;
  if (source.lines == 0 && target.lines == 0) {
    return QStringLiteral("ソースにもターゲットにも行がありません。");
  }
  struct Side {
    QString name;
    const SideSummary& summary;
  };
  const Side sides[2] = {{QStringLiteral("ソース"), source},
                         {QStringLiteral("ターゲット"), target}};
  for (int k = 0; k < 2; ++k) {
    const Side& self = sides[k];
    const Side& other = sides[1 - k];
    if (self.summary.lines != 0) continue;
    QString note = QStringLiteral("%1に行がありません").arg(self.name);
    if (other.summary.omitted > 0) {
      note += QStringLiteral("。%1の %2 行目は比較していません。")
                  .arg(other.name, Ranges(other.summary));
    } else {
      note += QStringLiteral("。%1の行はすべて単独で示しています。").arg(other.name);
    }
    return note;
  }
  QString note;
  for (int k = 0; k < 2; ++k) {
    const Side& self = sides[k];
    const Side& other = sides[1 - k];
    if (self.summary.omitted == 0) continue;
    if (!result.linesAligned && other.summary.omitted == 0) {
      note += QStringLiteral("%1が%2より %3 行多く、")
                  .arg(self.name, other.name)
                  .arg(self.summary.omitted);
    }
    note += QStringLiteral("%1の %2 行目は比較していません。").arg(self.name, Ranges(self.summary));
  }
  if (!note.isEmpty() && !result.linesAligned) {
    note += QStringLiteral("「行を対応付け」をオンにすると内容で行を対応付けます。");
  }
  return note;
}

QString Percent(double rate) {
  return QString::number(rate * 100.0, 'f', 2) + QStringLiteral(" %");
}

// The corpus error rates when the pairs were scored: summed distances over summed reference
// lengths, not a mean of the pairs' rates. Without reference characters there is no rate.
QString Scores(const CompareResult& result) {
  if (!result.scoresError.empty()) {
    return QStringLiteral("長すぎる行の組があり、文字誤り率を計算できませんでした");
  }
  if (!result.scores) return QString();
  const StatsTotals& totals = result.scores->totals;
  const std::optional<double> chars = totals.chars.rate();
  if (!chars) return QString();
  QString text = QStringLiteral("文字誤り率 ") + Percent(*chars);
  if (totals.morphemes) {
    if (const std::optional<double> morphemes = totals.morphemes->rate()) {
      text += QStringLiteral(" (形態素 %1)").arg(Percent(*morphemes));
    }
  }
  return text;
}

// How many of the report's pairs differ, from their scores (the report's pairs come first;
// position mode's surplus lines follow them). Absent without scores.
std::optional<std::size_t> ChangedPairs(const CompareResult& result) {
  if (!result.scores || result.scores->pairs.size() < result.pairs.size()) return std::nullopt;
  std::size_t changed = 0;
  for (std::size_t k = 0; k < result.pairs.size(); ++k) {
    if (result.scores->pairs[k].status != PairStatus::Identical) ++changed;
  }
  return changed;
}

}  // namespace

QString CompareStatusText(const CompareResult& result) {
  const std::optional<std::size_t> changed = ChangedPairs(result);
  QString text =
      changed ? QStringLiteral("相違のある行の組 %1 / %2").arg(*changed).arg(result.pairs.size())
              : QStringLiteral("行の組 %1").arg(result.pairs.size());
  const QString scores = Scores(result);
  if (!scores.isEmpty()) text += QStringLiteral(" · ") + scores;
  text += QStringLiteral(" · 未対応 ソース %1 / ターゲット %2")
              .arg(result.source.alone)
              .arg(result.target.alone);
  const QString note = Note(result);
  if (!note.isEmpty()) text += QStringLiteral(" · ") + note;
  return text;
}

}  // namespace sorowa
