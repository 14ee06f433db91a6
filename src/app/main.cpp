#include <QApplication>

#include "app/form1.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tovrin"));
    tovrin::Form1 window({});
    window.showMaximized();
    return app.exec();
}
