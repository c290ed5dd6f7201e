// The display list walked object by object, and the characters drawn
// straight (text runs, bitmaps, video).
#include "engines/flashplayer/SwfRendererImpl.h"

#include "engines/flashplayer/SwfTimeline.h"

namespace swf {
void Renderer::Impl::drawList(Surface &s, const std::vector<DisplayObject> &list, const QTransform &parent,
                              const Cx &cx, bool mask)
{
    for (size_t i = 0; i < list.size(); ++i) {
        const DisplayObject &o = list[i];
        if (o.clipDepth == 0) {
            if (o.visible)
                drawObject(s, o, parent, cx, mask);
            continue;
        }
        size_t end = i + 1;
        while (end < list.size() && list[end].depth <= o.clipDepth)
            ++end;
        if (!mask)
            drawMasked(s, o, list, i + 1, end, parent, cx);
        else
            drawRange(s, list, i + 1, end, parent, cx, mask); // masks within a mask: their content counts
        i = end - 1;
    }
}

void Renderer::Impl::drawRange(Surface &s, const std::vector<DisplayObject> &list, size_t from, size_t to,
                               const QTransform &parent, const Cx &cx, bool mask)
{
    for (size_t j = from; j < to; ++j) {
        if (list[j].visible && list[j].clipDepth == 0)
            drawObject(s, list[j], parent, cx, mask);
    }
}

void Renderer::Impl::drawObject(Surface &s, const DisplayObject &o, const QTransform &parent, const Cx &parentCx,
                                bool mask)
{
    QTransform world = o.matrix.toTransform() * parent;
    if (!finite(world))
        return;
    // The player draws an object cached as a bitmap at whole pixels: its
    // position on the device snaps to the nearest one.
    if (o.cacheAsBitmap && !mask)
        world = QTransform(world.m11(), world.m12(), world.m21(), world.m22(), std::floor(world.dx() + 0.5),
                           std::floor(world.dy() + 0.5));
    const Cx cx = mask ? Cx() : Cx::from(o.colorTransform).then(parentCx);
    const bool layered = !mask && (o.hasFilters() || o.blendMode != BlendMode::Normal);
    if (layered && s.nesting < kMaxLayerNesting) {
        drawLayered(s, o, parent, world, cx);
        return;
    }
    if (layered && (o.blendMode == BlendMode::Alpha || o.blendMode == BlendMode::Erase))
        return; // only meaningful inside a layer
    if (o.opaqueBackground && !mask)
        drawOpaqueBackground(s, o, world, cx);
    drawContent(s, o, world, cx, mask);
}

void Renderer::Impl::drawOpaqueBackground(Surface &s, const DisplayObject &o, const QTransform &world, const Cx &cx)
{
    bool invertible = false;
    const QTransform toLocal = o.matrix.toTransform().inverted(&invertible);
    if (!invertible)
        return;
    const QRectF local = deviceBounds(o, toLocal, 0); // the bounds in the object's own space
    if (local.isEmpty())
        return;
    s.painter->setWorldTransform(s.toSurface(world));
    s.painter->fillRect(local, cx.apply(*o.opaqueBackground));
}

// A sprite with a scaling grid, scaled: its corners keep their size,
// its edges stretch one way and its centre both. Drawn neither rotated
// nor skewed, nor flipped, nor squeezed below its corners' size;
// otherwise the sprite scales as a whole.
std::optional<NineSlice> Renderer::Impl::nineSliceFor(const DisplayObject &sprite, const QTransform &world)
{
    if (sprite.kind != DisplayObject::Kind::Sprite)
        return std::nullopt;
    const auto grid = movie->scalingGrids.find(sprite.characterId);
    if (grid == movie->scalingGrids.end())
        return std::nullopt;
    const QTransform &stage = stageToDevice;
    if (world.m12() != 0 || world.m21() != 0 || stage.m12() != 0 || stage.m21() != 0 || stage.m11() <= 0
        || stage.m22() <= 0)
        return std::nullopt;
    // The sprite's scale on the stage, whatever the stage's on the device.
    const double sx = world.m11() / stage.m11();
    const double sy = world.m22() / stage.m22();
    if (sx <= 0 || sy <= 0 || (std::abs(sx - 1) < 1e-9 && std::abs(sy - 1) < 1e-9))
        return std::nullopt;
    QRectF content;
    for (const DisplayObject &child : sprite.children)
        content |= deviceBounds(child, QTransform(), 0);
    return NineSlice::make(content, grid->second.toRectF(), sx, sy, world);
}

void Renderer::Impl::drawContent(Surface &s, const DisplayObject &o, const QTransform &world, const Cx &cx, bool mask)
{
    if (o.kind != DisplayObject::Kind::Other) {
        // The grid reaches the sprite's own shapes, not those of
        // sprites inside it.
        const std::optional<NineSlice> outer = std::exchange(nineSlice, nineSliceFor(o, world));
        drawList(s, o.children, world, cx, mask);
        nineSlice = outer;
        return;
    }
    const auto found = movie->characters.find(o.characterId);
    if (found == movie->characters.end())
        return;
    if (nineSlice && (std::holds_alternative<Shape>(found->second)
                      || std::holds_alternative<MorphShape>(found->second))) {
        const auto *sh = std::get_if<Shape>(&found->second);
        const std::shared_ptr<PreparedShape> whole =
            sh ? shape(*sh) : morph(std::get<MorphShape>(found->second), o.ratio);
        const auto sliced = prepare(whole->sharedEdges, nineSlice->apply(whole->layers, o.matrix.toTransform()));
        drawShape(s, *sliced, nineSlice->spriteWorld, cx, mask);
        return;
    }
    if (const auto *sh = std::get_if<Shape>(&found->second))
        drawShape(s, *shape(*sh), world, cx, mask);
    else if (const auto *m = std::get_if<MorphShape>(&found->second))
        drawShape(s, *morph(*m, o.ratio), world, cx, mask);
    else if (const auto *t = std::get_if<Text>(&found->second))
        drawText(s, *text(*t), world, cx, mask);
    else if (const auto *e = std::get_if<EditText>(&found->second))
        drawText(s, *editText(*e), world, cx, mask);
    else if (std::holds_alternative<Bitmap>(found->second))
        drawBitmap(s, o.characterId, world, cx, mask);
    else if (const auto *v = std::get_if<VideoStream>(&found->second))
        drawVideo(s, *v, o.ratio, world, cx, mask);
}

// The object's extent on the device, children included.
QRectF Renderer::Impl::deviceBounds(const DisplayObject &o, const QTransform &parent, int depth)
{
    const QTransform world = o.matrix.toTransform() * parent;
    if (!finite(world) || depth > Timeline::kMaxNesting + 2)
        return {};
    if (o.kind != DisplayObject::Kind::Other) {
        QRectF r;
        for (const DisplayObject &child : o.children)
            r |= deviceBounds(child, world, depth + 1);
        return r;
    }
    const auto found = movie->characters.find(o.characterId);
    if (found == movie->characters.end())
        return {};
    QRectF local;
    if (const auto *sh = std::get_if<Shape>(&found->second))
        local = shape(*sh)->bounds;
    else if (const auto *m = std::get_if<MorphShape>(&found->second))
        local = morph(*m, o.ratio)->bounds;
    else if (const auto *t = std::get_if<Text>(&found->second))
        local = text(*t)->bounds;
    else if (const auto *e = std::get_if<EditText>(&found->second))
        local = editText(*e)->bounds;
    else if (const auto *b = std::get_if<Bitmap>(&found->second)) {
        const QImage image = bitmap(b->id);
        local = QRectF(0, 0, image.width() * 20.0, image.height() * 20.0);
    } else if (const auto *v = std::get_if<VideoStream>(&found->second))
        local = videoArea(*v, QSize());
    return world.mapRect(local);
}

void Renderer::Impl::drawText(Surface &s, const PreparedText &text, const QTransform &world, const Cx &cx, bool mask)
{
    if (farBeyond(world.mapRect(text.bounds))) {
        const Visible visible(world, s.clip);
        s.painter->setWorldTransform(s.toSurface(world));
        for (const TextRun &run : text.runs)
            fillPath(*s.painter, visible.of(run.path), mask ? QColor(Qt::black) : cx.apply(run.color));
        return;
    }
    QPainter &p = *s.painter;
    p.setWorldTransform(s.toSurface(world));
    if (text.box && !mask) {
        p.fillRect(*text.box, cx.apply(Color{255, 255, 255, 255}));
        // The player draws the frame as two hairlines from the top left
        // corner to the bottom right, each short of its last pixel, so that
        // corner stays open.
        QPen frame(cx.apply(Color{0, 0, 0, 255}), 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        const QRectF &r = *text.box;
        QPainterPath lines;
        lines.moveTo(r.topLeft());
        lines.lineTo(r.topRight());
        lines.lineTo(r.bottomRight());
        lines.moveTo(r.topLeft());
        lines.lineTo(r.bottomLeft());
        lines.lineTo(r.bottomRight());
        p.strokePath(lines, frame);
    }
    if (text.clip) {
        p.save();
        p.setClipRect(*text.clip, Qt::IntersectClip);
    }
    for (const TextRun &run : text.runs)
        fillPath(p, run.path, mask ? QColor(Qt::black) : cx.apply(run.color));
    if (text.clip)
        p.restore();
}

void Renderer::Impl::drawBitmap(Surface &s, uint16_t id, const QTransform &world, const Cx &cx, bool mask)
{
    const QImage image = bitmap(id);
    if (image.isNull())
        return;
    QPainter &p = *s.painter;
    p.setWorldTransform(s.toSurface(QTransform::fromScale(20, 20) * world));
    if (mask) {
        p.fillRect(image.rect(), Qt::black);
        return;
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform, smoothBitmaps(true));
    if (cx.alphaOnly()) {
        p.setOpacity(cx.m[3]);
        p.drawImage(0, 0, image);
        p.setOpacity(1);
    } else {
        p.drawImage(0, 0, tintedBitmap(id, cx));
    }
}

// The stream's picture for the frame the ratio names, stretched over
// the stream's size.
void Renderer::Impl::drawVideo(Surface &s, const VideoStream &video, uint16_t ratio, const QTransform &world,
                               const Cx &cx, bool mask)
{
    auto found = videos.find(video.id);
    if (found == videos.end()) {
        if (videos.size() >= kMaxVideoDecoders) { // the least recently drawn stream starts over if it returns
            videos.erase(std::min_element(videos.begin(), videos.end(), [](const auto &a, const auto &b) {
                return a.second.lastUse < b.second.lastUse;
            }));
        }
        found = videos.emplace(video.id, KeptDecoder{std::make_unique<VideoDecoder>(video), 0}).first;
    }
    found->second.lastUse = ++useClock;
    QImage picture = found->second.decoder->frame(ratio);
    if (picture.isNull())
        return;
    const QRectF area = videoArea(video, picture.size());
    QPainter &p = *s.painter;
    p.setWorldTransform(s.toSurface(world));
    if (mask) {
        p.fillRect(area, Qt::black);
        return;
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform, smoothBitmaps(video.smoothing));
    if (cx.alphaOnly()) {
        p.setOpacity(cx.m[3]);
        p.drawImage(area, picture);
        p.setOpacity(1);
    } else {
        transformPixels(picture, cx);
        p.drawImage(area, picture);
    }
}

Renderer::Renderer(std::shared_ptr<const Movie> movie) : d(std::make_unique<Impl>(std::move(movie))) {}

Renderer::~Renderer() = default;

void Renderer::render(QPainter &painter, const QRectF &target, const TimelineState &state, StageQuality quality,
                      QImage *deviceImage)
{
    if (!painter.isActive() || !target.isValid())
        return;
    const Movie &movie = *d->movie;
    d->quality = quality;
    painter.save();
    const QTransform callerTransform = painter.worldTransform();
    const QColor background = movie.backgroundColor
                                  ? QColor(movie.backgroundColor->red, movie.backgroundColor->green,
                                           movie.backgroundColor->blue)
                                  : QColor(Qt::white);
    painter.fillRect(target, background);
    const QRectF stage = movie.frameSize.toRectF();
    if (stage.width() <= 0 || stage.height() <= 0 || !finite(callerTransform)) {
        painter.restore();
        return;
    }
    const QTransform stageToTarget = QTransform::fromTranslate(-stage.left(), -stage.top())
                                   * QTransform::fromScale(target.width() / stage.width(),
                                                           target.height() / stage.height())
                                   * QTransform::fromTranslate(target.left(), target.top());
    const QTransform base = stageToTarget * callerTransform;
    d->stageScale = scaleOf(base) * 20;
    d->stageToDevice = base;

    // Device pixels worth drawing: layers are never larger than this.
    QRect clip = callerTransform.mapRect(target).toAlignedRect();
    if (const QPaintDevice *device = painter.device())
        clip &= QRect(0, 0, device->width(), device->height());
    if (painter.hasClipping())
        clip &= callerTransform.mapRect(painter.clipBoundingRect()).toAlignedRect();
    painter.setClipRect(target, Qt::IntersectClip); // nothing spills beyond the stage
    d->setHints(painter);
    painter.setPen(Qt::NoPen);

    if (deviceImage
        && (painter.device() != deviceImage || !callerTransform.isIdentity()
            || deviceImage->format() != QImage::Format_ARGB32_Premultiplied))
        deviceImage = nullptr;
    d->stageClip = clip;
    const qint64 area = std::max<qint64>(qint64(clip.width()) * clip.height(), 1 << 16);
    d->layerPixelsLeft = area * kLayerAreas;
    d->filterWorkLeft = area * kFilterAreas;
    d->layerBuffers.setLimit(size_t(area) * kKeptLayerAreas);
    Surface surface{&painter, deviceImage, QPoint(), clip, false, 0};
    d->drawList(surface, state.objects, base, Cx(), false);
    painter.restore();
}

} // namespace swf
