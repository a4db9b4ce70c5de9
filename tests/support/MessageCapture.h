#pragma once

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtMessageHandler>

namespace pylon::test {

// Collects what reaches the system log (Qt's message handler) while the object lives.
class MessageCapture {
public:
    struct Message {
        QtMsgType type;
        QString category;
        QString text;
    };

    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    QList<Message> messages() const;
    // Messages of `category` only.
    QList<Message> messages(const QString& category) const;
    // The texts of all messages, in order.
    QStringList texts() const;

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& text);
    QtMessageHandler m_previous;
};

} // namespace pylon::test
