#pragma once
// Checks on the front file made before qpdf's recursive functions see it:
// qpdf spends a stack frame per level of the page tree and of the objects it
// copies, so a hostile file would overflow any stack, and it "repairs" page
// tree entries that are no pages into broken pages.
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstdio>
#include <string>
#include <vector>

namespace wpdf {

// Far above any cover document. A page tree level costs qpdf about 430 bytes
// of stack and a copied object level about 160, so at these limits it needs
// under 2 MB; the page count bounds memory (200 000 pages took 1.3 GB).
inline constexpr size_t kMaxFrontPages = 10000;
inline constexpr int kMaxPageTreeDepth = 256;
inline constexpr int kMaxObjectDepth = 10000;

// The front file opened for reading, without waiting on a FIFO or a device:
// anything but a regular file is refused. Null with `problem` set (a
// sentence) on failure.
FILE *openFrontFile(const std::string &path, std::string &problem);

// What is wrong with the page tree qpdf is going to walk, as the end of a
// sentence ("is damaged: ..."); empty when every entry is a page and the
// limits hold.
std::string pageTreeProblem(QPDF &pdf);

// Whether copying `roots`, one after the other as qpdf does, stays within
// kMaxObjectDepth levels of its recursion.
bool copyDepthWithinLimit(const std::vector<QPDFObjectHandle> &roots);

} // namespace wpdf
