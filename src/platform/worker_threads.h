// Threads for the large exports. The program uses the standard library's threads
// (std::jthread), started per export, rather than a task library such as oneTBB: the work
// comes in a few dozen coarse pieces (bands of a bitmap, parts of the fractal's path) that
// must be joined in a fixed order on the calling thread, which also talks to the export's
// progress object. A handful of threads and one mutex do that with no extra dependency, and
// ThreadSanitizer checks them without an instrumented copy of a library.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// The most threads an export is drawn or written with.
constexpr int kMaxWorkerThreads = 64;

// A thread count as the user gives it (the --threads option, ZARNIX_THREADS): a whole number
// from 1 to kMaxWorkerThreads with nothing around it. False, with `error` saying why, for
// anything else.
bool ParseThreadCount(std::string_view text, int& count, std::string* error = nullptr);

// The thread count ZARNIX_THREADS asks for: 0 when it is not set (or empty), -1 when it is not
// a valid count (then `error`, if given, says why), else the count.
int ThreadCountFromEnvironment(std::string* error = nullptr);

// The threads an export uses when nobody says: one per core, at most 8.
int AutomaticThreadCount();

// Runs work(1) .. work(count - 1) on threads of their own, started by the constructor and
// joined by Join or the destructor; the caller runs its own share (work(0), say) meanwhile. A
// thread that cannot be started is left out: Started() tells how many did start, and their
// indices are 1 .. Started().
class CWorkerThreads {
public:
    CWorkerThreads(int count, const std::function<void(int)>& work);
    ~CWorkerThreads() { Join(); }
    CWorkerThreads(const CWorkerThreads&) = delete;
    CWorkerThreads& operator=(const CWorkerThreads&) = delete;

    int Started() const { return static_cast<int>(m_threads.size()); }
    void Join();

private:
    std::vector<std::jthread> m_threads;
};
