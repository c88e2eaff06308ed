#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <functional>

// Drives the next modal window of type T: waits for it to show (the timer runs inside the window's
// own event loop), hands it to `act`, which answers it, and gives up after the timeout by ending
// every modal window, so that a test fails instead of hanging.
template <typename T> class ModalDriver final
{
public:
    explicit ModalDriver(
        std::function<void(T &)> act, std::chrono::milliseconds timeout = std::chrono::seconds(10))
        : m_act(std::move(act))
        , m_timeout(timeout)
    {
        m_elapsed.start();
        m_poll.setInterval(5);
        QObject::connect(&m_poll, &QTimer::timeout, &m_poll, [this] { poll(); });
        m_poll.start();
    }

    bool acted() const { return m_acted; }
    bool timedOut() const { return m_timedOut; }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *window = qobject_cast<T *>(modal); window && window->isVisible()) {
            m_poll.stop();
            m_acted = true;
            m_act(*window);
            return;
        }
        if (m_elapsed.hasExpired(m_timeout.count())) {
            m_poll.stop();
            m_timedOut = true;
            for (int i = 0; i < 10; ++i) {
                auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
                if (!dialog)
                    break;
                dialog->done(QDialog::Rejected);
            }
        }
    }

    std::function<void(T &)> m_act;
    std::chrono::milliseconds m_timeout;
    QElapsedTimer m_elapsed;
    QTimer m_poll;
    bool m_acted = false;
    bool m_timedOut = false;
};
