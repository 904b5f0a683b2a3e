// Picture files: the names of extracted pictures ("GR", six digits and an
// extension beside a base path, or an embedded file's own name), temporary
// picture files, and the moving of picture bytes between files and the stream.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kiv {

inline constexpr int picture_name_size = 256;

struct PictureFileState {
  std::int32_t GraphTempNum = 0;  // next number of a generated picture name
};
extern PictureFileState picture_files;

// Back to the state at the start of a conversion: picture names count from 0
// again, so that every conversion names its pictures as a fresh process would.
void reset_picture_files();

// out = the directory of basePath (through its last '\', '/' or ':'), "GR", the
// next free six-digit number and "." extension. out holds picture_name_size
// bytes. 0, or -1 when the name does not fit or no free number was found.
int GenGrBaseName(const char *basePath, char *out, const char *extension);
// out = the directory of basePath followed by the last component of
// sourceName, or a "GR" name with the extension GRX when that file exists or
// the component names no file ("", "." or ".."). 0, or -1 as above.
int GenGrEmbedName(const char *sourceName, const char *basePath, char *out);

// Reads a name parameter of the current code into out (size bytes, NUL
// included): bytes up to US, RS (left in the stream) or the end; nested codes
// are skipped, double quotes dropped when drop_quotes is set, and what does not
// fit is dropped.
void read_name_parameter(char *out, int size, bool drop_quotes);

// A new temporary file beside the intermediate file, its name in out
// (picture_name_size bytes). 0 or -1.
int make_temporary_picture(char *out);
// Removes a picture file the library made, unless GraphicsOptionFlag keeps
// temporary files (bit 0x002) and keep_allowed is set. Only a regular file is
// ever removed.
void remove_picture_file(const char *name, bool keep_allowed = true);
// Writes the hex data of the current code (pairs up to the US that ends it)
// into a new file; 0, or -1 when it cannot be created or written (the file is
// then removed).
int hex_data_to_file(const char *name, int kind);
// Writes every byte of a file as two hex digits to the target; 0, or -1 when
// it cannot be opened.
int file_to_hex(const char *name);
// Writes a file's bytes as hex through a sink of the OLE kind; 0, -1 or 8.
int file_to_hex_sink(const char *name, int (*sink)(int));
// True when name (by lstat) is an existing directory entry of any kind.
bool picture_name_taken(const char *name);

}  // namespace kiv
