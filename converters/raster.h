// A decoded picture: 8-bit RGBA pixels, rows from the top. The readers and
// writers of the converter programs meet in this form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace converters {

struct Raster {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgba;  // width * height * 4 bytes
};

// Pictures larger than this many pixels are refused rather than allocated.
inline constexpr std::uint64_t max_pixels = 100'000'000;

// Result of a reader: the data is the format's, but broken; or it is not the
// format at all (the caller then answers with exit status 9).
enum class ReadResult { ok, corrupt, wrong_format };

using Bytes = std::vector<std::uint8_t>;

// Readers by format; each checks the format's signature first.
ReadResult read_png(const Bytes &data, Raster &out);
ReadResult read_jpeg(const Bytes &data, Raster &out);
ReadResult read_gif(const Bytes &data, Raster &out);
ReadResult read_tiff(const Bytes &data, Raster &out);
ReadResult read_bmp(const Bytes &data, Raster &out);
ReadResult read_pcx(const Bytes &data, Raster &out);

// Writers into an open file descriptor; true on success.
bool write_png(const Raster &picture, int fd);
bool write_jpeg(const Raster &picture, int fd);
bool write_gif(const Raster &picture, int fd);

// Sets up a raster of the given size; false when it is empty or too large.
bool allocate(Raster &out, std::uint64_t width, std::uint64_t height);

}  // namespace converters
