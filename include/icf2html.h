/* icf2html: converts a document held as an intermediate code stream into HTML.
 * The C interface that a host program calls; this header compiles as C and C++. */
#ifndef ICF2HTML_H
#define ICF2HTML_H

#include <stddef.h>

/* The version of this header; icf2html_version() gives the library's at run time.
 * The major number is the shared object's soname version. */
#define ICF2HTML_VERSION_MAJOR 1
#define ICF2HTML_VERSION_MINOR 0
#define ICF2HTML_VERSION_PATCH 0
#define ICF2HTML_VERSION "1.0.0"

#if defined(__GNUC__)
#define ICF2HTML_API __attribute__((visibility("default")))
#else
#define ICF2HTML_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Runs one conversion of the intermediate file `icf` into the HTML file `target`.
 * `levels` is the level letter (0-5) and its modifier letters (E, M, N, P, X).
 * `options` is a NULL-terminated array of option words, or NULL. The two hooks,
 * when both are given, replace the system allocator for this library.
 * Returns 0 on success, or the exit code that ended the conversion. */
ICF2HTML_API int MainEntryPoint(char *target, char *icf, char *levels, char **options,
                                void *(*mallocHook)(size_t), void (*freeHook)(void *));

/* The converter's own entry: arguments[0] a program name, arguments[1] the target,
 * the rest option words. Called without MainEntryPoint, a fatal error or the end of
 * the conversion ends the process with the exit code. */
ICF2HTML_API int KIVMainEntry(int count, char **arguments);

/* Shutdown calls, for the host after a conversion: close temporary buffers and free
 * option strings; remove registered temporary picture files; close and remove the
 * temporary files opened through the file layer; release every remaining block. */
ICF2HTML_API int GlobalShutDown(void);
ICF2HTML_API int RemoveTempFiles(void);
ICF2HTML_API int RemovePurgeableFiles(void);
ICF2HTML_API void KIVFreeAll(void);

/* The library's version as "MAJOR.MINOR.PATCH", a static string: the copy actually
 * loaded, which may be newer than the header the host was compiled with. */
ICF2HTML_API const char *icf2html_version(void);

/* ---- Format recognition ------------------------------------------------------ */

/* The host's file functions for AutoRecFile, in this order: open(name, 1, 1)
 * returning a handle or -1; read(handle, buffer, count) returning the byte count;
 * a slot that is not used; close(handle). */
typedef struct KIVAutoRecHooks {
  int (*open)(const char *name, int mode, int kind);
  int (*read)(int handle, void *buffer, int count);
  void (*unused)(void);
  int (*close)(int handle);
} KIVAutoRecHooks;

/* Recognition of a file's format from its first 4096 bytes (and, for a compound
 * file read directly, from its stream names). Each returns the format number, 0
 * when not recognised, -1 when the file cannot be opened, -2 when nothing can be
 * read from it, -3 when memory runs out; the variant is stored through `variant`
 * whenever data was read. `expected` (0 for none) names the format whose test runs
 * first, accepting weaker evidence. `hooks` NULL reads the file directly. */
ICF2HTML_API int autorec(const char *name, int *variant);
ICF2HTML_API int AutoRecExp(const char *name, int expected, int *variant);
ICF2HTML_API int AutoRecFile(const char *name, int expected, int *variant, const KIVAutoRecHooks *hooks);
/* The same for `length` bytes already in memory; the variant is 0 when not recognised. */
ICF2HTML_API int AutoRecBlock(const unsigned char *data, int length, int expected, int *variant);
/* The same as autorec. */
ICF2HTML_API int KIVGetFileFormat(const char *name, int *variant);

#ifdef __cplusplus
}
#endif

#endif /* ICF2HTML_H */
