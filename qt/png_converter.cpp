// Re-encodes a picture losslessly as PNG: png_converter <input> <output.png>.
// Run by the build on the heading, which is kept as the JPEG it was drawn as.
#include <QCoreApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: png_converter <input> <output.png>\n");
        return 2;
    }
    const QImage picture(QString::fromLocal8Bit(argv[1]));
    if (picture.isNull()) {
        std::fprintf(stderr, "png_converter: cannot read %s\n", argv[1]);
        return 1;
    }
    if (!picture.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "png_converter: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
