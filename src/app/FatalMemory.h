#pragma once
// The fatal path for a failed start-up allocation: message 25 in a stop box captioned with the
// buffer's tag ("Alloc AVL"), then "MEMORY ERROR" on stderr and an immediate process exit.
// Nothing is cleaned up: the process state is not trusted once the buffers cannot be had.

#include <string>

#include "core/MeasurementState.h"

namespace fim {

class Prompter;

// Exit status of the fatal path.
constexpr int kFatalMemoryExitStatus = 1;

// Shows message 25 captioned `caption` through `prompter` (stop icon, OK only); without a
// prompter prints "caption: text" on stderr. Then prints "MEMORY ERROR" and ends the process.
[[noreturn]] void FatalMemoryError(const std::string& caption, Prompter* prompter);
// The same path with a text of the caller's (the FFT tables report a refused size this way).
[[noreturn]] void FatalMemoryError(const std::string& caption, const std::string& text,
                                   Prompter* prompter);

// A handler for SharedBuffers::Allocate that takes the fatal path through `prompter` (which must
// outlive the allocation), or on the console when `prompter` is null: fimtool's default.
SharedBuffers::FatalHandler FatalMemoryHandler(Prompter* prompter = nullptr);

}  // namespace fim
