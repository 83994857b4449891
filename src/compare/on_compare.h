#pragma once

#include "compare/compare_ui.h"
#include "compare/report_store.h"
#include "segment/morph_backend.h"

namespace sorowa {

// The Compare command: normalises both editors, builds the report for the checked options,
// stores it and shows it, then hands the front end what was paired (ShowResult). A failure
// ends the command through ui.ReportFailure, after which the editors keep their normalised
// texts and the previous report stays shown. Cancelling through ReportProgress ends it
// silently.
void OnCompare(CompareUi& ui, ReportStore& store, const MorphBackendFactory& morphFactory = {});

}  // namespace sorowa
