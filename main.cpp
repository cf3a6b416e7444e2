// The program: one main window on the thread that runs the event loop.
#include <QApplication>

#include "mainwindow.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    MainWindow window;
    window.show();
    window.redraw();
    return application.exec();
}
