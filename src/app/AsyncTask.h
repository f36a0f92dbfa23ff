#pragma once

#include <QMetaObject>
#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace fenban {

// Work done off the GUI thread, its value handed back there by a queued call.
// One worker runs one piece of work at a time, on data the work owns (an
// unchanging copy). A newer request replaces an older one: a request still
// waiting never runs, and the value of one overtaken while it ran is dropped,
// so only the latest request's value is ever handed over. settle() waits for
// the latest request and hands its value over at once, for a caller that
// needs it now (an export, a test) rather than at the next turn of the loop.
//
// The task must be destroyed before its receiver (a member of it is).
template <class T> class AsyncTask {
public:
    using Work = std::function<T()>;
    using Done = std::function<void(T)>;
    using Failed = std::function<void(std::exception_ptr)>;

    // done (or failed, when the work threw) runs on the receiver's thread.
    AsyncTask(QObject* receiver, Done done, Failed failed)
        : shared_(std::make_shared<Shared>(receiver, std::move(done), std::move(failed)))
    {
    }
    ~AsyncTask()
    {
        {
            const std::lock_guard lock(shared_->mutex);
            shared_->stopping = true;
            shared_->waiting.reset();
        }
        shared_->wake.notify_all();
        if (worker_.joinable())
            worker_.join();
    }
    AsyncTask(const AsyncTask&) = delete;
    AsyncTask& operator=(const AsyncTask&) = delete;

    // From the receiver's thread.
    void request(Work work)
    {
        {
            const std::lock_guard lock(shared_->mutex);
            shared_->waiting = Job {++shared_->requested, std::move(work)};
        }
        shared_->wake.notify_all();
        if (!worker_.joinable())
            worker_ = std::thread([shared = shared_] { shared->run(); });
    }
    // Forgets the latest request: nothing is handed over for it.
    void drop()
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->waiting.reset();
        shared_->handedOver = ++shared_->requested;
    }
    // A request whose value has not been handed over yet.
    bool pending() const
    {
        const std::lock_guard lock(shared_->mutex);
        return shared_->handedOver != shared_->requested;
    }
    // Returns when the latest request's value has been handed over (at once
    // when there is none pending). From the receiver's thread.
    void settle()
    {
        {
            std::unique_lock lock(shared_->mutex);
            shared_->idle.wait(lock, [this] { return !shared_->waiting && !shared_->busy; });
        }
        shared_->handOver();
    }

private:
    struct Job {
        std::uint64_t number = 0;
        Work work;
    };
    struct Shared : std::enable_shared_from_this<Shared> {
        Shared(QObject* r, Done d, Failed f)
            : receiver(r)
            , done(std::move(d))
            , failed(std::move(f))
        {
        }

        void run()
        {
            std::unique_lock lock(mutex);
            for (;;) {
                wake.wait(lock, [this] { return stopping || waiting; });
                if (stopping)
                    return;
                Job job = std::move(*waiting);
                waiting.reset();
                busy = true;
                lock.unlock();
                std::optional<T> value;
                std::exception_ptr error;
                try {
                    value.emplace(job.work());
                } catch (...) {
                    error = std::current_exception();
                }
                job.work = nullptr; // its copy of the data goes here, off the receiver's thread
                lock.lock();
                busy = false;
                const bool latest = job.number == requested;
                if (latest) {
                    finished = job.number;
                    result = std::move(value);
                    failure = error;
                }
                idle.notify_all();
                if (latest && !stopping)
                    QMetaObject::invokeMethod(
                        receiver,
                        [weak = this->weak_from_this()] {
                            if (const std::shared_ptr<Shared> self = weak.lock())
                                self->handOver();
                        },
                        Qt::QueuedConnection);
            }
        }

        // On the receiver's thread: the latest value, once.
        void handOver()
        {
            std::optional<T> value;
            std::exception_ptr error;
            {
                const std::lock_guard lock(mutex);
                if (stopping || finished != requested || handedOver == requested)
                    return;
                handedOver = requested;
                value = std::move(result);
                result.reset();
                error = std::exchange(failure, nullptr);
            }
            if (error)
                failed(error);
            else if (value)
                done(std::move(*value));
        }

        QObject* const receiver;
        const Done done;
        const Failed failed;
        mutable std::mutex mutex;
        std::condition_variable wake, idle;
        std::optional<Job> waiting;
        bool busy = false, stopping = false;
        std::uint64_t requested = 0, finished = 0, handedOver = 0;
        std::optional<T> result;
        std::exception_ptr failure;
    };

    std::shared_ptr<Shared> shared_;
    std::thread worker_;
};

} // namespace fenban
