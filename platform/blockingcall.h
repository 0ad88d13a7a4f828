#pragma once
// Blocking calls that run on a thread of their own while the window keeps painting.
//
// Some work must block the main thread in the program's order of events (a copy is timed and
// recorded before anything else happens), and some libraries must stay on one thread
// (libsmbclient). A WorkThread runs such work, one call at a time, on a long-lived thread; the
// caller waits for it. When the caller is the GUI thread, the wait delivers only what repaints
// the window (posted update and layout requests). Input, timer ticks, socket notifications and
// queued calls (ping completions) stay queued in their order and are handled after the call
// has returned, as if the thread had been blocked; a timer that fell due several times fires
// once.

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>

namespace blockingcall {

// Waits until done() is true. On the GUI thread, repaint requests are delivered meanwhile;
// wakeUp() must be called when done() may have turned true. Any other thread simply waits.
class PaintingWait
{
public:
    void wait(const std::function<bool()>& done);
    void wakeUp();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

// Delivers the repaint and layout requests that are queued for the GUI thread, nothing else.
// Does nothing on any other thread.
void deliverPaintRequests();

class WorkThread
{
public:
    explicit WorkThread(QString name);
    ~WorkThread();
    WorkThread(const WorkThread&) = delete;
    WorkThread& operator=(const WorkThread&) = delete;

    // Starts work there after the calls queued before it; the future holds its result or the
    // exception it threw.
    template <class F> auto start(F&& work) -> std::future<std::invoke_result_t<F&>>
    {
        using R = std::invoke_result_t<F&>;
        auto task = std::make_shared<std::packaged_task<R()>>(std::forward<F>(work));
        std::future<R> result = task->get_future();
        enqueue([task] { (*task)(); });
        return result;
    }

    // Runs work there and returns its result (or throws its exception). Called from the work
    // thread itself (from inside a call), it runs at once, in place.
    template <class F> auto call(F&& work) -> std::invoke_result_t<F&>
    {
        if (isCurrent())
            return work();
        auto result = start(std::forward<F>(work));
        m_wait.wait(
            [&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
        return result.get();
    }

    bool isCurrent() const;
    // True while a call runs; for whoever watches from another thread.
    bool busy() const { return m_busy; }

private:
    void enqueue(std::function<void()> job);
    void loop();

    QString m_name;
    std::mutex m_mutex;
    std::condition_variable m_queued;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::atomic<bool> m_busy{false};
    PaintingWait m_wait;
    std::thread m_thread;
};

} // namespace blockingcall
