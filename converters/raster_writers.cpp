// Writers of the converters' output formats: PNG (the intermediate form),
// JPEG and GIF. Transparent pixels are set on white where a format has no alpha.
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include "raster.h"

namespace converters {

namespace {

constexpr int jpeg_quality = 90;
constexpr int gif_colours = 256;

std::uint8_t on_white(std::uint8_t value, std::uint8_t alpha) {
  return static_cast<std::uint8_t>((value * alpha + 255 * (255 - alpha)) / 255);
}

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf back;
};
void jpeg_fail(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegError *>(info->err)->back, 1); }

bool write_all(int fd, const void *data, std::size_t size) {
  const auto *p = static_cast<const std::uint8_t *>(data);
  while (size > 0) {
    const ssize_t done = write(fd, p, size);
    if (done <= 0) return false;
    p += done;
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

int gif_write(GifFileType *file, const GifByteType *data, int length) {
  return write_all(*static_cast<int *>(file->UserData), data, static_cast<std::size_t>(length)) ? length : 0;
}

}  // namespace

bool write_png(const Raster &picture, int fd) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = picture.width;
  image.height = picture.height;
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, picture.rgba.data(), 0, nullptr)) return false;
  std::vector<std::uint8_t> bytes(size);
  if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, picture.rgba.data(), 0, nullptr)) return false;
  return write_all(fd, bytes.data(), size);
}

bool write_jpeg(const Raster &picture, int fd) {
  jpeg_compress_struct info{};
  JpegError error{};
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = jpeg_fail;
  unsigned char *memory = nullptr;
  unsigned long size = 0;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(picture.width) * 3);
  if (setjmp(error.back)) {
    jpeg_destroy_compress(&info);
    free(memory);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &memory, &size);
  info.image_width = picture.width;
  info.image_height = picture.height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, jpeg_quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    const std::uint8_t *p = &picture.rgba[static_cast<std::size_t>(info.next_scanline) * picture.width * 4];
    for (std::uint32_t x = 0; x < picture.width; ++x)
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = on_white(p[x * 4 + c], p[x * 4 + 3]);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  const bool ok = write_all(fd, memory, size);
  free(memory);
  return ok;
}

bool write_gif(const Raster &picture, int fd) {
  const std::size_t pixels = static_cast<std::size_t>(picture.width) * picture.height;
  std::vector<GifByteType> red(pixels), green(pixels), blue(pixels), indices(pixels);
  for (std::size_t i = 0; i < pixels; ++i) {
    const std::uint8_t alpha = picture.rgba[i * 4 + 3];
    red[i] = on_white(picture.rgba[i * 4], alpha);
    green[i] = on_white(picture.rgba[i * 4 + 1], alpha);
    blue[i] = on_white(picture.rgba[i * 4 + 2], alpha);
  }
  int colour_count = gif_colours;
  GifColorType palette[gif_colours] = {};
  if (GifQuantizeBuffer(picture.width, picture.height, &colour_count, red.data(), green.data(), blue.data(),
                        indices.data(), palette) != GIF_OK)
    return false;
  int error = 0;
  int handle = fd;
  GifFileType *file = EGifOpen(&handle, gif_write, &error);
  if (!file) return false;
  ColorMapObject *map = GifMakeMapObject(gif_colours, palette);
  bool ok = map && EGifPutScreenDesc(file, static_cast<int>(picture.width), static_cast<int>(picture.height), 8, 0,
                                     map) == GIF_OK &&
            EGifPutImageDesc(file, 0, 0, static_cast<int>(picture.width), static_cast<int>(picture.height), false,
                             nullptr) == GIF_OK;
  for (std::uint32_t y = 0; ok && y < picture.height; ++y)
    ok = EGifPutLine(file, &indices[static_cast<std::size_t>(y) * picture.width], static_cast<int>(picture.width)) ==
         GIF_OK;
  GifFreeMapObject(map);
  if (EGifCloseFile(file, &error) != GIF_OK) ok = false;
  return ok;
}

}  // namespace converters
