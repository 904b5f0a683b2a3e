// The command line of an isolated conversion (icf2html --isolate ...).
#pragma once

#include <cstdio>

namespace icf2html {

// True when the arguments ask for an isolated conversion.
bool asks_for_isolation(int argc, char **argv);
// Runs it; the program's exit status (2 for a malformed command line).
int isolated_main(int argc, char **argv);
void isolation_usage(std::FILE *to);

}  // namespace icf2html
