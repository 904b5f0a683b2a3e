/* The public header must compile as plain C and declare the interface as used here. */
#include <icf2html.h>

int (*const check_entry)(const char *, const char *, const char *, char *const *, void *(*)(size_t), void (*)(void *)) =
    MainEntryPoint;
int (*const check_main)(int, char **) = KIVMainEntry;
int (*const check_shutdown)(void) = GlobalShutDown;
int (*const check_temp)(void) = RemoveTempFiles;
int (*const check_purge)(void) = RemovePurgeableFiles;
void (*const check_free)(void) = KIVFreeAll;
int (*const check_autorec)(const char *, int *) = autorec;
int (*const check_autorec_exp)(const char *, int, int *) = AutoRecExp;
int (*const check_autorec_file)(const char *, int, int *, const KIVAutoRecHooks *) = AutoRecFile;
int (*const check_autorec_block)(const unsigned char *, int, int, int *) = AutoRecBlock;
int (*const check_file_format)(const char *, int *) = KIVGetFileFormat;
const char *(*const check_version)(void) = icf2html_version;

/* A host written in C passes its own mutable strings, as it always could. */
int convert_in_c(void) {
  char target[] = "out.html", icf[] = "in.icf", levels[] = "5", word[] = "N";
  char *words[] = {word, NULL};
  return MainEntryPoint(target, icf, levels, words, NULL, NULL);
}

/* The host's file hooks keep the declared signatures. */
int IFSopen(const char *name, int mode, int kind) { return name && mode && kind ? -1 : -1; }
long IFSlseek(int handle, long offset, int whence) { return handle + offset + whence; }
long IFSGetSize(const char *name) { return name ? -1 : 0; }
const KIVAutoRecHooks check_hooks = {0, 0, 0, 0};
