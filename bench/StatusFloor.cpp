// The floor of bench/status-time.sh: a minimal Qt program doing what `Pylon --status` does on the
// wire: one GET http://127.0.0.1:PORT/status, the answer parsed with QJsonDocument, a line printed.
//
//   status_floor PORT
#include <QCoreApplication>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bool portOk = false;
    const quint16 port = app.arguments().value(1).toUShort(&portOk);
    if (!portOk) {
        QTextStream(stderr) << "usage: status_floor PORT\n";
        return 2;
    }
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/status").arg(port))));
    int exitCode = 1;
    QObject::connect(reply, &QNetworkReply::finished, &app, [&] {
        const QJsonDocument document = QJsonDocument::fromJson(reply->readAll());
        exitCode = document.isObject() ? 0 : 1;
        QTextStream(stdout) << (document.isObject() ? "status\n" : "no status\n");
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    return exitCode;
}
