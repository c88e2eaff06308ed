#include "dialogs/JpegImage.h"

#include "platform/Error.h"

#include <csetjmp>
#include <cstdio>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace ql {

namespace {

// Pictures larger than this are refused before any memory is taken for them: a damaged header can
// claim up to 65500 by 65500 pixels.
constexpr qint64 MaxPixels = qint64(64) * 1024 * 1024;

// One decoding. libjpeg reports a fatal error through error_exit, whose default ends the process;
// ours keeps the message and jumps back to where decoding started. The whole state lives here,
// outside the function that calls setjmp, so nothing it changes is lost by the jump.
struct Decoder
{
    jpeg_decompress_struct info {};
    jpeg_error_mgr errors {};
    std::jmp_buf jump {};
    char message[JMSG_LENGTH_MAX] = {};
};

Decoder &decoderOf(j_common_ptr info)
{
    return *static_cast<Decoder *>(info->client_data);
}

void failDecoding(j_common_ptr info)
{
    Decoder &decoder = decoderOf(info);
    (*info->err->format_message)(info, decoder.message);
    std::longjmp(decoder.jump, 1);
}

// Level -1 is a warning about damaged data that libjpeg would patch over (a cut-off scan is filled
// with grey); such a picture is refused like any other damaged one. Trace messages are dropped.
void onMessage(j_common_ptr info, int level)
{
    if (level < 0)
        failDecoding(info);
}

void dropOutput(j_common_ptr) { }

// Runs libjpeg over `bytes` into `image`. longjmp skips destructors, so between setjmp and the
// last libjpeg call this function holds no object that has one: the image is made and assigned in
// one full expression, and every other value is plain data in `decoder`.
bool decodeInto(Decoder &decoder, const QByteArray &bytes, QImage &image)
{
    decoder.info.err = jpeg_std_error(&decoder.errors);
    decoder.errors.error_exit = failDecoding;
    decoder.errors.emit_message = onMessage;
    decoder.errors.output_message = dropOutput;
    decoder.info.client_data = &decoder;
    if (setjmp(decoder.jump) != 0) {
        // Also safe when the failure came from creating the decompressor: it starts zeroed.
        jpeg_destroy_decompress(&decoder.info);
        return false;
    }
    jpeg_create_decompress(&decoder.info);
    jpeg_mem_src(&decoder.info, reinterpret_cast<const unsigned char *>(bytes.constData()),
        static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&decoder.info, TRUE);
    // Grey pictures stay grey; everything else is asked for as RGB, and libjpeg refuses what it
    // cannot convert.
    const bool grey = decoder.info.num_components == 1;
    decoder.info.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_calc_output_dimensions(&decoder.info);
    if (qint64(decoder.info.output_width) * decoder.info.output_height > MaxPixels) {
        std::snprintf(decoder.message, sizeof decoder.message, "Picture too large (%u x %u pixels)",
            decoder.info.output_width, decoder.info.output_height);
        jpeg_destroy_decompress(&decoder.info);
        return false;
    }
    jpeg_start_decompress(&decoder.info);
    image = QImage(int(decoder.info.output_width), int(decoder.info.output_height),
        grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (image.isNull()) {
        std::snprintf(decoder.message, sizeof decoder.message, "Not enough memory for the picture");
        jpeg_destroy_decompress(&decoder.info);
        return false;
    }
    while (decoder.info.output_scanline < decoder.info.output_height) {
        JSAMPROW row = image.scanLine(int(decoder.info.output_scanline));
        jpeg_read_scanlines(&decoder.info, &row, 1);
    }
    jpeg_finish_decompress(&decoder.info);
    jpeg_destroy_decompress(&decoder.info);
    return true;
}

} // namespace

QImage decodeJpeg(const QByteArray &bytes)
{
    Decoder decoder;
    QImage image;
    if (!decodeInto(decoder, bytes, image))
        throw Error(
            QStringLiteral("Cannot read the JPEG picture: %1").arg(QString::fromLocal8Bit(decoder.message)));
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace ql
