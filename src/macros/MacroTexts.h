#pragma once
// Texts the main window shows for the user macros: the RUN menu captions, the macro buttons'
// hints and the summary that the macro information popup (TMakroinfo) shows while the right
// mouse button is held on a macro button.

#include <string>

#include "macros/UserMacro.h"

namespace fim {

// "Macro: " + name (message 49).
std::string MacroMenuCaption(const UserMacro& macro);
// "Use Macro: " + name (message 48), the hint of buttons M1 … M10.
std::string MacroButtonHint(const UserMacro& macro);

// The popup's text, one item per line, lines separated by "\r":
//   MLS SIZE: 2^n / FFT SIZE: 2048·2^code (codes 0 … 4) or SMOOTH FFT / AVERAGING: k /
//   SMOOTHING: v / "" / Pre: t msec / Post: t msec / "" / ATC: ON|OFF / REPEAT: ON|OFF /
//   Pink: ON|OFF / "" / then Cal:, Mic:, Over: with their paths, each only when its flag is on.
// Times are in milliseconds rounded to a tenth (half to even), without a trailing ".0".
std::string MacroSummaryText(const UserMacro& macro);

// Microseconds as milliseconds rounded to a tenth: 600 → "0.6", 60000 → "60", −250 → "-0.2".
std::string MacroMillisecondsText(int32_t microseconds);

}  // namespace fim
