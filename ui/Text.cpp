#include "Text.h"

#include "Codec.h"

namespace qvn::ui {
namespace {

std::string_view View(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

} // namespace

QString FromCp932(std::string_view bytes) {
    const std::string utf8 = Cp932ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString FileText(std::string_view bytes, bool utf8) noexcept {
    try {
        if (utf8)
            return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
        return FromCp932(bytes);
    } catch (...) {
        QString text;
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            text += byte < 0x80 ? QChar(byte) : QChar(QChar::ReplacementCharacter);
        }
        return text;
    }
}

FilePath PathFromText(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return FilePath::FromNative(std::string(View(utf8)));
}

} // namespace qvn::ui
