#include "engines/flashplayer/SwfFilters.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace swf {
namespace {

// More passes than this cost much and change little.
constexpr int kMaxPasses = 3;
// Larger kernels would take minutes on a full frame.
constexpr int kMaxConvolutionCells = 15 * 15;
constexpr int kMaxBlurWidth = 1024;

double blurWidth(double blur, double scale)
{
    const double w = blur * scale;
    return std::isfinite(w) ? std::clamp(w, 0.0, double(kMaxBlurWidth)) : 0;
}

int passesOf(uint8_t passes)
{
    return std::clamp(int(passes), 1, kMaxPasses);
}

// One box pass along a line of n samples spaced by step (in units of
// channels-sized elements), every channel at once. The player's box is
// centred and width samples wide in all: whole samples within, and the
// part of a sample that is left over shared by the two ends, so an even
// width blurs as much as its number says without moving the picture.
template <int Channels>
void boxLine(uint8_t *data, int n, ptrdiff_t step, double width, std::vector<int> &scratch)
{
    const int r = int((width - 1) / 2);                       // whole samples either side
    const int end = int(std::lround((width - 1 - 2 * r) * 128)); // each end's weight in 256ths
    const int total = (2 * r + 1) * 256 + 2 * end;
    // Zeros beyond both ends, so the window never tests its bounds.
    const int pad = r + 1;
    scratch.assign(size_t(n + 2 * pad) * Channels, 0);
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < Channels; ++c)
            scratch[size_t(i + pad) * Channels + c] = data[i * step + c];
    const auto at = [&](int j, int c) { return scratch[size_t(j + pad) * Channels + c]; };
    int sum[Channels] = {};
    for (int j = -r; j <= r; ++j)
        for (int c = 0; c < Channels; ++c)
            sum[c] += at(j, c);
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < Channels; ++c) {
            const int v = sum[c] * 256 + end * (at(i - r - 1, c) + at(i + r + 1, c));
            data[i * step + c] = uint8_t((v + total / 2) / total);
        }
        if (i + 1 < n)
            for (int c = 0; c < Channels; ++c)
                sum[c] += at(i + r + 1, c) - at(i - r, c);
    }
}

template <int Channels>
void blurPlane(uint8_t *data, int w, int h, ptrdiff_t stride, double wx, double wy, int passes)
{
    std::vector<int> scratch;
    for (int p = 0; p < passes; ++p) {
        if (wx > 1)
            for (int y = 0; y < h; ++y)
                boxLine<Channels>(data + y * stride, w, Channels, wx, scratch);
        if (wy > 1)
            for (int x = 0; x < w; ++x)
                boxLine<Channels>(data + x * Channels, h, stride, wy, scratch);
    }
}

struct Plane {
    int w = 0, h = 0;
    std::vector<uint8_t> v;
    uint8_t at(int x, int y, uint8_t outside) const
    {
        return x < 0 || y < 0 || x >= w || y >= h ? outside : v[size_t(y) * w + x];
    }
};

Plane alphaOf(const QImage &image, bool inverted)
{
    Plane p{image.width(), image.height(), std::vector<uint8_t>(size_t(image.width()) * image.height())};
    for (int y = 0; y < p.h; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < p.w; ++x)
            p.v[size_t(y) * p.w + x] = uint8_t(inverted ? 255 - qAlpha(line[x]) : qAlpha(line[x]));
    }
    return p;
}

QRgb premultiplied(const Color &c, int coverage)
{
    const int a = c.alpha * coverage / 255;
    return qRgba(c.red * a / 255, c.green * a / 255, c.blue * a / 255, a);
}

QRgb scaled(QRgb p, int by) // by 0..255
{
    return qRgba(qRed(p) * by / 255, qGreen(p) * by / 255, qBlue(p) * by / 255, qAlpha(p) * by / 255);
}

QRgb over(QRgb top, QRgb bottom)
{
    const int k = 255 - qAlpha(top);
    return qRgba(std::min(255, qRed(top) + qRed(bottom) * k / 255), std::min(255, qGreen(top) + qGreen(bottom) * k / 255),
                 std::min(255, qBlue(top) + qBlue(bottom) * k / 255),
                 std::min(255, qAlpha(top) + qAlpha(bottom) * k / 255));
}

