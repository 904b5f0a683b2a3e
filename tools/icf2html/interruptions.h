// SIGINT and SIGTERM while icf2html runs: the signal is only recorded, so that
// the program can put OUTPUT back and remove its temporary files before it
// ends. The converter is told to leave these handlers in place (KEEPSIGNALS)
// and stops at its next safe point.
#pragma once

namespace icf2html {

void catch_interruptions();
// The signal that asked the program to stop, or 0.
int interruption();

}  // namespace icf2html
