#pragma once

namespace sorowa {

// Makes ja_JP.UTF-8 the global C and C++ locale where the system has it; otherwise keeps
// the current locale without complaint. Returns whether it was installed. Setting the
// locale is not safe while other threads run (the report view's, the Compare's workers),
// so each program calls this once at start-up, before any of them exist.
bool InstallJapaneseLocale();

}  // namespace sorowa
