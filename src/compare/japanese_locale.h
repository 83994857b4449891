#pragma once

namespace sorowa {

// Makes ja_JP.UTF-8 the global C and C++ locale where the system has it; otherwise keeps
// the current locale without complaint. Returns whether it was installed.
bool InstallJapaneseLocale();

}  // namespace sorowa
