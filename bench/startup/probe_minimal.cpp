// The baseline: a Qt program that shows one plain window of the same size.
#include "bench/startup/probereport.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(792, 580);
    new FirstPaintProbe(&window);
    window.show();
    return app.exec();
}