// 256 premultiplied colours along a filter's gradient.
std::vector<QRgb> palette(const std::vector<GradientFilterStop> &stops)
{
    std::vector<QRgb> out(256, 0);
    if (stops.empty())
        return out;
    for (int i = 0; i < 256; ++i) {
        size_t k = 0;
        while (k + 1 < stops.size() && stops[k + 1].ratio <= i)
            ++k;
        const GradientFilterStop &a = stops[k];
        const GradientFilterStop &b = k + 1 < stops.size() ? stops[k + 1] : stops[k];
        const double t = b.ratio > a.ratio ? std::clamp((i - a.ratio) / double(b.ratio - a.ratio), 0.0, 1.0) : 0.0;
        const auto mix = [t](int x, int y) { return uint8_t(std::lround(x + (y - x) * t)); };
        out[size_t(i)] = premultiplied(Color{mix(a.color.red, b.color.red), mix(a.color.green, b.color.green),
                                             mix(a.color.blue, b.color.blue), mix(a.color.alpha, b.color.alpha)},
                                       255);
    }
    return out;
}

// Offsets beyond any layer's size all mean the same: nothing overlaps.
int offsetOf(double d)
{
    return std::isfinite(d) ? int(std::lround(std::clamp(d, -1e6, 1e6))) : 0;
}

struct ShadowParams {
    double blurX = 0, blurY = 0;
    int passes = 1;
    double strength = 1;
    double dx = 0, dy = 0; // device pixels
    bool inner = false, knockout = false, hideObject = false;
};

// Drop shadows and glows: the object's blurred alpha, moved and coloured,
// beneath the object (outer) or inside it (inner).
void shadow(QImage &image, const ShadowParams &s, double scale, const std::function<QRgb(int)> &colour)
{
    Plane plane = alphaOf(image, s.inner);
    blurPlane<1>(plane.v.data(), plane.w, plane.h, plane.w, blurWidth(s.blurX, scale), blurWidth(s.blurY, scale),
                 s.passes);
    const int ox = offsetOf(s.dx);
    const int oy = offsetOf(s.dy);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb src = line[x];
            const int a = qAlpha(src);
            int cover = int(std::min(255.0, plane.at(x - ox, y - oy, s.inner ? 255 : 0) * s.strength));
            if (s.inner)
                cover = cover * a / 255;
            const QRgb sh = colour(cover);
            QRgb out;
            if (s.inner)
                out = s.knockout ? sh : over(sh, s.hideObject ? 0 : src);
            else if (s.knockout)
                out = scaled(sh, 255 - a);
            else
                out = s.hideObject ? sh : over(src, sh);
            line[x] = out;
        }
    }
}

// Bevels: the blurred alpha's slope along the light's direction lights
// one side and shades the other.
void bevel(QImage &image, const GradientFilterData &g, double scale, const std::function<QRgb(int)> &colour)
{
    Plane plane = alphaOf(image, false);
    blurPlane<1>(plane.v.data(), plane.w, plane.h, plane.w, blurWidth(g.blurX, scale), blurWidth(g.blurY, scale),
                 passesOf(g.passes));
    const int ox = offsetOf(std::cos(g.angle) * g.distance * scale);
    const int oy = offsetOf(std::sin(g.angle) * g.distance * scale);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb src = line[x];
            const int a = qAlpha(src);
            // -255 (shaded) .. 255 (lit); the light falls against the
            // angle, so the side the angle points to is shaded.
            const double slope = (plane.at(x - ox, y - oy, 0) - plane.at(x + ox, y + oy, 0)) * g.strength;
            QRgb b = colour(int(std::clamp(slope, -255.0, 255.0)));
            if (g.innerShadow)
                b = scaled(b, a);
            else if (!g.onTop)
                b = scaled(b, 255 - a);
            line[x] = g.knockout ? b : (g.innerShadow || g.onTop) ? over(b, src) : over(src, b);
        }
    }
}

