#include "pdfengine/WPPDFR2.h"

// Out of line so the class has one home for its vtable.
TWPPDFPrinter::TWPPDFPrinter() = default;
TWPPDFPrinter::~TWPPDFPrinter() = default;
