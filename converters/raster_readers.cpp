// Readers of the raster formats the converters take, into RGBA rasters.
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "raster.h"

namespace converters {

bool allocate(Raster &out, std::uint64_t width, std::uint64_t height) {
  if (width == 0 || height == 0 || width > max_pixels || height > max_pixels || width * height > max_pixels)
    return false;
  out.width = static_cast<std::uint32_t>(width);
  out.height = static_cast<std::uint32_t>(height);
  out.rgba.assign(width * height * 4, 0);
  return true;
}

namespace {

bool starts_with(const Bytes &data, std::initializer_list<std::uint8_t> prefix) {
  return data.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), data.begin());
}

unsigned le16(const Bytes &d, std::size_t at) { return at + 2 <= d.size() ? d[at] | (d[at + 1] << 8) : 0; }
std::uint32_t le32(const Bytes &d, std::size_t at) {
  return at + 4 <= d.size() ? d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (std::uint32_t{d[at + 3]} << 24) : 0;
}

void put_pixel(Raster &r, std::uint32_t x, std::uint32_t y, std::uint8_t red, std::uint8_t green, std::uint8_t blue,
               std::uint8_t alpha = 255) {
  std::uint8_t *p = &r.rgba[(static_cast<std::size_t>(y) * r.width + x) * 4];
  p[0] = red;
  p[1] = green;
  p[2] = blue;
  p[3] = alpha;
}

// ---- JPEG: errors jump back instead of ending the program.
struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf back;
};

void jpeg_fail(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegError *>(info->err)->back, 1); }
void jpeg_quiet(j_common_ptr, int) {}

// ---- GIF from memory.
struct GifInput {
  const Bytes *data;
  std::size_t position;
};

int gif_read(GifFileType *file, GifByteType *buffer, int length) {
  auto *in = static_cast<GifInput *>(file->UserData);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length), in->data->size() - in->position);
  std::memcpy(buffer, in->data->data() + in->position, n);
  in->position += n;
  return static_cast<int>(n);
}

// ---- TIFF from memory.
struct TiffInput {
  const Bytes *data;
  toff_t position;
};

tsize_t tiff_read(thandle_t h, tdata_t buffer, tsize_t size) {
  auto *in = static_cast<TiffInput *>(h);
  if (in->position >= in->data->size() || size <= 0) return 0;
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), in->data->size() - in->position);
  std::memcpy(buffer, in->data->data() + in->position, n);
  in->position += n;
  return static_cast<tsize_t>(n);
}
tsize_t tiff_write(thandle_t, tdata_t, tsize_t) { return 0; }
toff_t tiff_seek(thandle_t h, toff_t offset, int whence) {
  auto *in = static_cast<TiffInput *>(h);
  toff_t base = whence == SEEK_CUR ? in->position : (whence == SEEK_END ? in->data->size() : 0);
  in->position = base + offset;
  return in->position;
}
int tiff_close(thandle_t) { return 0; }
toff_t tiff_size(thandle_t h) { return static_cast<TiffInput *>(h)->data->size(); }
int tiff_map(thandle_t, tdata_t *, toff_t *) { return 0; }
void tiff_unmap(thandle_t, tdata_t, toff_t) {}

}  // namespace

ReadResult read_png(const Bytes &data, Raster &out) {
  if (!starts_with(data, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return ReadResult::wrong_format;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data.data(), data.size())) return ReadResult::corrupt;
  image.format = PNG_FORMAT_RGBA;
  if (!allocate(out, image.width, image.height)) {
    png_image_free(&image);
    return ReadResult::corrupt;
  }
  if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) return ReadResult::corrupt;
  return ReadResult::ok;
}

