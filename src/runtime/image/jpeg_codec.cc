// JPEG through libjpeg. Its fatal errors come back here by longjmp from error_exit:
// every call into libjpeg happens in a function of this file that does its own setjmp
// and holds only plain values; buffers and handles belong to the callers. Warnings and
// messages are swallowed, but the warnings that mean damaged data fail the decode.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

// jpeglib.h uses size_t and FILE without declaring them, so it comes after <cstdio>.
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "runtime/image/encoder_input.h"
#include "runtime/image/image_codecs.h"

namespace brasswick {

namespace {

// Enough for any accepted size in baseline mode; a progressive picture whose
// coefficient buffers would need more fails instead of exhausting the machine.
constexpr long kMaxDecoderMemory = 1536L << 20;
// A stream with more scans than this is hostile, not a real progressive picture.
constexpr int kMaxScans = 1000;
constexpr size_t kOutputChunk = 64 * 1024;

struct ErrorTrap {
  jpeg_error_mgr manager;  // first, so the libjpeg pointer converts back
  jmp_buf jump;
  bool damaged;
};

[[noreturn]] void OnJpegError(j_common_ptr cinfo) {
  auto* trap = reinterpret_cast<ErrorTrap*>(cinfo->err);
  longjmp(trap->jump, 1);
}

void OnJpegMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_NOT_SEQUENTIAL:
      reinterpret_cast<ErrorTrap*>(cinfo->err)->damaged = true;
      break;
    default:
      break;
  }
}

void OnJpegOutput(j_common_ptr) {}

void InstallTrap(ErrorTrap* trap) {
  jpeg_std_error(&trap->manager);
  trap->manager.error_exit = OnJpegError;
  trap->manager.emit_message = OnJpegMessage;
  trap->manager.output_message = OnJpegOutput;
  trap->damaged = false;
}

void OnProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (dinfo->input_scan_number > kMaxScans) {
    cinfo->err->msg_code = JERR_NOTIMPL;
    cinfo->err->error_exit(cinfo);
  }
}

// --- source: the whole file is in memory; running out of it is a fatal error ---

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
  cinfo->err->msg_code = JERR_INPUT_EOF;
  cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
  return FALSE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = cinfo->src;
  if (static_cast<unsigned long>(count) > source->bytes_in_buffer) {
    FillInput(cinfo);
    return;
  }
  source->next_input_byte += count;
  source->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

struct DecodeState {
  jpeg_decompress_struct cinfo;
  ErrorTrap trap;
  jpeg_source_mgr source;
  jpeg_progress_mgr progress;
  bool created = false;
  DecodeState() = default;
  ~DecodeState() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
  DecodeState(const DecodeState&) = delete;
  DecodeState& operator=(const DecodeState&) = delete;
};

bool ReadJpegHeader(DecodeState* state, const uint8_t* data, size_t size) {
  InstallTrap(&state->trap);
  state->cinfo.err = &state->trap.manager;
  if (setjmp(state->trap.jump)) return false;
  jpeg_create_decompress(&state->cinfo);
  state->created = true;
  state->cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
  state->source.next_input_byte = data;
  state->source.bytes_in_buffer = size;
  state->source.init_source = InitSource;
  state->source.fill_input_buffer = FillInput;
  state->source.skip_input_data = SkipInput;
  state->source.resync_to_restart = jpeg_resync_to_restart;
  state->source.term_source = TermSource;
  state->cinfo.src = &state->source;
  state->progress.progress_monitor = OnProgress;
  state->cinfo.progress = &state->progress;
  if (jpeg_read_header(&state->cinfo, TRUE) != JPEG_HEADER_OK) return false;
  // libjpeg converts greyscale and YCbCr to RGB; CMYK and YCCK fail in start.
  state->cinfo.out_color_space = JCS_RGB;
  return true;
}

bool ReadJpegPixels(DecodeState* state, RgbaImage* image) {
  if (setjmp(state->trap.jump)) return false;
  jpeg_decompress_struct& cinfo = state->cinfo;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 3 ||
      cinfo.output_width != static_cast<JDIMENSION>(image->width()) ||
      cinfo.output_height != static_cast<JDIMENSION>(image->height())) {
    return false;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = image->Row(static_cast<int>(cinfo.output_scanline));
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  return !state->trap.damaged;
}

// --- destination: chunks appended to a vector ---

struct Destination {
  jpeg_destination_mgr manager;  // first, so the libjpeg pointer converts back
  std::vector<uint8_t>* out;
  uint8_t chunk[kOutputChunk];
};

bool Append(Destination* destination, size_t count) {
  try {
    destination->out->insert(destination->out->end(), destination->chunk,
                             destination->chunk + count);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void InitDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<Destination*>(cinfo->dest);
  destination->manager.next_output_byte = destination->chunk;
  destination->manager.free_in_buffer = kOutputChunk;
}

boolean EmptyOutput(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<Destination*>(cinfo->dest);
  if (!Append(destination, kOutputChunk)) {
    cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
    cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
  }
  InitDestination(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<Destination*>(cinfo->dest);
  if (!Append(destination, kOutputChunk - destination->manager.free_in_buffer)) {
    cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
    cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
  }
}

struct EncodeState {
  jpeg_compress_struct cinfo;
  ErrorTrap trap;
  Destination destination;
  bool created = false;
  EncodeState() = default;
  ~EncodeState() {
    if (created) jpeg_destroy_compress(&cinfo);
  }
  EncodeState(const EncodeState&) = delete;
  EncodeState& operator=(const EncodeState&) = delete;
};

bool WriteJpeg(EncodeState* state, EncoderInput* input, int quality) {
  InstallTrap(&state->trap);
  state->cinfo.err = &state->trap.manager;
  if (setjmp(state->trap.jump)) return false;
  jpeg_create_compress(&state->cinfo);
  state->created = true;
  jpeg_compress_struct& cinfo = state->cinfo;
  state->destination.manager.init_destination = InitDestination;
  state->destination.manager.empty_output_buffer = EmptyOutput;
  state->destination.manager.term_destination = TermDestination;
  cinfo.dest = &state->destination.manager;
  cinfo.image_width = static_cast<JDIMENSION>(input->width());
  cinfo.image_height = static_cast<JDIMENSION>(input->height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, FALSE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    // The encoder input is RGB here: alpha is never kept for JPEG.
    JSAMPROW row = const_cast<JSAMPROW>(input->Row(static_cast<int>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  return true;
}

}  // namespace

bool HasJpegSignature(const uint8_t* data, size_t size) {
  return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

ImagePtr DecodeJpeg(const uint8_t* data, size_t size) {
  if (!HasJpegSignature(data, size)) return nullptr;
  auto state = std::make_unique<DecodeState>();
  if (!ReadJpegHeader(state.get(), data, size)) return nullptr;
  const JDIMENSION width = state->cinfo.image_width;
  const JDIMENSION height = state->cinfo.image_height;
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) {
    return nullptr;
  }
  ImagePtr image = AllocateImage(static_cast<int>(width), static_cast<int>(height), false, 24);
  if (!image) return nullptr;
  if (!ReadJpegPixels(state.get(), image.get())) return nullptr;
  return image;
}

bool EncodeJpeg(EncoderInput& input, int quality, std::vector<uint8_t>& out) {
  if (input.channels() != 3) return false;
  auto state = std::make_unique<EncodeState>();
  state->destination.out = &out;
  return WriteJpeg(state.get(), &input, quality);
}

}  // namespace brasswick
