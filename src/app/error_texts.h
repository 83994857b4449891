#pragma once

#include <QString>
#include <string>

#include "base/engine_error.h"

namespace sorowa {

// The window's Japanese wording of the engine's failures: one text per kind of failure,
// with its parameters (paths, offsets, sizes, limits) filled in.
QString JapaneseErrorText(const ErrorDetails& details);

// The system's reason for a failed file operation (an errno value), in Japanese.
QString JapaneseSystemErrorText(int systemError);

// A byte count the way the window shows sizes: "89.3 MB (93,637,412 バイト)".
QString JapaneseByteSize(quint64 bytes);

}  // namespace sorowa
