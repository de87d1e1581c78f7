/* The floor of the command benchmark: the least a process must do to produce what a
 * command produces. It is linked with the same picture libraries as the program so
 * that its start costs the same loading and relocation.
 *
 *   bench_floor start
 *       returns at once: the cost of starting a process with these libraries.
 *   bench_floor work OP...
 *       runs the operations in order:
 *         read FILE            reads the file whole and keeps it, as a command holds
 *                              its input;
 *         png HEAD ROWS OUT    compresses the pixel rows (filter bytes included) at
 *                              zlib level 9, frames them as a PNG after HEAD (the
 *                              signature and the chunks before the first IDAT) and
 *                              writes OUT durably;
 *         deflate ROWS         the same compression, kept in memory (a picture that is
 *                              embedded in another output);
 *         jpeg HEAD ROWS OUT   encodes the RGB rows of that PNG shape with libjpeg at
 *                              quality 90 and writes OUT durably;
 *         bytes SRC OUT        writes the bytes of SRC durably to OUT (outputs whose own
 *                              making is not compression: text, BMP, ROM);
 *         code P8              reads the .p8 whole and compresses the bytes of its
 *                              "__lua__" section with brasswick's code compressor
 *                              (only in bench_code_floor, which links it: the other
 *                              floors keep a C program's start).
 *       "Durably" is a temporary file beside OUT, fsync, rename.
 *   bench_floor split PNG HEAD ROWS
 *       prepares a png operation from a PNG file: HEAD gets the bytes before its first
 *       IDAT chunk and ROWS the inflated content of all IDAT chunks.
 *   bench_floor page-pictures PAGE PREFIX INDEX...
 *       the same for pictures embedded in a page as base64 data URIs: picture INDEX (in
 *       page order, from 0) gives PREFIX.INDEX.head and PREFIX.INDEX.rows.
 * A failure prints one line on standard error and exits with status 1.
 */
#define _GNU_SOURCE /* memmem */
#include <errno.h>
#include <fcntl.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <png.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

/* jpeglib.h uses size_t and FILE without declaring them. */
#include <jpeglib.h>

enum { kIdatPayload = 8192, kJpegQuality = 90 };

typedef struct {
  unsigned char* data;
  size_t size;
  size_t capacity;
} Buffer;

static void Fail(const char* what, const char* path) {
  fprintf(stderr, "bench_floor: %s: %s\n", what, path);
  exit(1);
}

static void Append(Buffer* buffer, const void* bytes, size_t size) {
  if (buffer->size + size > buffer->capacity) {
    size_t capacity = buffer->capacity ? buffer->capacity : 4096;
    while (capacity < buffer->size + size) capacity *= 2;
    buffer->data = realloc(buffer->data, capacity);
    if (!buffer->data) Fail("out of memory", "");
    buffer->capacity = capacity;
  }
  memcpy(buffer->data + buffer->size, bytes, size);
  buffer->size += size;
}

static Buffer ReadFile(const char* path) {
  Buffer buffer = {NULL, 0, 0};
  int fd = open(path, O_RDONLY);
  struct stat info;
  if (fd < 0 || fstat(fd, &info) != 0) Fail("cannot open", path);
  buffer.capacity = (size_t)info.st_size + 1;
  buffer.data = malloc(buffer.capacity);
  if (!buffer.data) Fail("out of memory", path);
  for (;;) {
    if (buffer.size == buffer.capacity) { /* the file grew since fstat */
      buffer.data = realloc(buffer.data, buffer.capacity * 2);
      if (!buffer.data) Fail("out of memory", path);
      buffer.capacity *= 2;
    }
    ssize_t got = read(fd, buffer.data + buffer.size, buffer.capacity - buffer.size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) Fail("cannot read", path);
    if (got == 0) break;
    buffer.size += (size_t)got;
  }
  close(fd);
  return buffer;
}

static void WriteAll(int fd, const unsigned char* data, size_t size, const char* path) {
  while (size > 0) {
    ssize_t put = write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) Fail("cannot write", path);
    data += put;
    size -= (size_t)put;
  }
}

/* A hidden temporary beside the target, synced, then renamed over it. Only a regular
 * file (or nothing) may be replaced: renaming over a device such as /dev/null would
 * swap it for a plain file. */
static void WriteDurably(const char* path, const unsigned char* data, size_t size) {
  struct stat existing;
  if (lstat(path, &existing) == 0 && !S_ISREG(existing.st_mode)) {
    Fail("refusing to replace what is not a regular file", path);
  }
  const char* slash = strrchr(path, '/');
  size_t folder_length = slash ? (size_t)(slash - path) + 1 : 0;
  const char* name = path + folder_length;
  size_t length = folder_length + strlen(name) + 16;
  char* temp = malloc(length);
  if (!temp) Fail("out of memory", path);
  snprintf(temp, length, "%.*s.%s.tmp-XXXXXX", (int)folder_length, path, name);
  int fd = mkstemp(temp);
  if (fd < 0) Fail("cannot create a temporary beside", path);
  WriteAll(fd, data, size, path);
  if (fsync(fd) != 0 || close(fd) != 0) Fail("cannot sync", path);
  if (rename(temp, path) != 0) Fail("cannot rename onto", path);
  free(temp);
}