void colourMatrix(QImage &image, const std::array<float, 20> &m)
{
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = qUnpremultiply(line[x]);
            const float in[4] = {float(qRed(p)), float(qGreen(p)), float(qBlue(p)), float(qAlpha(p))};
            int out[4];
            for (int r = 0; r < 4; ++r) {
                const float *row = &m[size_t(r) * 5];
                const float v = row[0] * in[0] + row[1] * in[1] + row[2] * in[2] + row[3] * in[3] + row[4];
                out[r] = std::isfinite(v) ? int(std::lround(std::clamp(v, 0.0f, 255.0f))) : 0;
            }
            line[x] = qPremultiply(qRgba(out[0], out[1], out[2], out[3]));
        }
    }
}

void convolve(QImage &image, const ConvolutionFilter &f)
{
    const int cols = f.matrixX;
    const int rows = f.matrixY;
    if (cols == 0 || rows == 0 || cols * rows > kMaxConvolutionCells || f.matrix.size() != size_t(cols * rows))
        return;
    const float divisor = f.divisor == 0 || !std::isfinite(f.divisor) ? 1.0f : f.divisor;
    const QImage src = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb fallback = qRgba(f.defaultColor.red, f.defaultColor.green, f.defaultColor.blue, f.defaultColor.alpha);
    const int w = src.width();
    const int h = src.height();
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < rows; ++j) {
                for (int i = 0; i < cols; ++i) {
                    int sx = x + i - cols / 2;
                    int sy = y + j - rows / 2;
                    QRgb p;
                    if (sx < 0 || sy < 0 || sx >= w || sy >= h) {
                        if (!f.clamp) {
                            p = fallback;
                        } else {
                            sx = std::clamp(sx, 0, w - 1);
                            sy = std::clamp(sy, 0, h - 1);
                            p = reinterpret_cast<const QRgb *>(src.constScanLine(sy))[sx];
                        }
                    } else {
                        p = reinterpret_cast<const QRgb *>(src.constScanLine(sy))[sx];
                    }
                    const float k = f.matrix[size_t(j * cols + i)];
                    sum[0] += k * qRed(p);
                    sum[1] += k * qGreen(p);
                    sum[2] += k * qBlue(p);
                    sum[3] += k * qAlpha(p);
                }
            }
            int out[4];
            for (int c = 0; c < 4; ++c) {
                const float v = sum[c] / divisor + f.bias;
                out[c] = std::isfinite(v) ? int(std::lround(std::clamp(v, 0.0f, 255.0f))) : 0;
            }
            if (f.preserveAlpha)
                out[3] = qAlpha(reinterpret_cast<const QRgb *>(src.constScanLine(y))[x]);
            line[x] = qPremultiply(qRgba(out[0], out[1], out[2], out[3]));
        }
    }
}

template <class... Ts>
struct Visitor : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Visitor(Ts...) -> Visitor<Ts...>;

double finiteOr0(double v)
{
    return std::isfinite(v) ? v : 0;
}

int blurMargin(double bx, double by, uint8_t passes, double scale)
{
    return (int(std::max(blurWidth(bx, scale), blurWidth(by, scale))) / 2 + 2) * passesOf(passes);
}

int distanceMargin(double distance, double scale)
{
    const double d = std::abs(finiteOr0(distance) * scale);
    return int(std::min(d, double(kMaxBlurWidth))) + 1;
}

} // namespace

void boxBlur(QImage &image, double widthX, double widthY, int passes)
{
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    blurPlane<4>(image.bits(), image.width(), image.height(), image.bytesPerLine(), std::min(widthX, double(kMaxBlurWidth)),
                 std::min(widthY, double(kMaxBlurWidth)), std::clamp(passes, 1, kMaxPasses));
}

int filterMargin(const Filter &filter, double scale)
{
    return std::visit(
        Visitor{[&](const DropShadowFilter &f) {
                    return blurMargin(f.blurX, f.blurY, f.passes, scale) + distanceMargin(f.distance, scale);
                },
                [&](const BlurFilter &f) { return blurMargin(f.blurX, f.blurY, f.passes, scale); },
                [&](const GlowFilter &f) { return blurMargin(f.blurX, f.blurY, f.passes, scale); },
                [&](const BevelFilter &f) {
                    return blurMargin(f.blurX, f.blurY, f.passes, scale) + distanceMargin(f.distance, scale);
                },
                [&](const GradientFilterData &f) {
                    return blurMargin(f.blurX, f.blurY, f.passes, scale) + distanceMargin(f.distance, scale);
                },
                [&](const ConvolutionFilter &f) { return std::max<int>(f.matrixX, f.matrixY) / 2 + 1; },
                [](const ColorMatrixFilter &) { return 0; }},
        filter);
}

