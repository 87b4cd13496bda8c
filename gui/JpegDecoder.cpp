// JPEG decoding from memory on libjpeg (interface version 62).

#include <cstdio>  // jpeglib.h needs FILE declared first

#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

#include "gui/ImageDecoding.h"
#include "gui/ImageResources.h"

static_assert(BITS_IN_JSAMPLE == 8, "the pixel conversion reads 8-bit samples");

namespace tarvel {
namespace {

constexpr std::size_t kMinimumBytes = 8;
// A progressive image can hold any number of scans, each a pass over the whole
// image; real ones have about ten. The limit bounds the work a damaged or hostile
// file can cause.
constexpr int kMaxScans = 500;
// Huffman coding spends at least one bit on every 8 x 8 block of every
// component (its DC code), so a file of n bytes holds at most 8n blocks. The
// source makes missing data the end of the image, so without this a header
// of a few bytes would have the whole claimed image allocated and decoded.
// Arithmetic coding can pack flat colour tighter; such an image is refused.
constexpr std::uint64_t kMaxBlocksPerByte = 8;
// libjpeg's own buffers at most: the whole-image coefficients of a progressive
// image of kMaxImagePixels with four full-resolution components (2 bytes a
// sample), and room for its tables and line buffers.
constexpr long kMaxLibraryMemory = 4 * 2 * kMaxImagePixels + 16 * 1024 * 1024;

struct ErrorManager {
  jpeg_error_mgr library;  // first, so that libjpeg's pointer to it is ours too
  std::jmp_buf jump;
};

// A fatal error goes back to the setjmp in ReadImage; warnings and messages are
// neither shown nor recorded.
[[noreturn]] void OnFatalError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
void OnMessage(j_common_ptr /*info*/, int /*level*/) {}
void OnOutput(j_common_ptr /*info*/) {}
void OnReset(j_common_ptr info) {
  info->err->msg_code = 0;
  info->err->num_warnings = 0;
}

void OnProgress(j_common_ptr info) {
  if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
    info->err->error_exit(info);
  }
}

// The memory source. When the data runs out, libjpeg is given an end-of-image
// marker, as often as it asks: a truncated image decodes to its full size.
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr /*info*/) {}
void TermSource(j_decompress_ptr /*info*/) {}
boolean FillInput(j_decompress_ptr info) {
  info->src->next_input_byte = kEndOfImage;
  info->src->bytes_in_buffer = sizeof kEndOfImage;
  return TRUE;
}
void SkipInput(j_decompress_ptr info, long count) {
  if (count <= 0) return;
  const std::size_t skipped = std::min(static_cast<std::size_t>(count), info->src->bytes_in_buffer);
  info->src->next_input_byte += skipped;
  info->src->bytes_in_buffer -= skipped;
}

bool DataCanHoldBlocks(const jpeg_decompress_struct& info, std::size_t bytes) {
  std::uint64_t blocks = 0;
  for (int c = 0; c < info.num_components; ++c) {
    blocks += std::uint64_t{info.comp_info[c].width_in_blocks} * info.comp_info[c].height_in_blocks;
  }
  return blocks <= kMaxBlocksPerByte * bytes;
}

// Everything a decode owns; see PngDecode in PngDecoder.cpp for why it lives
// apart from the function that calls setjmp.
struct JpegDecode {
  JpegDecode() = default;
  JpegDecode(const JpegDecode&) = delete;
  JpegDecode& operator=(const JpegDecode&) = delete;
  ~JpegDecode() {
    if (created) jpeg_destroy_decompress(&info);
  }

  jpeg_decompress_struct info{};
  ErrorManager errors{};
  jpeg_source_mgr source{};
  jpeg_progress_mgr progress{};
  bool created = false;
  std::unique_ptr<LICE_MemBitmap> bitmap;
};

void ConvertRow(const JSAMPLE* samples, int components, int width, LICE_Pixel* row) {
  switch (components) {
    case 3:
      for (int c = 0; c < width; ++c, samples += 3) {
        row[c] = 0xFF000000u | static_cast<LICE_Pixel>(samples[0]) << 16 |
                 static_cast<LICE_Pixel>(samples[1]) << 8 | samples[2];
      }
      break;
    case 1:
      for (int c = 0; c < width; ++c) {
        row[c] = 0xFF000000u | static_cast<LICE_Pixel>(samples[c]) * 0x010101u;
      }
      break;
    default:  // CMYK and other layouts are not converted: transparent black
      std::fill(row, row + width, LICE_Pixel{0});
      break;
  }
}

// Every libjpeg call happens here. A fatal error jumps back to the setjmp, so
// this function keeps no object that needs destruction: all state is in `d`.
bool ReadImage(JpegDecode& d, std::span<const std::uint8_t> data) {
  d.info.err = jpeg_std_error(&d.errors.library);
  d.errors.library.error_exit = OnFatalError;
  d.errors.library.emit_message = OnMessage;
  d.errors.library.output_message = OnOutput;
  d.errors.library.reset_error_mgr = OnReset;
  if (setjmp(d.errors.jump)) return false;

  jpeg_CreateDecompress(&d.info, JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct));
  d.created = true;
  // Beyond this libjpeg asks for backing store, which this build lacks: an error.
  d.info.mem->max_memory_to_use = kMaxLibraryMemory;

  d.source.next_input_byte = data.data();
  d.source.bytes_in_buffer = data.size();
  d.source.init_source = InitSource;
  d.source.fill_input_buffer = FillInput;
  d.source.skip_input_data = SkipInput;
  d.source.resync_to_restart = jpeg_resync_to_restart;
  d.source.term_source = TermSource;
  d.info.src = &d.source;
  d.progress.progress_monitor = OnProgress;
  d.info.progress = &d.progress;

  jpeg_read_header(&d.info, TRUE);
  if (!ImageSizeAcceptable(d.info.image_width, d.info.image_height)) return false;
  if (!DataCanHoldBlocks(d.info, data.size())) return false;
  jpeg_start_decompress(&d.info);
  const auto width = static_cast<int>(d.info.output_width);
  const auto height = static_cast<int>(d.info.output_height);
  const int components = d.info.output_components;
  if (!ImageSizeAcceptable(d.info.output_width, d.info.output_height)) return false;

  JSAMPARRAY line = d.info.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&d.info), JPOOL_IMAGE,
                                             d.info.output_width * components, 1);
  d.bitmap = MakeImageBitmap(width, height);
  if (!d.bitmap) return false;

  while (d.info.output_scanline < d.info.output_height) {
    LICE_Pixel* row = ImageRow(*d.bitmap, static_cast<int>(d.info.output_scanline));
    // The source never suspends, so every call delivers a line.
    if (jpeg_read_scanlines(&d.info, line, 1) != 1) return false;
    ConvertRow(line[0], components, width, row);
  }
  jpeg_finish_decompress(&d.info);
  return true;
}

}  // namespace

std::unique_ptr<LICE_MemBitmap> DecodeJpeg(std::span<const std::uint8_t> data) {
  if (data.size() < kMinimumBytes) return nullptr;
  JpegDecode d;
  if (!ReadImage(d, data)) return nullptr;
  return std::move(d.bitmap);
}

}  // namespace tarvel
