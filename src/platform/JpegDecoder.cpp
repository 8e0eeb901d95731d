#include "platform/JpegDecoder.h"

#include <csetjmp>
#include <cstdio>

// jpeglib.h relies on FILE and size_t being declared before it.
#include <jpeglib.h>

namespace kelvaro {
namespace {

// libjpeg's default error handler prints and calls exit(); ours jumps back to the decoder.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onFatalError(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, manager->message);
  std::longjmp(manager->jump, 1);
}

// A warning means damaged data (a truncated file, bytes out of place); the first one is kept so
// that the decoder can refuse the picture, and nothing goes to stderr.
void onMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (cinfo->err->num_warnings++ == 0) (*cinfo->err->format_message)(cinfo, manager->message);
}

// Everything a longjmp may cross lives here, built before setjmp, so that no destructor is skipped.
struct DecodeContext {
  jpeg_decompress_struct cinfo{};
  ErrorManager errors{};
  JpegImage image;
  bool created = false;
};

bool decodeInto(DecodeContext& ctx, const unsigned char* bytes, unsigned long size) {
  ctx.cinfo.err = jpeg_std_error(&ctx.errors.base);
  ctx.errors.base.error_exit = onFatalError;
  ctx.errors.base.emit_message = onMessage;
  ctx.errors.message[0] = '\0';
  if (setjmp(ctx.errors.jump) != 0) return false;

  jpeg_create_decompress(&ctx.cinfo);
  ctx.created = true;
  jpeg_mem_src(&ctx.cinfo, bytes, size);
  jpeg_read_header(&ctx.cinfo, TRUE);
  ctx.cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&ctx.cinfo);

  const std::int64_t pixels =
      static_cast<std::int64_t>(ctx.cinfo.output_width) * ctx.cinfo.output_height;
  if (pixels > JpegDecoder::kMaxPixels) {
    std::snprintf(ctx.errors.message, sizeof ctx.errors.message, "Picture too large (%ux%u)",
                  ctx.cinfo.output_width, ctx.cinfo.output_height);
    return false;
  }
  ctx.image.width = static_cast<int>(ctx.cinfo.output_width);
  ctx.image.height = static_cast<int>(ctx.cinfo.output_height);
  const std::size_t stride = static_cast<std::size_t>(ctx.image.width) * 3;
  ctx.image.rgb.resize(stride * static_cast<std::size_t>(ctx.image.height));
  while (ctx.cinfo.output_scanline < ctx.cinfo.output_height) {
    JSAMPROW row = ctx.image.rgb.data() + stride * ctx.cinfo.output_scanline;
    jpeg_read_scanlines(&ctx.cinfo, &row, 1);
  }
  jpeg_finish_decompress(&ctx.cinfo);
  return ctx.errors.base.num_warnings == 0;
}

}  // namespace

std::optional<JpegImage> JpegDecoder::decode(QByteArrayView data, QString* error) {
  DecodeContext ctx;
  const bool ok = decodeInto(ctx, reinterpret_cast<const unsigned char*>(data.data()),
                             static_cast<unsigned long>(data.size()));
  if (ctx.created) jpeg_destroy_decompress(&ctx.cinfo);
  if (!ok) {
    if (error) *error = QString::fromLatin1(ctx.errors.message);
    return std::nullopt;
  }
  return std::move(ctx.image);
}

}  // namespace kelvaro
