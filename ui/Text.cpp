#include "Text.h"

#include "Codec.h"

namespace qvn::ui {

std::string ToCp932(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToCp932(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString FromCp932(std::string_view bytes) {
    const std::string utf8 = Cp932ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

FilePath PathFromText(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    const std::string_view view(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    // Exact means the name comes back unchanged: code page 932 folds some characters together
    // (U+301C and U+FF5E both become 0x81 0x60), and a folded name would open another file.
    const auto bytes = Utf8ToCp932Exact(view);
    if (bytes && Cp932ToUtf8Exact(*bytes) == view)
        return FilePath::FromCp932(*bytes);
    return FilePath::Unresolvable(ToCp932(text));
}

} // namespace qvn::ui
