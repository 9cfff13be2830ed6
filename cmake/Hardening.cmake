# The hardening Debian gives its own packages (dpkg-buildflags): a stack protector, checked
# string and memory functions (_FORTIFY_SOURCE, which needs an optimised build), a read-only
# relocation table (RELRO) and every symbol bound at start-up (-z now). Position-independent
# executables are the compiler's default already. These are ELF and glibc settings: the Windows
# cross build leaves them out, and so does the fuzz build, whose sanitizers check more closely.
option(QVN_HARDENING "Build with the hardening flags of Debian's packages" ON)
if(QVN_HARDENING AND NOT WIN32 AND NOT QVN_BUILD_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security
                        "$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
    add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
