#include "FilePath.h"

#include "Codec.h"

namespace qvn {

FilePath FilePath::FromCp932(std::string cp932) {
    auto native = Cp932ToUtf8Exact(cp932);
    // A NUL byte would cut the name short at the system call: such a name names no file.
    if (native && native->find('\0') != std::string::npos)
        native.reset();
    return FilePath(std::move(cp932), std::move(native));
}

FilePath FilePath::FromNative(std::string native) {
    std::string cp932 = Utf8ToCp932(native);
    std::optional<std::string> name;
    if (native.find('\0') == std::string::npos)
        name = std::move(native);
    return FilePath(std::move(cp932), std::move(name));
}

FilePath FilePath::Unresolvable(std::string cp932) {
    return FilePath(std::move(cp932), std::nullopt);
}

std::string FilePath::Display() const {
    // A code page 932 name that reaches the file system is its exact conversion, so the native
    // name is the display form of every name that has one.
    return native_ ? *native_ : Cp932ToUtf8(cp932_);
}

} // namespace qvn
