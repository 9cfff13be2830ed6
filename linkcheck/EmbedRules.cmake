# Writes link-health.txt's bytes into a C++ source as the link check's built-in rules.
# Usage: cmake -DIN=link-health.txt -DOUT=BuiltInRules.cpp -P EmbedRules.cmake
file(READ ${IN} hex HEX)
string(REGEX REPLACE "(..)" "'\\\\x\\1'," bytes "${hex}")
file(WRITE ${OUT} "// Written by the build from linkcheck/link-health.txt: the built-in rules.\n"
    "#include <cstddef>\n"
    "namespace qvn::linkcheck {\n"
    "extern const char kBuiltInRules[] = {${bytes} '\\0'};\n"
    "extern const std::size_t kBuiltInRulesSize = sizeof kBuiltInRules - 1;\n"
    "} // namespace qvn::linkcheck\n")
