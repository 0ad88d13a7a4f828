#pragma once
// Collects the messages of one logging category while it lives, on any thread; the messages
// of other categories go on to the handler that was installed before.

#include <QLoggingCategory>
#include <QMutex>
#include <QStringList>

class LogCapture
{
public:
    explicit LogCapture(const char* category) : m_category(category)
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The warnings and worse caught so far.
    QStringList warnings() const
    {
        QMutexLocker lock(&m_mutex);
        return m_warnings;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        LogCapture* self = s_current;
        if (self && context.category && qstrcmp(context.category, self->m_category) == 0) {
            if (type != QtDebugMsg && type != QtInfoMsg) {
                QMutexLocker lock(&self->m_mutex);
                self->m_warnings.append(text);
            }
            return;
        }
        if (self && self->m_previous)
            self->m_previous(type, context, text);
    }

    static inline LogCapture* s_current = nullptr;
    const char* m_category;
    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_mutex;
    QStringList m_warnings;
};