int filterCost(const Filter &filter)
{
    // A blurred plane costs a pass per blur pass and one to combine; bevels
    // blur two planes.
    return std::visit(
        Visitor{[](const DropShadowFilter &f) { return passesOf(f.passes) + 1; },
                [](const BlurFilter &f) { return passesOf(f.passes); },
                [](const GlowFilter &f) { return passesOf(f.passes) + 1; },
                [](const BevelFilter &f) { return 2 * passesOf(f.passes) + 1; },
                [](const GradientFilterData &f) { return 2 * passesOf(f.passes) + 1; },
                [](const ConvolutionFilter &f) { return 1 + (int(f.matrixX) * int(f.matrixY) + 8) / 9; },
                [](const ColorMatrixFilter &) { return 1; }},
        filter);
}

void applyFilter(QImage &image, const Filter &filter, double scale)
{
    if (image.isNull())
        return;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::visit(
        Visitor{[&](const DropShadowFilter &f) {
                    ShadowParams s{f.blurX, f.blurY, passesOf(f.passes), finiteOr0(f.strength),
                                   std::cos(f.angle) * finiteOr0(f.distance) * scale,
                                   std::sin(f.angle) * finiteOr0(f.distance) * scale,
                                   f.innerShadow, f.knockout, !f.compositeSource};
                    shadow(image, s, scale, [&](int cover) { return premultiplied(f.color, cover); });
                },
                [&](const BlurFilter &f) {
                    boxBlur(image, blurWidth(f.blurX, scale), blurWidth(f.blurY, scale), passesOf(f.passes));
                },
                [&](const GlowFilter &f) {
                    ShadowParams s{f.blurX, f.blurY, passesOf(f.passes), finiteOr0(f.strength), 0, 0,
                                   f.innerGlow, f.knockout, !f.compositeSource};
                    shadow(image, s, scale, [&](int cover) { return premultiplied(f.color, cover); });
                },
                [&](const BevelFilter &f) {
                    GradientFilterData g;
                    g.blurX = f.blurX;
                    g.blurY = f.blurY;
                    g.angle = finiteOr0(f.angle);
                    g.distance = finiteOr0(f.distance);
                    g.strength = finiteOr0(f.strength);
                    g.innerShadow = f.innerShadow;
                    g.knockout = f.knockout;
                    g.onTop = f.onTop;
                    g.passes = f.passes;
                    bevel(image, g, scale, [&](int slope) {
                        return slope >= 0 ? premultiplied(f.highlightColor, slope)
                                          : premultiplied(f.shadowColor, -slope);
                    });
                },
                [&](const GradientGlowFilter &f) {
                    const std::vector<QRgb> colours = palette(f.stops);
                    ShadowParams s{f.blurX, f.blurY, passesOf(f.passes), finiteOr0(f.strength),
                                   std::cos(f.angle) * finiteOr0(f.distance) * scale,
                                   std::sin(f.angle) * finiteOr0(f.distance) * scale,
                                   f.innerShadow, f.knockout, !f.compositeSource};
                    shadow(image, s, scale, [&](int cover) { return colours[size_t(std::clamp(cover, 0, 255))]; });
                },
                [&](const GradientBevelFilter &f) {
                    const std::vector<QRgb> colours = palette(f.stops);
                    GradientFilterData g = f;
                    g.angle = finiteOr0(f.angle);
                    g.distance = finiteOr0(f.distance);
                    g.strength = finiteOr0(f.strength);
                    bevel(image, g, scale, [&](int slope) {
                        return colours[size_t(std::clamp(128 + slope / 2, 0, 255))];
                    });
                },
                [&](const ConvolutionFilter &f) { convolve(image, f); },
                [&](const ColorMatrixFilter &f) { colourMatrix(image, f.matrix); }},
        filter);
}

} // namespace swf
