#pragma once

#include "command_line.h"

namespace sorowa {

// Checks made once the files can be looked at, before anything is read or written: an output
// must not be the same file (device and inode) as an input or as another output, and a
// batch's results folder must not be, or lie inside, one of its input folders. Each throws
// UsageError naming both files.
void CheckCompareOutputs(const CommandLine& line);
void CheckMergeOutputs(const CommandLine& line);
void CheckBatchFolders(const CommandLine& line);

}  // namespace sorowa
