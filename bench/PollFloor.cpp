// The floor of bench/poll-cpu.sh: a minimal Qt program polling the companion as Pylon does during
// start-up: GET http://127.0.0.1:PORT/status on a QTimer (four times a second unless told), each
// answer read and parsed with QJsonDocument, nothing else. After SECONDS it prints how many of its
// requests brought a JSON object, so the script can tell a floor that polled from one that failed.
//
//   poll_floor PORT SECONDS [HZ]
#include <QCoreApplication>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTextStream>
#include <QTimer>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    bool portOk = false;
    bool secondsOk = false;
    const quint16 port = arguments.value(1).toUShort(&portOk);
    const double seconds = arguments.value(2).toDouble(&secondsOk);
    const double hz = arguments.size() > 3 ? arguments.at(3).toDouble() : 4.0;
    if (!portOk || !secondsOk || hz <= 0) {
        QTextStream(stderr) << "usage: poll_floor PORT SECONDS [HZ]\n";
        return 2;
    }

    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/status").arg(port));
    int requests = 0;
    int answers = 0;
    QTimer poll;
    poll.setInterval(int(1000 / hz));
    QObject::connect(&poll, &QTimer::timeout, &manager, [&] {
        ++requests;
        QNetworkReply* reply = manager.get(QNetworkRequest(url));
        QObject::connect(reply, &QNetworkReply::finished, reply, [reply, &answers] {
            answers += QJsonDocument::fromJson(reply->readAll()).isObject() ? 1 : 0;
            reply->deleteLater();
        });
    });
    poll.start();
    QTimer::singleShot(int(seconds * 1000), &app, &QCoreApplication::quit);
    const int status = app.exec();
    QTextStream(stdout) << answers << " of " << requests << " requests answered\n";
    return status;
}
