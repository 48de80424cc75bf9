#include "widgets/appresources.h"

#include <QBitmap>
#include <QFont>
#include <QPainter>
#include <QPixmap>

#include "widgets/apputil.h"

static void initVeltrisResources()
{
    // The resources live in a static library: make sure they are registered.
    static const bool once = [] {
        Q_INIT_RESOURCE(veltris);
        return true;
    }();
    (void)once;
}

namespace {

QCursor loadCursor(const char* name, int hotX, int hotY)
{
    initVeltrisResources();
    const QString base = QStringLiteral(":/") + QLatin1String(name);
    const QBitmap bits = QBitmap::fromImage(QImage(base + QStringLiteral(".xbm")));
    const QBitmap mask = QBitmap::fromImage(QImage(base + QStringLiteral("_mask.xbm")));
    if (bits.isNull() || mask.isNull())
        return QCursor(Qt::ArrowCursor);
    return QCursor(bits, mask, hotX, hotY);
}

struct Cursors {
    QCursor arrowDown = loadCursor("cursor_1", 8, 14);
    QCursor plus = loadCursor("cursor_plus", 11, 11);
    QCursor minus = loadCursor("cursor_minus", 11, 11);
};

const Cursors& cursors()
{
    static const Cursors c;
    return c;
}

bool sameBitmap(const QCursor& a, const QCursor& b)
{
    if (a.shape() != Qt::BitmapCursor || b.shape() != Qt::BitmapCursor)
        return false;
    return a.bitmap().toImage() == b.bitmap().toImage() && a.hotSpot() == b.hotSpot();
}

}  // namespace

QCursor appCursor(int id)
{
    switch (id) {
    case kSortArrowCursor: return cursors().arrowDown;
    case kZoomInCursor: return cursors().plus;
    case kZoomOutCursor: return cursors().minus;
    default: return QCursor(Qt::ArrowCursor);
    }
}

int appCursorId(const QCursor& cursor)
{
    for (const int id : {kSortArrowCursor, kZoomInCursor, kZoomOutCursor})
        if (sameBitmap(cursor, appCursor(id)))
            return id;
    return 0;
}

QPixmap programIconPixmap()
{
    initVeltrisResources();
    return QPixmap(QStringLiteral(":/veltris_icon.xpm"));
}

QIcon programIcon()
{
    return QIcon(programIconPixmap());
}

QImage placeholderDrawing()
{
    QImage img(500, 300, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        QFont f = veltrisFont();
        f.setPixelSize(20);
        f.setBold(true);
        f.setStyleStrategy(QFont::NoAntialias);  // clean edges in one bit per pixel
        p.setFont(f);
        p.setPen(Qt::black);
        const QRect upper(0, 0, 500, 150);
        const int lineHeight = p.fontMetrics().height();
        const QRect first(0, upper.center().y() - lineHeight, 500, lineHeight);
        const QRect second(0, upper.center().y(), 500, lineHeight);
        p.drawText(first, Qt::AlignCenter, QStringLiteral("Сведения о габаритах в справочнике"));
        p.drawText(second, Qt::AlignCenter, QStringLiteral("отсутствуют"));
    }
    return img.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
}
