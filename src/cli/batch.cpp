// Runs a command's work over many files: in order on one thread, or on a
// small pool of threads with the output put back in input order.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "batch.hpp"

namespace kestrune::cli {
namespace {

// Maximum for --jobs: far above any core count worth having, low enough that
// a typing error does not start thousands of threads.
constexpr unsigned maxjobs = 256;
// Files a worker may run ahead of the one being written, per thread: enough
// to keep every thread busy when one file takes long, few enough that the
// collected output stays small.
constexpr std::size_t aheadperjob = 4;

// A file that fails in a way a file can (memory running out on a huge one,
// an I/O error on the way) is reported and the batch goes on; any other
// exception is a fault of the program and goes on to the caller.
int runguarded(const tfilehandler& handler, const tinputfile& file, std::size_t index, tcontext& ctx) {
    try {
        return handler(file, index, ctx);
    } catch (const std::bad_alloc&) {
        ctx.error(file.path + ": " + std::generic_category().message(ENOMEM));
    } catch (const std::system_error& e) {
        ctx.error(file.path + ": " + e.what());
    }
    return exitfailure;
}

// Runs one file with its output collected in capture.
int runcaptured(const tfilehandler& handler, const tinputfile& file, std::size_t index, tcapture& capture) {
    toutput out(capture);
    tcontext ctx(out, capture);
    const int status = runguarded(handler, file, index, ctx);
    out.flush();
    return status;
}

// What the main thread does with finished files: writes their output in
// order, keeps the progress bar out of its way and counts the statuses.
class twriter {
public:
    twriter(tcontext& ctx, std::size_t total) : ctx_(ctx), progress_(stderr, total, total > 1 && tprogress::wanted()) {}

    void write(const tcapture& capture, int status) {
        for (const tcapturedpiece& piece : capture) {
            progress_.erase();
            if (piece.diagnostic) {
                ctx_.out.flush();
                ctx_.errortext(piece.bytes);
            } else {
                ctx_.out.write(piece.bytes);
            }
        }
        status = std::clamp(status, exitok, exitfailure);
        result_.worst = std::max(result_.worst, status);
        ++result_.statuscount[static_cast<std::size_t>(status)];
        ++done_;
        tick();
    }

    void tick() {
        if (!progress_.due()) return;
        ctx_.out.flush();
        progress_.update(done_);
    }

    bool outputfailed() const { return ctx_.out.failed(); }

    tbatchresult finish() {
        progress_.erase();
        return result_;
    }

private:
    tcontext& ctx_;
    tprogress progress_;
    tbatchresult result_;
    std::size_t done_ = 0;
};

tbatchresult runinorder(const std::vector<tinputfile>& files, const tfilehandler& handler, tcontext& ctx) {
    twriter writer(ctx, files.size());
    tcapture capture;
    for (std::size_t i = 0; i < files.size() && !writer.outputfailed(); ++i) {
        capture.clear();
        const int status = runcaptured(handler, files[i], i, capture);
        writer.write(capture, status);
    }
    return writer.finish();
}

// The files shared by the workers and the main thread. Every thread takes
// the next file while they are not too far ahead of the writing; the main
// thread also writes the finished files in order.
class tpool {
public:
    tpool(const std::vector<tinputfile>& files, const tfilehandler& handler, std::size_t ahead)
        : files_(files), handler_(handler), ahead_(ahead), slots_(files.size()) {}

    void work() {
        for (;;) {
            std::size_t index;
            {
                std::unique_lock lock(mutex_);
                canstart_.wait(lock, [this] { return stop_ || next_ >= files_.size() || mayrunahead(); });
                if (stop_ || next_ >= files_.size()) return;
                index = next_++;
            }
            run(index);
            finished_.notify_one();
        }
    }

