// diag.cpp - compiler diagnostics: the numbered error or warning, where it is, and the line.
#include "compiler/reader.h"

namespace umb::compiler {

int DiagnosticNumber(Diagnostic code) {
    switch (code) {
    case Diagnostic::Ok: return 0;
    case Diagnostic::UnknownHeader:
    case Diagnostic::TableFull:
    case Diagnostic::IncludeHasErrors: return -1;
    case Diagnostic::HeapFull: return -2;
    case Diagnostic::CannotInclude: return -3;
    case Diagnostic::NoSection:
    case Diagnostic::NotRecordLine:
    case Diagnostic::NumberOutOfRange:
    case Diagnostic::NoRecordOpen:
    case Diagnostic::UnknownKey:
    case Diagnostic::ValueRefused:
    case Diagnostic::IncludeHasWarnings: return 1;
    case Diagnostic::MissingField:
    case Diagnostic::NoStatement: return 2;
    }
    return 0;
}

void ReportDiagnostic(const Compiler& c, const char* line, Diagnostic code, int lineNumber,
                      const char* path) {
    const int number = DiagnosticNumber(code);
    if (number == 0 || c.Out == nullptr) return;
    if (number < 0)
        std::fprintf(c.Out, "Error %d ", -number);
    else
        std::fprintf(c.Out, "Warning %d ", number);
    std::fprintf(c.Out, "at line %d in file %s:\n%s\n", lineNumber, path, line);
}

}  // namespace umb::compiler
