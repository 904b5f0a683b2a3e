/* icf2html: converts a document held as an intermediate code stream into HTML.
 * The C interface that a host program calls; this header compiles as C and C++.
 *
 * Memory: the library keeps no pointer to a caller's string after a call returns,
 * and hands the caller nothing to free. One conversion or recognition runs at a
 * time in a process: all state is global. */
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

/* ---- Conversion ----------------------------------------------------------------
 *
 * Exit codes of a conversion: 0 success; 1 the target cannot be created, or a
 * warning was recorded after the output was written; 2 reading failed; 3 the
 * intermediate file or a temporary file cannot be opened (also a name longer than
 * 124 characters); 4 writing failed; 6 the exception list cannot be opened, 7 it
 * cannot be written; 8 not enough memory (also when any allocation failed during
 * the conversion: the output may then lack a part); 10 the disk is full; 16 a
 * malformed stream; 17 interrupted by SIGINT or SIGTERM (with KEEPSIGNALS).
 *
 * Option words (case-blind, an optional leading "-" or "/"; unknown words are
 * ignored), for instance:
 *   N            no progress display         P     progress as a percentage
 *   PE=FILE      list the codes the writer does not handle in FILE ("except.lst")
 *   PC           mark such codes in the document instead
 *   C=FILE       read further option words from FILE, one a line
 *   IF           every file operation through the host's IFS* functions below
 *   IF and Qn    file access through the System V message queue n instead
 *   INx=n OUxx=n file access through pipes n to a controlling process
 *   BT=FILE, RL=FILE, GTF=n, G..., OO/ON/OP/OD   body text, reference list,
 *                picture target formats and modes, OLE object handling
 *   UNTRUSTED    the document is untrusted (pages shown by viewers and indexers):
 *                every attribute value that comes from the document, and every
 *                document text the writer would copy unescaped (link texts, note
 *                marks, the title), has &, ", <, > written as entities and control
 *                characters dropped; a link whose target is not relative, not a
 *                fragment, and not http, https, mailto, ftp or file (read as a
 *                browser reads it: references decoded, case and blanks ignored) is
 *                written as its text alone. All other bytes are as without the word.
 *   KEEPSIGNALS  SIGINT and SIGTERM stay the host's during the call: the library
 *                passes them to the host's handlers (an ignored one stays ignored)
 *                and ends the conversion with 17 at its next safe point, instead
 *                of the design's handler ending the process.
 *
 * Files: a device, FIFO or socket given as target or input is used as it stands
 * and never removed or replaced (a FIFO or device input is read as a stream); a
 * directory is refused untouched (as input with code 3, before the target is
 * touched); a symbolic link is never followed into its target (as target, the
 * link itself is replaced). */

/* Converts the intermediate file `icf` into the HTML file `target`. When `icf` is a
 * regular file (or a link to one) it is deleted by the time the call returns,
 * whatever the exit code; an input of any other kind is left as it is.
 * `levels`: level letter 0-5 (HTML Level 1, 2, 3; 3-5 with the Netscape extensions)
 * and modifiers E, N (extension sets), P (every paragraph in P), M (CR line ends),
 * X (LF line ends). `options`: NULL-terminated option words, or NULL; read only.
 * `mallocHook`/`freeHook`: when both are given, every block comes from them.
 * Returns 0 or the exit code above; the strings are only read and not kept. */
ICF2HTML_API int MainEntryPoint(const char *target, const char *icf, const char *levels, char *const *options,
                                void *(*mallocHook)(size_t), void (*freeHook)(void *));

/* The converter's own entry: arguments[0] a program name, arguments[1] the target,
 * then option words ("-t=ICF" the intermediate file, "-vLEVELS" the levels).
 * Called directly rather than through MainEntryPoint, a conversion that got going
 * ends the process with its exit code; only failures before it return. */
ICF2HTML_API int KIVMainEntry(int count, char **arguments);

/* Shutdown calls, for the host after a conversion; each returns 0 (KIVFreeAll nothing).
 * GlobalShutDown closes temporary buffers and frees option strings; RemoveTempFiles
 * removes picture files registered as temporary; RemovePurgeableFiles closes and
 * removes the temporary files of the file layer; KIVFreeAll releases every block
 * the library still holds, through freeHook when one was given. */
