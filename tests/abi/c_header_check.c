/* The public header must compile as plain C and declare the interface as used here. */
#include <icf2html.h>

int (*const check_entry)(char *, char *, char *, char **, void *(*)(size_t), void (*)(void *)) = MainEntryPoint;
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
const KIVAutoRecHooks check_hooks = {0, 0, 0, 0};
