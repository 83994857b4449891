#pragma once

#include <string>
#include <vector>

#include "batch/batch_documents.h"
#include "score/stats_document.h"

namespace sorowa {

// The results page of a run over many documents: an HTML5 page in Japanese that lists the
// documents, failed ones first, then from the highest character error rate down, with
// their figures and a link to each report written (hasReport[k] for documents[k]), after
// the totals. stats.documents[k] belongs to documents[k]. Every path and message is escaped;
// bytes that are not UTF-8 show as U+FFFD. Needs no script. With charts, the totals are
// followed by pictures drawn in inline SVG, a histogram of the documents' character error
// rates and the accuracy of each class of characters, and by the most frequent confusions.
std::string WriteBatchIndex(const StatsDocument& stats, const std::vector<BatchDocument>& documents,
                            const std::vector<bool>& hasReport, bool charts = false);

}  // namespace sorowa
