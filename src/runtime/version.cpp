// The library's version, for hosts that check at run time which copy they loaded.
#include <icf2html.h>

extern "C" ICF2HTML_API const char *icf2html_version(void) { return ICF2HTML_VERSION; }
