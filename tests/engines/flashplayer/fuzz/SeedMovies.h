#pragma once
// Small movies that between them use every tag the reader knows, as
// starting points for fuzzing and for the cut-and-flip tests.

#include <QByteArray>

#include <vector>

namespace swfseed {

// One uncompressed movie with a bit of everything.
QByteArray richMovie();
// richMovie and a few narrower ones, each also zlib- and LZMA-compressed.
std::vector<QByteArray> seedMovies();

} // namespace swfseed
