// diag.cpp - compiler diagnostics: the numbered error or warning, where it is, and the line.
#include "compiler/compiler.h"

namespace umb::compiler {

void ReportDiagnostic(const Compiler& c, const char* line, int code, int lineNumber,
                      const char* path) {
    if (code == DiagOk || c.Out == nullptr) return;
    if (code < 0)
        std::fprintf(c.Out, "Error %d ", -code);
    else
        std::fprintf(c.Out, "Warning %d ", code);
    std::fprintf(c.Out, "at line %d in file %s:\n%s\n", lineNumber, path, line);
}

}  // namespace umb::compiler
