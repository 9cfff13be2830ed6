#include "JpegImage.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace qvn::ui {

namespace {

// An error manager that jumps back to DecodeJpeg instead of the library's exit().
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

// Messages are not printed to stderr. Warnings are still counted (num_warnings): they mean
// corrupt or truncated data that the library papered over with grey, and such a picture is
// refused rather than shown half drawn.
void OnMessage(j_common_ptr) {}

// The two decoding phases each set their own jump point and hold no C++ object, so a jump
// skips no destructor and leaves no local in an indeterminate state.

// Reads the header and fixes the output: RGBA, its size known from cinfo.output_*.
bool ReadHeader(jpeg_decompress_struct& cinfo, ErrorManager& err, const QByteArray& bytes) {
    if (setjmp(err.jump))
        return false;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
        return false;
    if (cinfo.num_components != 3 && cinfo.num_components != 1)
        return false; // CMYK and other models are not pictures this program embeds
    cinfo.out_color_space = JCS_EXT_RGBA;
    jpeg_calc_output_dimensions(&cinfo);
    return cinfo.output_components == 4;
}

// Decodes every scanline into `bits`, rows `stride` bytes apart.
bool ReadPixels(jpeg_decompress_struct& cinfo, ErrorManager& err, unsigned char* bits,
                qsizetype stride) {
    if (setjmp(err.jump))
        return false;
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = bits + static_cast<qsizetype>(cinfo.output_scanline) * stride;
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1)
            return false;
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

} // namespace

QImage DecodeJpeg(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return {};
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.output_message = OnMessage;

    QImage image;
    if (ReadHeader(cinfo, err, bytes)) {
        image = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                       QImage::Format_RGBA8888);
        // A null image here means the size was too large to allocate.
        if (image.isNull() || !ReadPixels(cinfo, err, image.bits(), image.bytesPerLine()) ||
            err.pub.num_warnings != 0)
            image = QImage();
    }
    jpeg_destroy_decompress(&cinfo); // safe also when creation failed: cinfo starts zeroed
    return image;
}

QImage LoadJpeg(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return DecodeJpeg(file.readAll());
}

} // namespace qvn::ui
