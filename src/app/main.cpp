#include <cstdlib>
#include <ctime>

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    srandom(static_cast<unsigned>(time(nullptr)));

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tessarine"));
    QApplication::setApplicationName(QStringLiteral("Tessarine"));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tessarine"));
    window.resize(1024, 768);
    window.show();
    return app.exec();
}
