/* Converts a small document with the installed library, as a host program does:
 * writes the intermediate file, calls the converter, shuts it down and checks
 * the HTML. Usage: embed_icf2html WORKDIR. Exit status 0 when all went well. */
#include <icf2html.h>

#include <stdio.h>
#include <string.h>

static int fail(const char *what) {
  fprintf(stderr, "embed_icf2html: %s\n", what);
  return 1;
}

int main(int argc, char **argv) {
  /* "Hello", a bold "world" and a line break: codes are ESC GS, a name, RS. */
  static const char stream[] = "Hello \x1b\x1d" "BBT\x1e" "world\x1b\x1d" "EBT\x1e\x1b\x1d" "HNL\x1e";
  char icf[512], html[512], page[4096];
  char no_progress[] = "N";
  char *words[] = {no_progress, NULL};
  FILE *f;
  size_t n;
  int code;

  if (argc != 2) return fail("usage: embed_icf2html WORKDIR");
  snprintf(icf, sizeof icf, "%s/doc.icf", argv[1]);
  snprintf(html, sizeof html, "%s/doc.html", argv[1]);
  if (strcmp(icf2html_version(), ICF2HTML_VERSION) != 0) return fail("the library is not the header's version");

  f = fopen(icf, "wb");
  if (!f || fwrite(stream, 1, sizeof stream - 1, f) != sizeof stream - 1 || fclose(f) != 0)
    return fail("cannot write the intermediate file");
  code = MainEntryPoint(html, icf, "5", words, NULL, NULL);
  GlobalShutDown();
  RemoveTempFiles();
  RemovePurgeableFiles();
  KIVFreeAll();
  if (code != 0) return fail("the conversion failed");

  /* The converter deletes the intermediate file when it is done. */
  f = fopen(icf, "rb");
  if (f) {
    fclose(f);
    return fail("the intermediate file is still there");
  }
  f = fopen(html, "rb");
  if (!f) return fail("no HTML file");
  n = fread(page, 1, sizeof page - 1, f);
  fclose(f);
  page[n] = '\0';
  if (!strstr(page, "Hello <B>world</B>")) return fail("the HTML does not hold the document");
  printf("converted with icf2html %s\n", icf2html_version());
  return 0;
}