ReadResult read_jpeg(const Bytes &data, Raster &out) {
  if (!starts_with(data, {0xFF, 0xD8, 0xFF})) return ReadResult::wrong_format;
  jpeg_decompress_struct info{};
  JpegError error{};
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = jpeg_fail;
  error.manager.emit_message = jpeg_quiet;
  std::vector<std::uint8_t> row;
  if (setjmp(error.back)) {
    jpeg_destroy_decompress(&info);
    return ReadResult::corrupt;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  if (!allocate(out, info.output_width, info.output_height)) {
    jpeg_destroy_decompress(&info);
    return ReadResult::corrupt;
  }
  row.resize(static_cast<std::size_t>(info.output_width) * 3);
  while (info.output_scanline < info.output_height) {
    const std::uint32_t y = info.output_scanline;
    JSAMPROW rows[1] = {row.data()};
    jpeg_read_scanlines(&info, rows, 1);
    for (std::uint32_t x = 0; x < out.width; ++x) put_pixel(out, x, y, row[x * 3], row[x * 3 + 1], row[x * 3 + 2]);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return ReadResult::ok;
}

ReadResult read_gif(const Bytes &data, Raster &out) {
  if (!starts_with(data, {'G', 'I', 'F'})) return ReadResult::wrong_format;
  GifInput input{&data, 0};
  int error = 0;
  GifFileType *file = DGifOpen(&input, gif_read, &error);
  if (!file) return ReadResult::corrupt;
  ReadResult result = ReadResult::corrupt;
  if (DGifSlurp(file) == GIF_OK && file->ImageCount > 0 && allocate(out, file->SWidth, file->SHeight)) {
    const SavedImage &frame = file->SavedImages[0];
    const ColorMapObject *colours = frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : file->SColorMap;
    GraphicsControlBlock control{};
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(file, 0, &control);
    if (colours) {
      std::fill(out.rgba.begin(), out.rgba.end(), 255);
      const GifImageDesc &d = frame.ImageDesc;
      for (int y = 0; y < d.Height; ++y) {
        for (int x = 0; x < d.Width; ++x) {
          const int cx = d.Left + x;
          const int cy = d.Top + y;
          if (cx < 0 || cy < 0 || cx >= file->SWidth || cy >= file->SHeight) continue;
          const int index = frame.RasterBits[static_cast<std::size_t>(y) * d.Width + x];
          if (index == control.TransparentColor) {
            put_pixel(out, cx, cy, 255, 255, 255, 0);
          } else if (index < colours->ColorCount) {
            const GifColorType &c = colours->Colors[index];
            put_pixel(out, cx, cy, c.Red, c.Green, c.Blue);
          }
        }
      }
      result = ReadResult::ok;
    }
  }
  DGifCloseFile(file, &error);
  return result;
}

ReadResult read_tiff(const Bytes &data, Raster &out) {
  if (!starts_with(data, {'I', 'I', '*', 0}) && !starts_with(data, {'M', 'M', 0, '*'})) return ReadResult::wrong_format;
  TIFFSetWarningHandler(nullptr);
  TIFFSetErrorHandler(nullptr);
  TiffInput input{&data, 0};
  TIFF *tiff = TIFFClientOpen("picture", "rm", &input, tiff_read, tiff_write, tiff_seek, tiff_close, tiff_size,
                              tiff_map, tiff_unmap);
  if (!tiff) return ReadResult::corrupt;
  std::uint32_t width = 0, height = 0;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  ReadResult result = ReadResult::corrupt;
  if (allocate(out, width, height)) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    if (TIFFReadRGBAImageOriented(tiff, width, height, pixels.data(), ORIENTATION_TOPLEFT, 0)) {
      for (std::size_t i = 0; i < pixels.size(); ++i) {
        const std::uint32_t p = pixels[i];
        out.rgba[i * 4] = static_cast<std::uint8_t>(TIFFGetR(p));
        out.rgba[i * 4 + 1] = static_cast<std::uint8_t>(TIFFGetG(p));
        out.rgba[i * 4 + 2] = static_cast<std::uint8_t>(TIFFGetB(p));
        out.rgba[i * 4 + 3] = static_cast<std::uint8_t>(TIFFGetA(p));
      }
      result = ReadResult::ok;
    }
  }
  TIFFClose(tiff);
  return result;
}

// Windows and OS/2 bitmaps: 1, 4, 8, 16, 24 and 32 bits per pixel, uncompressed
// or with bit-field masks.
ReadResult read_bmp(const Bytes &d, Raster &out) {
  if (!starts_with(d, {'B', 'M'}) || d.size() < 26) return ReadResult::wrong_format;
  const std::uint32_t pixels_at = le32(d, 10);
  const std::uint32_t header_size = le32(d, 14);
  std::int64_t width, height;
  unsigned bits, compression = 0, palette_entry = 4;
  std::uint32_t colours_used = 0;
  if (header_size == 12) {
    width = le16(d, 18);
    height = static_cast<std::int16_t>(le16(d, 20));
    bits = le16(d, 24);
    palette_entry = 3;
  } else if (header_size >= 40 && d.size() >= 54) {
    width = static_cast<std::int32_t>(le32(d, 18));
    height = static_cast<std::int32_t>(le32(d, 22));
    bits = le16(d, 28);
    compression = le32(d, 30);
    colours_used = le32(d, 46);
  } else {
    return ReadResult::corrupt;
  }
  const bool top_down = height < 0;
  if (top_down) height = -height;
  if (width <= 0 || !allocate(out, static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height)))
    return ReadResult::corrupt;
  const bool masks = compression == 3 && (bits == 16 || bits == 32);
  if (compression != 0 && !masks) return ReadResult::corrupt;
  std::uint32_t mask[3] = {0x7C00, 0x03E0, 0x001F};
  if (bits == 32) mask[0] = 0xFF0000, mask[1] = 0xFF00, mask[2] = 0xFF;
  if (masks) {
    const std::size_t at = header_size == 40 ? 54 : 14 + 40;
    for (int i = 0; i < 3; ++i) mask[i] = le32(d, at + 4 * i);
  }
  const std::size_t palette_at = 14 + header_size;
  const std::uint32_t palette_size = bits <= 8 ? (colours_used && colours_used <= 256u ? colours_used : 1u << bits) : 0;
  const auto palette = [&](unsigned index, int channel) -> std::uint8_t {
    const std::size_t at = palette_at + static_cast<std::size_t>(index) * palette_entry;
    if (index >= palette_size || at + 3 > d.size()) return 0;
    return d[at + 2 - channel];  // stored blue, green, red
  };
  const auto from_mask = [](std::uint32_t value, std::uint32_t m) -> std::uint8_t {
    if (m == 0) return 0;
    int shift = 0;
    while (!((m >> shift) & 1)) ++shift;
    const std::uint32_t top = m >> shift;
    return static_cast<std::uint8_t>(((value & m) >> shift) * 255 / top);
  };
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return ReadResult::corrupt;
  const std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
  for (std::uint32_t row = 0; row < out.height; ++row) {
    const std::size_t start = pixels_at + stride * row;
    const std::uint32_t y = top_down ? row : out.height - 1 - row;
    for (std::uint32_t x = 0; x < out.width; ++x) {
      const std::size_t bit = static_cast<std::size_t>(x) * bits;
      const std::size_t at = start + bit / 8;
      if (at + (bits + 7) / 8 > d.size()) return ReadResult::corrupt;
      if (bits <= 8) {
        const unsigned index = (d[at] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        put_pixel(out, x, y, palette(index, 0), palette(index, 1), palette(index, 2));
      } else if (bits == 24) {
        put_pixel(out, x, y, d[at + 2], d[at + 1], d[at]);
      } else {
        const std::uint32_t v = bits == 16 ? le16(d, at) : le32(d, at);
        put_pixel(out, x, y, from_mask(v, mask[0]), from_mask(v, mask[1]), from_mask(v, mask[2]));
      }
    }
  }
  return ReadResult::ok;
}

// PCX: run-length coded planes; 1 bit in 1 or 4 planes, 2, 4 or 8 bits in one
// plane with a palette, and 8 bits in 3 planes (RGB).
ReadResult read_pcx(const Bytes &d, Raster &out) {
  if (d.size() < 128 || d[0] != 0x0A || d[1] > 10 || d[2] > 1) return ReadResult::wrong_format;
  const unsigned bits = d[3];
  const unsigned planes = d[65];
  const unsigned line_bytes = le16(d, 66);
  const int width = static_cast<int>(le16(d, 8)) - static_cast<int>(le16(d, 4)) + 1;
  const int height = static_cast<int>(le16(d, 10)) - static_cast<int>(le16(d, 6)) + 1;
  const bool supported = (bits == 1 && (planes == 1 || planes == 4)) || (planes == 1 && (bits == 2 || bits == 4 || bits == 8)) ||
                         (bits == 8 && planes == 3);
  if (!supported || width <= 0 || height <= 0 || line_bytes == 0 || line_bytes * 8u < static_cast<unsigned>(width) * bits)
    return ReadResult::corrupt;
  if (!allocate(out, static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height))) return ReadResult::corrupt;
  const bool big_palette = bits == 8 && planes == 1 && d.size() >= 769 + 128 && d[d.size() - 769] == 0x0C;
  const auto colour = [&](unsigned index, int channel) -> std::uint8_t {
    if (big_palette) return d[d.size() - 768 + index * 3 + channel];
    if (bits == 1 && planes == 1) return index ? 255 : 0;
    return d[16 + (index % 16) * 3 + channel];
  };
  std::vector<std::uint8_t> scan(static_cast<std::size_t>(line_bytes) * planes);
  std::size_t at = 128;
  for (int y = 0; y < height; ++y) {
    std::size_t filled = 0;
    while (filled < scan.size()) {
      if (at >= d.size()) return ReadResult::corrupt;
      std::uint8_t byte = d[at++];
      std::size_t count = 1;
      if (d[2] == 1 && (byte & 0xC0) == 0xC0) {
        count = byte & 0x3F;
        if (at >= d.size()) return ReadResult::corrupt;
        byte = d[at++];
      }
      for (; count > 0 && filled < scan.size(); --count) scan[filled++] = byte;
    }
    for (int x = 0; x < width; ++x) {
      if (bits == 8 && planes == 3) {
        put_pixel(out, x, y, scan[x], scan[line_bytes + x], scan[2 * line_bytes + x]);
        continue;
      }
      unsigned index = 0;
      for (unsigned p = 0; p < planes; ++p) {
        const std::size_t bit = static_cast<std::size_t>(x) * bits;
        const unsigned value = (scan[p * line_bytes + bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        index |= value << p;
      }
      put_pixel(out, x, y, colour(index, 0), colour(index, 1), colour(index, 2));
    }
  }
  return ReadResult::ok;
}

}  // namespace converters
