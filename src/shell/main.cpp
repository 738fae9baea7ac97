#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName("MIV V1.70");
    QMainWindow window;
    window.setWindowTitle("MIV V1.70");
    window.setMinimumSize(800, 470);
    window.show();
    return app.exec();
}