    // Writes the files in order as they finish; returns once all are
    // written or output has failed, and tells the workers to stop. While the
    // file whose turn it is runs elsewhere, the writing thread takes on the
    // next file itself rather than sleep: one thread fewer to wake per file.
    void writeall(twriter& writer) {
        while (written_ < files_.size() && !writer.outputfailed()) {
            std::unique_lock lock(mutex_);
            const std::size_t index = written_;
            if (slots_[index].done) {
                const tcapture capture = std::move(slots_[index].capture);
                const int status = slots_[index].status;
                slots_[index].capture = tcapture();
                ++written_;
                lock.unlock();
                canstart_.notify_one();
                writer.write(capture, status);
            } else if (next_ < files_.size() && mayrunahead()) {
                const std::size_t own = next_++;
                lock.unlock();
                run(own);
            } else if (!finished_.wait_for(lock, std::chrono::milliseconds(100), [&] { return slots_[index].done; })) {
                lock.unlock();
                writer.tick();
            }
        }
        stop();
    }

    void stop() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        canstart_.notify_all();
    }

private:
    bool mayrunahead() const { return next_ < written_ + ahead_; }

    // Runs one file and hands its output over for writing.
    void run(std::size_t index) {
        tcapture capture;
        const int status = runcaptured(handler_, files_[index], index, capture);
        const std::lock_guard lock(mutex_);
        tslot& slot = slots_[index];
        slot.capture = std::move(capture);
        slot.status = status;
        slot.done = true;
    }

    struct tslot {
        bool done = false;
        int status = exitok;
        tcapture capture;
    };

    const std::vector<tinputfile>& files_;
    const tfilehandler& handler_;
    const std::size_t ahead_;
    std::mutex mutex_;
    std::condition_variable canstart_;
    std::condition_variable finished_;
    std::vector<tslot> slots_;
    std::size_t next_ = 0;     // the next file a worker takes
    std::size_t written_ = 0;  // files written so far, in order
    bool stop_ = false;
};

}  // namespace

bool jobsoption(const tparsedargs& args, const tcommand& command, unsigned& jobs, tcontext& ctx) {
    if (!args.has("jobs")) {
        jobs = std::max(1u, std::thread::hardware_concurrency());
        return true;
    }
    const std::string text = args.value("jobs");
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), jobs);
    if (!text.empty() && ec == std::errc() && end == text.data() + text.size() && jobs >= 1 && jobs <= maxjobs) {
        return true;
    }
    ctx.error(std::string(command.name) + ": --jobs takes a number of files from 1 to " + std::to_string(maxjobs) +
              ", not '" + text + "'");
    ctx.errortext(commandusage(command));
    return false;
}

tbatchresult runbatch(const std::vector<tinputfile>& files, unsigned jobs, const tfilehandler& handler, tcontext& ctx) {
    const std::size_t threads = std::min<std::size_t>(jobs, files.size());
    if (threads <= 1) return runinorder(files, handler, ctx);

    tpool pool(files, handler, threads * aheadperjob);
    // The main thread is one of the threads: it writes and runs files too.
    std::vector<std::thread> workers;
    workers.reserve(threads - 1);
    try {
        for (std::size_t i = 1; i < threads; ++i) workers.emplace_back([&pool] { pool.work(); });
    } catch (const std::system_error&) {
        // No more threads to be had: those that started do the work.
    }
    twriter writer(ctx, files.size());
    pool.writeall(writer);
    for (std::thread& worker : workers) worker.join();
    return writer.finish();
}

int runinputs(const tinputs& inputs, unsigned jobs, const tfilehandler& handler, tcontext& ctx, tbatchresult& result) {
    if (!inputs.batch && inputs.files.size() == 1) {
        const int status = std::clamp(handler(inputs.files.front(), 0, ctx), exitok, exitfailure);
        result = tbatchresult();
        result.worst = status;
        ++result.statuscount[static_cast<std::size_t>(status)];
    } else {
        result = runbatch(inputs.files, jobs, handler, ctx);
    }
    return inputs.folderfailed ? exitfailure : result.worst;
}

}  // namespace kestrune::cli
