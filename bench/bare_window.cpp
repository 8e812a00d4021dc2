// The floor for start-up and idle memory: a bare Qt 6 Widgets window of the player's size, shown
// at once, with nothing else running.

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(844, 224);
    window.show();
    return app.exec();
}
