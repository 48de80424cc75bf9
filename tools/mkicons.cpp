// mkicons ICON OUTDIR
// Renders the program icon into the freedesktop hicolor sizes: OUTDIR/<N>x<N>/apps/veltris.png.
// Whole multiples keep the pixel drawing sharp; other sizes are smoothed.
#include <QDir>
#include <QImage>
#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: mkicons ICON OUTDIR\n");
        return 2;
    }
    const QImage icon(QString::fromLocal8Bit(argv[1]));
    if (icon.isNull()) {
        std::fprintf(stderr, "mkicons: cannot read %s\n", argv[1]);
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const bool multiple = size % icon.width() == 0;
        const QImage scaled = icon.convertToFormat(QImage::Format_ARGB32)
                                  .scaled(size, size, Qt::IgnoreAspectRatio,
                                          multiple ? Qt::FastTransformation : Qt::SmoothTransformation);
        const QString dir = QStringLiteral("%1x%1/apps").arg(size);
        if (!out.mkpath(dir) || !scaled.save(out.filePath(dir + QStringLiteral("/veltris.png")))) {
            std::fprintf(stderr, "mkicons: cannot write the %dx%d icon\n", size, size);
            return 1;
        }
    }
    return 0;
}
