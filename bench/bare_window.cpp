// A bare Qt window: the baseline for start-up time, memory and idle CPU.
// Given the path of an animated picture, it also plays it in a small box,
// as the chat window's banner does, so that the animation's own cost can be
// told apart from the program's.
#include <QApplication>
#include <QLabel>
#include <QMovie>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Bare"));
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
    window.resize(426, 513);
    if (argc > 1) {
        auto *box = new QLabel(&window);
        box->setGeometry(8, 8, 41, 57);
        auto *movie = new QMovie(QString::fromLocal8Bit(argv[1]), QByteArray(), box);
        movie->setCacheMode(QMovie::CacheAll);
        box->setMovie(movie);
        movie->start();
    }
    window.show();
    return app.exec();
}