ICF2HTML_API int GlobalShutDown(void);
ICF2HTML_API int RemoveTempFiles(void);
ICF2HTML_API int RemovePurgeableFiles(void);
ICF2HTML_API void KIVFreeAll(void);

/* The library's version as "MAJOR.MINOR.PATCH", a static string: the copy actually
 * loaded, which may be newer than the header the host was compiled with. */
ICF2HTML_API const char *icf2html_version(void);

/* ---- File hooks the host may define ---------------------------------------------
 * With the option word IF, the library looks these names up in the host program at
 * run time (export them, e.g. link with -rdynamic); a missing one makes its
 * operation fail with -1. They are the host's functions, not the library's.
 * open: mode 1 read, 2 create or replace, 3 update, 4 append; kind 1 the intermediate
 * file, 2 the target, 3 a temporary file; returns a handle >= 0 or -1.
 * read/write: the count transferred, 0 at the end, negative on error.
 * lseek: whence 0 start, 1 current, 2 end; the new offset or -1.
 * close, unlink, rename: 0 or -1. GetSize: the size or -1.
 * CheckExist: 0 when the file exists, nonzero when it does not. */
int IFSopen(const char *name, int mode, int kind);
int IFSread(int handle, void *buffer, int count);
int IFSwrite(int handle, const void *buffer, int count);
long IFSlseek(int handle, long offset, int whence);
int IFSclose(int handle);
int IFSunlink(const char *name);
int IFSrename(const char *old_name, const char *new_name);
long IFSGetSize(const char *name);
int IFSCheckExist(const char *name);

/* ---- Format recognition ------------------------------------------------------- */

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
 * file read directly, from its stream names). Each returns the format number
 * (1 plain text, 3 intermediate stream, 19 RTF, 108 HTML, 500-699 graphics, ...),
 * 0 when not recognised, -1 when the file cannot be opened, -2 when nothing can be
 * read from it, -3 when memory runs out; the variant is stored through `variant`
 * whenever data was read. Recognition keeps nothing and touches no conversion. */
ICF2HTML_API int autorec(const char *name, int *variant);
/* The same, first running the test of format `expected` (0 for none), which
 * accepts weaker evidence. */
ICF2HTML_API int AutoRecExp(const char *name, int expected, int *variant);
/* The common body: `hooks` NULL reads the file directly; otherwise through the
 * host's functions, and compound files are not looked into. */
ICF2HTML_API int AutoRecFile(const char *name, int expected, int *variant, const KIVAutoRecHooks *hooks);
/* The same for `length` bytes already in memory, which are only read; the variant
 * is 0 when not recognised. Compound files are recognised only from files. */
ICF2HTML_API int AutoRecBlock(const unsigned char *data, int length, int expected, int *variant);
/* The same as autorec. */
ICF2HTML_API int KIVGetFileFormat(const char *name, int *variant);

/* ---- Pictures and embedded objects ------------------------------------------ */

/* Settings a host may change before a conversion; they keep their values across
 * conversions. GraphicsOptionFlag (default 1) is a bit set: 0x001 pictures may be
 * converted, 0x002 keep temporary picture files, 0x004 drop pictures, 0x010 and
 * 0x040 write a picture file as a reference or embedded, 0x080 and 0x200 write
 * picture data to a file named in the stream, 0x100 descriptions only, 0x400 add
 * a missing picture file header. */
ICF2HTML_API extern int GraphicsOptionFlag;
/* 1: pictures from a read-side converter pass through unconverted; default 0. */
ICF2HTML_API extern int KIVGraphMode;
/* Format numbers the target takes as they are: the first GraphicTargetFormatCount
 * of the 50 entries (default none). */
ICF2HTML_API extern int GraphicTargetFormat[50];
ICF2HTML_API extern int GraphicTargetFormatCount;
/* Embedded objects: exactly 1, 2 or 4 (default) shows an object's presentation
 * picture, any other value drops objects; bit 8 keeps their temporary files. */
ICF2HTML_API extern int OLEOptionFlag;

/* For graphic converter programs linked with this library: reports a picture's
 * extents (first pairs with heights, second with widths) to the converter's
 * caller through the extents file. Returns 0. */
ICF2HTML_API int SetGraphicsExtents(int first, int second);

#ifdef __cplusplus
}
#endif

#endif /* ICF2HTML_H */
