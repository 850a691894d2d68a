#include "store/engine/ConnectionThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "store/engine/Database.h"

namespace kesola {

namespace {

// How long closing a connection waits for its thread before leaving it behind: a few seconds at most, so that
// closing the board is never stuck on a store that stopped answering.
constexpr int kCloseWaitMs = 2000;

// How long the user-interface thread blocks on a call before it waits in a loop of events instead: far below what
// anyone sees, and long enough for the usual call, whose answer then costs no trip through the event loop.
constexpr int kBriefWaitMs = 2;

std::atomic<CallWaitObserver*> waitObserver{nullptr};
std::atomic<bool> leftBehind{false};

bool onUserInterfaceThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// One call's end, as the caller waits for it.
class Completion {
  public:
    void finish() {
        const std::lock_guard<std::mutex> hold(mutex_);
        done_ = true;
        if (loop_) QMetaObject::invokeMethod(loop_, &QEventLoop::quit, Qt::QueuedConnection);
        ended_.notify_all();
    }

    // Waits for finish(), at most `milliseconds` when that is not negative; true when it came.
    bool await(int milliseconds) {
        if (!onUserInterfaceThread()) {
            std::unique_lock<std::mutex> hold(mutex_);
            if (milliseconds < 0) {
                ended_.wait(hold, [this] { return done_; });
                return true;
            }
            return ended_.wait_for(hold, std::chrono::milliseconds(milliseconds), [this] { return done_; });
        }
        QEventLoop loop;
        {
            // Most calls end within a fraction of a millisecond; a wait that short is not worth a loop of events,
            // and no window notices it.
            std::unique_lock<std::mutex> hold(mutex_);
            const int briefly = milliseconds < 0 ? kBriefWaitMs : std::min(milliseconds, kBriefWaitMs);
            if (ended_.wait_for(hold, std::chrono::milliseconds(briefly), [this] { return done_; })) return true;
            if (milliseconds >= 0) milliseconds -= briefly;
            loop_ = &loop;
        }
        bool timedOut = false;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            loop.quit();
        });
        if (milliseconds >= 0) deadline.start(milliseconds);
        CallWaitObserver* observer = waitObserver.load();
        if (observer) observer->waitBegins();
        // The user's clicks and keys stay queued until the call is done, so the window's procedure goes on as one
        // piece; painting, timers and the window manager's pings are answered meanwhile.
        while (!isDone() && !timedOut) loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (observer) observer->waitEnds();
        const std::lock_guard<std::mutex> hold(mutex_);
        loop_ = nullptr;
        return done_;
    }

  private:
    bool isDone() {
        const std::lock_guard<std::mutex> hold(mutex_);
        return done_;
    }

    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
    QEventLoop* loop_ = nullptr;
};

}  // namespace

void setCallWaitObserver(CallWaitObserver* observer) { waitObserver = observer; }

bool connectionThreadsLeftBehind() { return leftBehind; }

// Shared by the thread and its handle, so that a thread left behind still has its queue.
struct ConnectionThread::Lane {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
    bool stopping = false;
    bool finished = false;
    std::unique_ptr<Database> db;
    std::shared_ptr<Completion> ended = std::make_shared<Completion>();

    void send(std::function<void()> job) {
        const std::lock_guard<std::mutex> hold(mutex);
        jobs.push_back(std::move(job));
        wake.notify_one();
    }

    void run() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock<std::mutex> hold(mutex);
                wake.wait(hold, [this] { return stopping || !jobs.empty(); });
                if (jobs.empty()) break;
                job = std::move(jobs.front());
                jobs.pop_front();
            }
            job();
        }
        db.reset();
        {
            const std::lock_guard<std::mutex> hold(mutex);
            finished = true;
            wake.notify_all();
        }
        ended->finish();
    }
};

ConnectionThread::ConnectionThread() : lane_(std::make_shared<Lane>()) {
    std::thread([lane = lane_] { lane->run(); }).detach();
}

ConnectionThread::~ConnectionThread() {
    constexpr int kQuickCloseMs = 50;
    {
        std::unique_lock<std::mutex> hold(lane_->mutex);
        lane_->stopping = true;
        lane_->wake.notify_all();
        // A connection closes at once unless its thread is inside a call.
        if (lane_->wake.wait_for(hold, std::chrono::milliseconds(kQuickCloseMs), [this] { return lane_->finished; }))
            return;
    }
    // One that is stuck is waited for a little longer, the windows still answering meanwhile.
    if (!lane_->ended->await(kCloseWaitMs - kQuickCloseMs)) leftBehind = true;
}

void ConnectionThread::call(const std::function<void()>& work) {
    auto completion = std::make_shared<Completion>();
    std::exception_ptr failure;
    // The caller waits for the end, so the work and the failure may be referred to from the thread.
    lane_->send([&work, &failure, completion] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        completion->finish();
    });
    completion->await(-1);
    if (failure) std::rethrow_exception(failure);
}

void ConnectionThread::post(std::function<void(Database*)> work) {
    lane_->send([lane = lane_.get(), work = std::move(work)] { work(lane->db.get()); });
}

bool ConnectionThread::settle(int milliseconds) {
    auto completion = std::make_shared<Completion>();
    lane_->send([completion] { completion->finish(); });
    if (!completion->await(milliseconds)) return false;
    // What the work sent back is waiting among the application's events when the wait ended without them.
    if (onUserInterfaceThread()) QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
    return true;
}

std::unique_ptr<Database>& ConnectionThread::database() { return lane_->db; }

}  // namespace kesola
