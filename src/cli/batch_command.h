#pragma once

#include "command_line.h"

namespace sorowa {

// --batch and --batch-list: finds the documents, runs them with a progress line on a
// terminal, names each failed document on standard error and prints --summary. Returns the
// exit status: 1 when a document failed. Throws for what stops the whole run (a folder or
// the list that cannot be read, the results that cannot be written).
int RunBatchCommand(const CommandLine& line);

}  // namespace sorowa
