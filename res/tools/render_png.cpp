// Renders the program's SVG images to the PNG files kept beside them. Build and run by hand
// after changing res/tools/make_svg.py (needs the Qt SVG image plug-in at run time):
//   g++ -std=c++20 -fPIC res/tools/render_png.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/render_png
//   QT_QPA_PLATFORM=offscreen /tmp/render_png res
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QString>

#include <cstdio>

static bool Render(const QString& svg, const QString& png, QSize size)
{
    QImageReader reader(svg);
    reader.setScaledSize(size);
    QImage image = reader.read();
    if (image.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(svg));
        return false;
    }
    return image.save(png);
}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString res = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("res");
    bool ok = true;
    for (int size : {16, 32, 48, 128, 256}) {
        ok &= Render(res + "/icons/zarnix4.svg", res + QStringLiteral("/icons/zarnix4-%1.png").arg(size), QSize(size, size));
        ok &= Render(res + "/icons/document.svg", res + QStringLiteral("/icons/document-%1.png").arg(size), QSize(size, size));
    }
    ok &= Render(res + "/icons/zarnix4.svg", res + "/icons/zarnix4.png", QSize(256, 256));
    for (const char* name : {"new", "open", "save", "export", "full_screen", "show_pattern", "show_fractal", "fill_mode", "about"})
        ok &= Render(res + "/toolbar/" + name + ".svg", res + "/toolbar/" + name + ".png", QSize(16, 15));
    return ok ? 0 : 1;
}
