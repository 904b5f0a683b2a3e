// The progress bar of icf2html, drawn on standard error and only when that is
// a terminal: never into the page or a redirected standard output. The
// converter reports each step of two percent with a SIGUSR1 to this process
// (its option word PID=).
#pragma once

#include <string>

namespace icf2html {

// Starts listening for steps when standard error is a terminal; the option
// word that routes the converter's progress here, or "N" (no progress).
std::string start_progress_bar();
// Ends the bar's line, if one was drawn.
void finish_progress_bar();

}  // namespace icf2html
