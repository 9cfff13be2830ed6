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

FilePath PathFromText(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return FilePath::FromNative(std::string(View(utf8)));
}

} // namespace qvn::ui
