#include "platform/blockingcall.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <pthread.h>

namespace blockingcall {

namespace {

// How often a waiting GUI thread looks for repaint requests: about one frame.
constexpr auto kPaintInterval = std::chrono::milliseconds(16);

bool onGuiThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

void deliverPaintRequests()
{
    if (!onGuiThread())
        return;
    // Only these types are taken from the queue; everything else keeps its place and order.
    // A layout request may ask for a repaint, so it comes first.
    for (const QEvent::Type type :
         {QEvent::LayoutRequest, QEvent::UpdateLater, QEvent::UpdateRequest})
        QCoreApplication::sendPostedEvents(nullptr, type);
}

void PaintingWait::wait(const std::function<bool()>& done)
{
    const bool painting = onGuiThread();
    std::unique_lock lock(m_mutex);
    while (!done()) {
        if (!painting) {
            m_changed.wait(lock);
            continue;
        }
        if (m_changed.wait_for(lock, kPaintInterval, done))
            break;
        lock.unlock();
        deliverPaintRequests();
        lock.lock();
    }
}

void PaintingWait::wakeUp()
{
    // Taking the lock orders this after a waiter's look at done(): no wake-up is lost.
    std::lock_guard lock(m_mutex);
    m_changed.notify_all();
}

WorkThread::WorkThread(QString name) : m_name(std::move(name))
{
    m_thread = std::thread([this] { loop(); });
}

WorkThread::~WorkThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_queued.notify_all();
    m_thread.join();
}

bool WorkThread::isCurrent() const
{
    return std::this_thread::get_id() == m_thread.get_id();
}

void WorkThread::enqueue(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_queued.notify_one();
}

void WorkThread::loop()
{
    // The name shows in debuggers and top; the kernel keeps 15 characters.
    pthread_setname_np(pthread_self(), m_name.left(15).toUtf8().constData());
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_queued.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            // Calls already queued still run: their callers wait for them.
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            m_busy = true;
        }
        job();
        m_busy = false;
        m_wait.wakeUp();
    }
}

} // namespace blockingcall
