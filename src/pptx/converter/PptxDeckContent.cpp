#include "pptx/converter/PptxDeckContent.h"

#include <algorithm>
#include <cmath>

#include <QFile>

#include "pptx/reader/qvd_opc.h"

namespace {

QString text(const char* value)
{
    return value ? QString::fromUtf8(value) : QString();
}

std::optional<PptxTextStyle> copyStyle(const QVD_OPC_TEXT_STYLE_T* style)
{
    if (!style)
        return std::nullopt;
    PptxTextStyle copy;
    copy.latinTypeface = text(style->latin_typeface);
    copy.secondTypeface = text(style->second_typeface);
    copy.color = text(style->color);
    copy.size = style->size;
    copy.level = style->level;
    copy.bulletType = style->bullet_type;
    copy.bulletCharacter = text(style->bullet_character);
    return copy;
}

std::optional<QRectF> copyFrame(const QVD_OPC_RECT_T* frame)
{
    if (!frame)
        return std::nullopt;
    return QRectF(double(frame->x), double(frame->y), double(frame->width), double(frame->height));
}

PptxSlideObject copyObject(const QVD_OPC_SLIDE_OBJECT_T& object)
{
    PptxSlideObject copy;
    if (object.kind == QVD_OPC_OBJECT_PICTURE) {
        const auto* image = static_cast<const QVD_OPC_IMAGE_OBJECT_T*>(object.object);
        copy.kind = PptxSlideObject::Picture;
        copy.frame = copyFrame(image->frame);
        copy.picturePath = text(image->file_path);
        return copy;
    }
    const auto* shape = static_cast<const QVD_OPC_SHAPE_T*>(object.object);
    copy.kind = PptxSlideObject::Text;
    copy.frame = copyFrame(shape->frame);
    copy.fontScale = shape->font_scale > 0 ? shape->font_scale / 100000.0 : 1.0;
    for (const QVD_OPC_PARAGRAPH_T* p = shape->paragraphs; p; p = p->next) {
        PptxParagraph paragraph;
        paragraph.style = copyStyle(p->style);
        for (const QVD_OPC_TEXT_RUN_T* r = p->runs; r; r = r->next) {
            PptxTextRun run;
            run.lineBreak = r->line_break != 0;
            run.text = text(r->text);
            run.style = copyStyle(r->style);
            paragraph.runs.push_back(std::move(run));
        }
        copy.paragraphs.push_back(std::move(paragraph));
    }
    return copy;
}

QString readerMessage(int code)
{
    switch (code) {
    case QVD_OPC_ERR_NOT_PPTX:
        return QStringLiteral("The file is not a PowerPoint presentation");
    case QVD_OPC_ERR_INPUT:
        return QStringLiteral("The file does not exist or cannot be read");
    case QVD_OPC_ERR_MEMORY:
        return QStringLiteral("The presentation is too large to read");
    case QVD_OPC_ERR_IMAGE_WRITE:
    case QVD_OPC_ERR_OUTPUT_FOLDER:
        return QStringLiteral("The presentation's pictures could not be written");
    default:
        return QStringLiteral("The presentation is damaged (reader error %1)").arg(code);
    }
}

} // namespace

void PptxDeckContent::fitInto(const QSizeF& screen)
{
    const double width = slideSize.width();
    const double height = slideSize.height();
    if (!(width > 0) || !(height > 0) || !std::isfinite(width) || !std::isfinite(height) || screen.isEmpty() ||
        (width <= screen.width() && height <= screen.height()))
        return;
    const double scale = std::min(screen.width() / width, screen.height() / height);
    const QPointF offset((screen.width() - width * scale) / 2, (screen.height() - height * scale) / 2);
    for (PptxSlide& slide : slides) {
        for (PptxSlideObject& object : slide.objects) {
            if (object.frame)
                object.frame = QRectF(object.frame->topLeft() * scale + offset, object.frame->size() * scale);
        }
    }
    slideSize *= scale;
    textScale *= scale;
}

namespace PptxDeckReading {

std::optional<PptxDeckContent> read(const QString& deckPath, const QString& pictureFolder,
                                    const std::atomic<bool>& cancelled,
                                    const std::function<void(int, int)>& onSlideRead, Failure* failure)
{
    auto fail = [&](int code) -> std::optional<PptxDeckContent> {
        if (failure)
            *failure = Failure{code, readerMessage(code)};
        return std::nullopt;
    };
    qvd_opc_init();
    int error = 0;
    QVD_OPC_PRESENTATION_T* deck =
        qvd_opc_open(QFile::encodeName(deckPath).constData(), QFile::encodeName(pictureFolder).constData(), &error);
    if (!deck)
        return fail(error ? error : QVD_OPC_ERR_PART);
    // From here on every reader error has already released the deck.
    PptxDeckContent content;
    content.declaredUtf8 = deck->xml_encoding && qstrcmp(deck->xml_encoding, "UTF-8") == 0;
    content.slideSize = QSizeF(double(deck->slide_size.width), double(deck->slide_size.height));
    QVD_OPC_SLIDE_T* first = qvd_opc_slides(deck, &error);
    if (error)
        return fail(error);
    int count = 0;
    for (QVD_OPC_SLIDE_T* s = first; s; s = s->next)
        ++count;
    int done = 0;
    for (QVD_OPC_SLIDE_T* s = first; s; s = s->next) {
        if (cancelled.load()) {
            qvd_opc_free(deck);
            return std::nullopt;
        }
        PptxSlide slide;
        slide.backgroundColor = text(s->background_color);
        QVD_OPC_SLIDE_OBJECT_T* objects = qvd_opc_slide_objects(s, &error);
        if (error)
            return fail(error);
        for (QVD_OPC_SLIDE_OBJECT_T* o = objects; o; o = o->next) {
            if (o->kind == QVD_OPC_OBJECT_PICTURE || o->kind == QVD_OPC_OBJECT_TEXT)
                slide.objects.push_back(copyObject(*o));
        }
        content.slides.push_back(std::move(slide));
        if (onSlideRead)
            onSlideRead(++done, count);
    }
    qvd_opc_free(deck);
    if (cancelled.load())
        return std::nullopt;
    return content;
}

} // namespace PptxDeckReading
