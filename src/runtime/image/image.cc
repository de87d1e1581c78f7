// RgbaImage and the whole-image operations: allocation, creation, copies, crops,
// resizing, and loading by content.
#include "runtime/image/image.h"

#include <dlfcn.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstring>
#include <limits>

#include "runtime/image/image_codecs.h"
#include "runtime/platform/file_system.h"

namespace brasswick {

namespace {

bool ValidSide(int side) { return side >= 1 && side <= kMaxImageSide; }

// The ABI name of GdkPixbuf 2, whose headers the calls below are typed by.
constexpr char kPixbufLibraryName[] = "libgdk_pixbuf-2.0.so.0";

// GdkPixbuf, with the GLib stack beneath it, is most of what a start would load, and
// only its scaler is needed: pictures live in plain buffers, and the library is opened
// when the first picture is scaled, so that runs that scale none (help, copy, convert,
// the exports at scale 1) start without it. Nothing else in the program calls it.
struct PixbufLibrary {
  decltype(&gdk_pixbuf_new_from_data) wrap = nullptr;
  decltype(&gdk_pixbuf_scale_simple) scale_simple = nullptr;
  decltype(&gdk_pixbuf_get_pixels) get_pixels = nullptr;
  decltype(&gdk_pixbuf_get_width) get_width = nullptr;
  decltype(&gdk_pixbuf_get_height) get_height = nullptr;
  decltype(&gdk_pixbuf_get_n_channels) get_n_channels = nullptr;
  decltype(&gdk_pixbuf_get_rowstride) get_rowstride = nullptr;
  decltype(&g_object_unref) unref = nullptr;  // GObject's, found through GdkPixbuf
};

template <typename Function>
bool FindFunction(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

// The library, or null when it cannot be opened (then no picture can be made).
const PixbufLibrary* Pixbufs() {
  static const PixbufLibrary* const library = []() -> const PixbufLibrary* {
    static PixbufLibrary functions;
    void* handle = dlopen(kPixbufLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    const bool found =
        FindFunction(handle, "gdk_pixbuf_new_from_data", functions.wrap) &&
        FindFunction(handle, "gdk_pixbuf_scale_simple", functions.scale_simple) &&
        FindFunction(handle, "gdk_pixbuf_get_pixels", functions.get_pixels) &&
        FindFunction(handle, "gdk_pixbuf_get_width", functions.get_width) &&
        FindFunction(handle, "gdk_pixbuf_get_height", functions.get_height) &&
        FindFunction(handle, "gdk_pixbuf_get_n_channels", functions.get_n_channels) &&
        FindFunction(handle, "gdk_pixbuf_get_rowstride", functions.get_rowstride) &&
        FindFunction(handle, "g_object_unref", functions.unref);
    return found ? &functions : nullptr;
  }();
  return library;
}

// The rectangle of image's pixels scaled to width x height, as a new pixbuf the caller
// owns. The scaler reads the rectangle through a pixbuf that views it, no copy. Null
// when the library cannot be opened or fails (as it does when its memory runs out).
GdkPixbuf* ScaleRegion(const RgbaImage& image, int x, int y, int region_width, int region_height,
                       int width, int height, ResizeMode mode) {
  const PixbufLibrary* library = Pixbufs();
  if (library == nullptr) return nullptr;
  const uint8_t* first = image.Row(y) + static_cast<size_t>(x) * image.channels();
  // The scaler only reads its source.
  GdkPixbuf* region =
      library->wrap(const_cast<uint8_t*>(first), GDK_COLORSPACE_RGB, image.channels() == 4, 8,
                    region_width, region_height, image.rowstride(), nullptr, nullptr);
  if (region == nullptr) return nullptr;
  const GdkInterpType interp = mode == ResizeMode::kRaw ? GDK_INTERP_NEAREST : GDK_INTERP_BILINEAR;
  GdkPixbuf* scaled = library->scale_simple(region, width, height, interp);
  library->unref(region);
  return scaled;
}

}  // namespace

RgbaImage::RgbaImage(GdkPixbuf* pixbuf, int source_depth)
    : pixbuf_(pixbuf), source_depth_(source_depth) {
  CacheLayout();
}

RgbaImage::RgbaImage(std::unique_ptr<uint8_t[]> buffer, int width, int height, int channels,
                     int rowstride, int source_depth)
    : buffer_(std::move(buffer)),
      pixels_(buffer_.get()),
      width_(width),
      height_(height),
      channels_(channels),
      rowstride_(rowstride),
      source_depth_(source_depth) {}

RgbaImage::~RgbaImage() {
  if (pixbuf_ != nullptr) Pixbufs()->unref(pixbuf_);
}

void RgbaImage::ReplacePixbuf(GdkPixbuf* pixbuf) {
  if (pixbuf == pixbuf_) return;
  if (pixbuf_ != nullptr) Pixbufs()->unref(pixbuf_);
  pixbuf_ = pixbuf;
  buffer_.reset();
  CacheLayout();
}

void RgbaImage::CacheLayout() {
  if (pixbuf_ == nullptr) {
    pixels_ = nullptr;
    width_ = height_ = channels_ = rowstride_ = 0;
    return;
  }
  // Reading the pixels through the non-const accessor would copy a read-only
  // pixbuf; ours are always created writable.
  const PixbufLibrary* library = Pixbufs();
  pixels_ = library->get_pixels(pixbuf_);
  width_ = library->get_width(pixbuf_);
  height_ = library->get_height(pixbuf_);
  channels_ = library->get_n_channels(pixbuf_);
  rowstride_ = library->get_rowstride(pixbuf_);
}

ImagePtr AllocateImage(int width, int height, bool has_alpha, int source_depth) {
  // The sides are limited first so that the size arithmetic cannot overflow.
  if (!ValidSide(width) || !ValidSide(height)) return nullptr;
  const uint64_t channels = has_alpha ? 4 : 3;
  // Rows start on 4-byte boundaries, as the scaler's own pictures do.
  const uint64_t row_bytes = ((static_cast<uint64_t>(width) * channels) + 3) & ~uint64_t{3};
  if (row_bytes > static_cast<uint64_t>(std::numeric_limits<int>::max())) return nullptr;
  const uint64_t size = row_bytes * static_cast<uint64_t>(height);
  if (size > static_cast<uint64_t>(std::numeric_limits<std::ptrdiff_t>::max())) return nullptr;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
  return ImagePtr(new RgbaImage(std::move(buffer), width, height, static_cast<int>(channels),
                                static_cast<int>(row_bytes), source_depth));
}

ImagePtr CreateImage(int width, int height, int depth) {
  if (depth != 24 && depth != 32) return nullptr;
  ImagePtr image = AllocateImage(width, height, depth == 32, depth);
  if (!image) return nullptr;
  const size_t row_bytes = static_cast<size_t>(image->width()) * image->channels();
  for (int y = 0; y < image->height(); ++y) {
    uint8_t* row = image->Row(y);
    std::memset(row, 0, row_bytes);
    if (depth == 32) {
      for (size_t i = 3; i < row_bytes; i += 4) row[i] = 255;
    }
  }
  return image;
}

ImagePtr CopyImage(const RgbaImage& image) {
  return CopyImageRegion(image, 0, 0, image.width(), image.height());
}

ImagePtr CopyImageRegion(const RgbaImage& image, int x, int y, int width, int height) {
  if (width < 1 || height < 1 || x < 0 || y < 0) return nullptr;
  if (x > image.width() - width || y > image.height() - height) return nullptr;
  ImagePtr copy = AllocateImage(width, height, image.channels() == 4, image.source_depth());
  if (!copy) return nullptr;
  const size_t channels = static_cast<size_t>(image.channels());
  const size_t row_bytes = static_cast<size_t>(width) * channels;
  for (int row = 0; row < height; ++row) {
    std::memcpy(copy->Row(row), image.Row(y + row) + static_cast<size_t>(x) * channels, row_bytes);
  }
  return copy;
}

bool ResizeImage(RgbaImage& image, int width, int height, ResizeMode mode) {
  if (!ValidSide(width) || !ValidSide(height) || image.pixels() == nullptr) return false;
  if (width == image.width() && height == image.height()) return true;
  GdkPixbuf* scaled = ScaleRegion(image, 0, 0, image.width(), image.height(), width, height, mode);
  if (scaled == nullptr) return false;
  image.ReplacePixbuf(scaled);
  return true;
}

ImagePtr ResizeImageRegion(const RgbaImage& image, int x, int y, int region_width,
                           int region_height, int width, int height, ResizeMode mode) {
  if (region_width == width && region_height == height) {
    return CopyImageRegion(image, x, y, width, height);
  }
  if (region_width < 1 || region_height < 1 || x < 0 || y < 0) return nullptr;
  if (x > image.width() - region_width || y > image.height() - region_height) return nullptr;
  if (!ValidSide(width) || !ValidSide(height) || image.pixels() == nullptr) return nullptr;
  // Made before the pixbuf, so that nothing can fail between its creation and its owner.
  ImagePtr result(new RgbaImage(nullptr, image.source_depth()));
  GdkPixbuf* scaled = ScaleRegion(image, x, y, region_width, region_height, width, height, mode);
  if (scaled == nullptr) return nullptr;
  result->ReplacePixbuf(scaled);
  return result;
}

ImagePtr LoadImageFromMemory(const uint8_t* data, size_t size) {
  if (data == nullptr) return nullptr;
  if (HasPngSignature(data, size)) return DecodePng(data, size);
  if (HasJpegSignature(data, size)) return DecodeJpeg(data, size);
  if (HasBmpSignature(data, size)) return DecodeBmp(data, size);
  return nullptr;
}

ImagePtr LoadImageFile(const std::string& path) {
  std::optional<std::string> bytes = ReadWholeFile(path, kMaxPictureFileSize);
  if (!bytes) return nullptr;
  return LoadImageFromMemory(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size());
}

}  // namespace brasswick
