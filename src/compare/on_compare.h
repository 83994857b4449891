#pragma once

#include "compare/compare_options.h"
#include "compare/compare_ui.h"
#include "compare/report_store.h"
#include "segment/morph_backend.h"

namespace sorowa {

// The Compare command: normalises both editors (their lines, each ended by CR LF; the text
// normalisation options change only what is compared and shown in the report), builds the
// report for the checked options, stores it and shows it, then hands the front end what was
// paired and scored (ShowResult). With NoReport it only scores. A failure
// ends the command through ui.ReportFailure, after which the editors keep their normalised
// texts and the previous report stays shown. Cancelling through ReportProgress ends it
// silently.
void OnCompare(CompareUi& ui, ReportStore& store, const MorphBackendFactory& morphFactory = {});

// The same command for a front end without check boxes (the command line), run with the
// options it was given.
void OnCompare(CompareFrontEnd& frontEnd, const CompareOptions& options, ReportStore& store,
               const MorphBackendFactory& morphFactory = {});

}  // namespace sorowa
