// The peer of the editor's start-up: a bare Qt Widgets window of a given size and nothing else,
// built with the editor's compiler and flags. bench_startup starts it as it starts the editor.
//   bench_barewindow WIDTH HEIGHT
#include "core/firstpaint.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(argc > 2 ? atoi(argv[1]) : 640, argc > 2 ? atoi(argv[2]) : 480);
    tovel::quitAfterFirstPaintIfAsked(&window);
    window.show();
    return app.exec();
}
