#include "MessageCapture.h"

namespace pylon::test {

namespace {
QMutex mutex;
QList<MessageCapture::Message>* captured = nullptr;
} // namespace

MessageCapture::MessageCapture() {
    QMutexLocker lock(&mutex);
    captured = new QList<Message>();
    m_previous = qInstallMessageHandler(&MessageCapture::handler);
}

MessageCapture::~MessageCapture() {
    qInstallMessageHandler(m_previous);
    QMutexLocker lock(&mutex);
    delete captured;
    captured = nullptr;
}

QList<MessageCapture::Message> MessageCapture::messages() const {
    QMutexLocker lock(&mutex);
    return *captured;
}

QList<MessageCapture::Message> MessageCapture::messages(const QString& category) const {
    QList<Message> result;
    for (const Message& message : messages()) {
        if (message.category == category)
            result.append(message);
    }
    return result;
}

QStringList MessageCapture::texts() const {
    QStringList result;
    for (const Message& message : messages())
        result << message.text;
    return result;
}

void MessageCapture::handler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    QMutexLocker lock(&mutex);
    if (captured)
        captured->append(Message{type, QString::fromUtf8(context.category), text});
}

} // namespace pylon::test
