#include "process/japanese_locale.h"

#include <locale>
#include <stdexcept>

namespace sorowa {

bool InstallJapaneseLocale() {
  try {
    // A named global C++ locale also sets the C locale for all categories.
    std::locale::global(std::locale("ja_JP.UTF-8"));
    return true;
  } catch (const std::runtime_error&) {
    return false;  // the system lacks it; nothing here depends on the locale
  }
}

}  // namespace sorowa
