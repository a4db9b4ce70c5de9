#pragma once

#include "foundation/Clock.h"
#include "platform/ServiceManager.h"
#include "platform/Workspace.h"

#include <QList>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace pylon::test {

// A clock that moves only when told to.
class FakeClock final : public Clock {
public:
    time_point now() const override { return m_now; }
    void advance(double seconds) { advance(std::chrono::duration<double>(seconds)); }
    template <typename Rep, typename Period>
    void advance(std::chrono::duration<Rep, Period> duration) {
        m_now += std::chrono::duration_cast<std::chrono::steady_clock::duration>(duration);
    }

private:
    time_point m_now = std::chrono::steady_clock::time_point(std::chrono::hours(1000));
};

// A service manager that records what it was asked and answers as scripted, at once.
class FakeServiceManager final : public ServiceManager {
public:
    QString backendName() const override { return QStringLiteral("fake"); }
    qint64 status() override {
        calls << QStringLiteral("status");
        return statusValue;
    }
    QCoro::Task<qint64> queryStatus() override {
        calls << QStringLiteral("status");
        co_return statusValue;
    }
    QCoro::Task<> registerAgent() override {
        calls << QStringLiteral("register");
        if (registerError)
            throw ServiceError(registerError->toStdString());
        statusValue = enabled;
        co_return;
    }
    QCoro::Task<> unregisterAgent() override {
        calls << QStringLiteral("unregister");
        if (unregisterError)
            throw ServiceError(unregisterError->toStdString());
        statusValue = notRegistered;
        co_return;
    }
    void openLoginItemsSettings() override { calls << QStringLiteral("openLoginItems"); }
    QCoro::Task<> kickstart(Kickstart how) override {
        kickstarts << how;
        if (kickstartError)
            throw ServiceError(kickstartError->toStdString());
        co_return;
    }

    // The calls other than status(), in order.
    QStringList actions() const {
        QStringList result;
        for (const QString& call : calls) {
            if (call != QLatin1String("status"))
                result << call;
        }
        return result;
    }

    qint64 statusValue = notRegistered;
    std::optional<QString> registerError;
    std::optional<QString> unregisterError;
    std::optional<QString> kickstartError;
    QStringList calls;
    QList<Kickstart> kickstarts;
};

class FakeWorkspace final : public Workspace {
public:
    bool openUrl(const QUrl& url) override {
        urls << url;
        return true;
    }
    bool openFile(const QString& path) override {
        files << path;
        return true;
    }
    bool revealFile(const QString& path) override {
        revealed << path;
        return true;
    }
    QList<QUrl> urls;
    QStringList files;
    QStringList revealed;
};

} // namespace pylon::test