static uint32_t ReadBe32(const unsigned char* p) {
  return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

static void PutBe32(unsigned char* p, uint32_t value) {
  p[0] = (unsigned char)(value >> 24);
  p[1] = (unsigned char)(value >> 16);
  p[2] = (unsigned char)(value >> 8);
  p[3] = (unsigned char)value;
}

static void AppendChunk(Buffer* out, const char* type, const unsigned char* data, size_t size) {
  unsigned char header[8];
  PutBe32(header, (uint32_t)size);
  memcpy(header + 4, type, 4);
  Append(out, header, 8);
  if (size > 0) Append(out, data, size);
  uLong crc = crc32(0L, (const Bytef*)type, 4);
  if (size > 0) crc = crc32(crc, data, (uInt)size);
  unsigned char tail[4];
  PutBe32(tail, (uint32_t)crc);
  Append(out, tail, 4);
}

/* Level 9 with the window the PNG writer picks: a small picture gets a window just
 * large enough for its bytes. */
static Buffer Deflate(const Buffer* rows, const char* path) {
  int window_bits = 15;
  if (rows->size <= 16384) {
    unsigned half_window = 1u << (window_bits - 1);
    while (rows->size + 262 <= half_window) {
      half_window >>= 1;
      --window_bits;
    }
  }
  z_stream stream;
  memset(&stream, 0, sizeof stream);
  if (deflateInit2(&stream, 9, Z_DEFLATED, window_bits, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    Fail("cannot start zlib for", path);
  }
  Buffer out = {NULL, 0, 0};
  out.capacity = deflateBound(&stream, (uLong)rows->size);
  out.data = malloc(out.capacity);
  if (!out.data) Fail("out of memory", path);
  stream.next_in = rows->data;
  stream.avail_in = (uInt)rows->size;
  stream.next_out = out.data;
  stream.avail_out = (uInt)out.capacity;
  if (deflate(&stream, Z_FINISH) != Z_STREAM_END) Fail("cannot compress", path);
  out.size = out.capacity - stream.avail_out;
  deflateEnd(&stream);
  return out;
}

static void WritePng(const char* head_path, const char* rows_path, const char* out_path) {
  Buffer head = ReadFile(head_path);
  Buffer rows = ReadFile(rows_path);
  Buffer packed = Deflate(&rows, out_path);
  Buffer png = {NULL, 0, 0};
  Append(&png, head.data, head.size);
  for (size_t at = 0; at < packed.size; at += kIdatPayload) {
    size_t size = packed.size - at < kIdatPayload ? packed.size - at : kIdatPayload;
    AppendChunk(&png, "IDAT", packed.data + at, size);
  }
  AppendChunk(&png, "IEND", NULL, 0);
  WriteDurably(out_path, png.data, png.size);
  free(head.data);
  free(rows.data);
  free(packed.data);
  free(png.data);
}

static void DeflateOnly(const char* rows_path) {
  Buffer rows = ReadFile(rows_path);
  Buffer packed = Deflate(&rows, rows_path);
  free(rows.data);
  free(packed.data);
}

static void WriteJpeg(const char* head_path, const char* rows_path, const char* out_path) {
  Buffer head = ReadFile(head_path);
  Buffer rows = ReadFile(rows_path);
  if (head.size < 33 || memcmp(head.data + 12, "IHDR", 4) != 0) Fail("no IHDR in", head_path);
  const uint32_t width = ReadBe32(head.data + 16);
  const uint32_t height = ReadBe32(head.data + 20);
  if (head.data[24] != 8 || head.data[25] != 2) Fail("not 8-bit RGB rows", head_path);
  const size_t stride = 1 + (size_t)width * 3;
  if (rows.size != stride * height) Fail("rows do not match the header", rows_path);

  struct jpeg_compress_struct cinfo;
  struct jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  unsigned char* jpeg = NULL;
  unsigned long jpeg_size = 0;
  jpeg_mem_dest(&cinfo, &jpeg, &jpeg_size);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, kJpegQuality, FALSE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = rows.data + (size_t)cinfo.next_scanline * stride + 1;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  WriteDurably(out_path, jpeg, jpeg_size);
  free(jpeg);
  free(head.data);
  free(rows.data);
}

static void WriteBytes(const char* source, const char* out_path) {
  Buffer bytes = ReadFile(source);
  WriteDurably(out_path, bytes.data, bytes.size);
  free(bytes.data);
}

static void InflateOnly(const char* png_path);
static void ParseList(const char* script_path);

#ifdef BENCH_FLOOR_CODE
/* brasswick's code compressor (bench/floor_code.cc): the size of the stream. */
size_t FloorCompressCode(const unsigned char* code, size_t size);

/* The "__lua__" section's lines, up to the next marker line, compressed. */
static void CompressP8Code(const char* path) {
  Buffer text = ReadFile(path);
  Append(&text, "", 1); /* a terminator for the searches */
  const char* start = strstr((const char*)text.data, "\n__lua__\n");
  if (!start) Fail("no __lua__ section in", path);
  start += 9;
  const char* end = strstr(start, "\n__");
  if (!end) end = (const char*)text.data + text.size - 1;
  if (FloorCompressCode((const unsigned char*)start, (size_t)(end - start)) == 0) {
    Fail("cannot compress the code of", path);
  }
}
#endif

static int Work(int count, char** ops) {
  for (int i = 0; i < count;) {
    const char* op = ops[i];
    int need = strcmp(op, "read") == 0 || strcmp(op, "deflate") == 0 ||
                       strcmp(op, "inflate") == 0 || strcmp(op, "list") == 0 ||
                       strcmp(op, "code") == 0
                   ? 1
               : strcmp(op, "bytes") == 0                            ? 2
               : strcmp(op, "png") == 0 || strcmp(op, "jpeg") == 0   ? 3
                                                                     : -1;
    if (need < 0) Fail("unknown operation", op);
    if (i + need >= count) Fail("missing arguments to", op);
    char** arg = ops + i + 1;
    if (strcmp(op, "read") == 0) {
      ReadFile(arg[0]); /* kept until exit, as a command keeps its input */
    } else if (strcmp(op, "deflate") == 0) {
      DeflateOnly(arg[0]);
    } else if (strcmp(op, "inflate") == 0) {
      InflateOnly(arg[0]);
    } else if (strcmp(op, "list") == 0) {
      ParseList(arg[0]);
    } else if (strcmp(op, "code") == 0) {
#ifdef BENCH_FLOOR_CODE
      CompressP8Code(arg[0]);
#else
      Fail("this floor does not link the code compressor:", op);
#endif
    } else if (strcmp(op, "bytes") == 0) {
      WriteBytes(arg[0], arg[1]);
    } else if (strcmp(op, "png") == 0) {
      WritePng(arg[0], arg[1], arg[2]);
    } else {
      WriteJpeg(arg[0], arg[1], arg[2]);
    }
    i += need + 1;
  }
  return 0;
}

/* The PNG's IDAT contents inflated; *head_size gets the offset of the first IDAT. */
static Buffer InflatePng(const unsigned char* data, size_t size, const char* what,
                         size_t* head_size) {
  static const unsigned char kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  if (size < 8 || memcmp(data, kSignature, 8) != 0) Fail("not a PNG", what);
  z_stream stream;
  memset(&stream, 0, sizeof stream);
  if (inflateInit(&stream) != Z_OK) Fail("cannot start zlib for", what);
  Buffer rows = {NULL, 0, 0};
  *head_size = 0;
  unsigned char chunk_out[65536];
  for (size_t at = 8; at + 12 <= size;) {
    const uint32_t length = ReadBe32(data + at);
    if (length > size - at - 12) Fail("damaged chunk in", what);
    const unsigned char* type = data + at + 4;
    if (memcmp(type, "IDAT", 4) == 0) {
      if (*head_size == 0) *head_size = at;
      stream.next_in = (Bytef*)(data + at + 8);
      stream.avail_in = length;
      while (stream.avail_in > 0) {
        stream.next_out = chunk_out;
        stream.avail_out = sizeof chunk_out;
        int result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END) Fail("damaged IDAT in", what);
        Append(&rows, chunk_out, sizeof chunk_out - stream.avail_out);
        if (result == Z_STREAM_END) break;
      }
    }
    at += 12 + length;
  }
  inflateEnd(&stream);
  if (*head_size == 0) Fail("no IDAT in", what);
  return rows;
}

/* Everything before the first IDAT goes to head; the IDAT contents are inflated into
 * rows. */
static void SplitPng(const unsigned char* data, size_t size, const char* what,
                     const char* head_path, const char* rows_path) {
  size_t head_size = 0;
  Buffer rows = InflatePng(data, size, what, &head_size);
  int fd = open(head_path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) Fail("cannot create", head_path);
  WriteAll(fd, data, head_size, head_path);
  close(fd);
  fd = open(rows_path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) Fail("cannot create", rows_path);
  WriteAll(fd, rows.data, rows.size, rows_path);
  close(fd);
  free(rows.data);
}

/* The least decoding of a cartridge picture: its pixel rows inflated. */
static void InflateOnly(const char* png_path) {
  Buffer png = ReadFile(png_path);
  size_t head_size = 0;
  Buffer rows = InflatePng(png.data, png.size, png_path, &head_size);
  free(rows.data);
  free(png.data);
}

/* The least reading of a player's list: each decimal value after "_cartdat=[" stored as
 * a byte, up to the closing "]". */
static void ParseList(const char* script_path) {
  Buffer script = ReadFile(script_path);
  static const char kStart[] = "_cartdat=[";
  const unsigned char* at = NULL;
  for (size_t i = 0; i + sizeof kStart - 1 <= script.size; ++i) {
    if (memcmp(script.data + i, kStart, sizeof kStart - 1) == 0) {
      at = script.data + i + sizeof kStart - 1;
      break;
    }
  }
  if (!at) Fail("no list in", script_path);
  const unsigned char* end = script.data + script.size;
  unsigned char* bytes = malloc(32800);
  if (!bytes) Fail("out of memory", script_path);
  size_t count = 0;
  unsigned value = 0;
  for (; at < end && *at != ']'; ++at) {
    if (*at >= '0' && *at <= '9') {
      value = value * 10 + (unsigned)(*at - '0');
    } else if (*at == ',') {
      if (count < 32800) bytes[count++] = (unsigned char)value;
      value = 0;
    }
  }
  if (count < 32800) bytes[count++] = (unsigned char)value;
  volatile unsigned char keep = bytes[count / 2];
  (void)keep;
  free(bytes);
  free(script.data);
}

static int Base64Value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

static Buffer Base64Decode(const unsigned char* text, size_t size) {
  Buffer out = {NULL, 0, 0};
  uint32_t bits = 0;
  int held = 0;
  for (size_t i = 0; i < size && text[i] != '='; ++i) {
    const int value = Base64Value(text[i]);
    if (value < 0) continue;
    bits = (bits << 6) | (uint32_t)value;
    held += 6;
    if (held >= 8) {
      held -= 8;
      const unsigned char byte = (unsigned char)(bits >> held);
      Append(&out, &byte, 1);
    }
  }
  return out;
}

static int PagePictures(const char* page_path, const char* prefix, int count, char** indices) {
  Buffer page = ReadFile(page_path);
  static const char kUri[] = "\"data:image/";
  for (int n = 0; n < count; ++n) {
    const int wanted = atoi(indices[n]);
    const unsigned char* at = page.data;
    const unsigned char* end = page.data + page.size;
    int seen = -1;
    const unsigned char* hit = NULL;
    while (seen < wanted) {
      hit = memmem(at, (size_t)(end - at), kUri, sizeof kUri - 1);
      if (!hit) Fail("picture not in page", indices[n]);
      ++seen;
      at = hit + 1;
    }
    const unsigned char* close = memchr(hit + 1, '"', (size_t)(end - hit - 1));
    const unsigned char* comma = memchr(hit, ',', (size_t)(end - hit));
    if (!close || !comma || comma > close) Fail("damaged data URI", indices[n]);
    Buffer png = Base64Decode(comma + 1, (size_t)(close - comma - 1));
    size_t length = strlen(prefix) + strlen(indices[n]) + 8;
    char* head_path = malloc(length);
    char* rows_path = malloc(length);
    if (!head_path || !rows_path) Fail("out of memory", prefix);
    snprintf(head_path, length, "%s.%s.head", prefix, indices[n]);
    snprintf(rows_path, length, "%s.%s.rows", prefix, indices[n]);
    SplitPng(png.data, png.size, indices[n], head_path, rows_path);
    free(head_path);
    free(rows_path);
    free(png.data);
  }
  free(page.data);
  return 0;
}

int main(int argc, char** argv) {
  /* Never true; it keeps every library linked even where the linker drops unused ones. */
  if (argc < 0) {
    printf("%p %s %p %s\n", (void*)gdk_pixbuf_get_type(), png_get_libpng_ver(NULL),
           (void*)jpeg_std_error, zlibVersion());
  }
  if (argc >= 2 && strcmp(argv[1], "start") == 0) return 0;
  if (argc >= 3 && strcmp(argv[1], "work") == 0) return Work(argc - 2, argv + 2);
  if (argc == 5 && strcmp(argv[1], "split") == 0) {
    Buffer png = ReadFile(argv[2]);
    SplitPng(png.data, png.size, argv[2], argv[3], argv[4]);
    free(png.data);
    return 0;
  }
  if (argc >= 5 && strcmp(argv[1], "page-pictures") == 0) {
    return PagePictures(argv[2], argv[3], argc - 4, argv + 4);
  }
  fprintf(stderr,
          "usage: bench_floor start | work OP... | split PNG HEAD ROWS |"
          " page-pictures PAGE PREFIX INDEX...\n");
  return 2;
}
