#include "platform/worker_threads.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <new>
#include <system_error>

bool ParseThreadCount(std::string_view text, int& count, std::string* error)
{
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(first, last, value);
    const bool number = !text.empty() && stop == last && (ec == std::errc() || ec == std::errc::result_out_of_range);
    if (number && ec == std::errc() && value >= 1 && value <= kMaxWorkerThreads) {
        count = value;
        return true;
    }
    if (error != nullptr) {
        *error = "the thread count must be a whole number from 1 to " + std::to_string(kMaxWorkerThreads) + ", not '" +
                 std::string(text) + "'";
    }
    return false;
}

int ThreadCountFromEnvironment(std::string* error)
{
    const char* text = std::getenv("ZARNIX_THREADS");
    if (text == nullptr || *text == '\0')
        return 0;
    int count = 0;
    std::string why;
    if (ParseThreadCount(text, count, &why))
        return count;
    if (error != nullptr)
        *error = "ZARNIX_THREADS: " + why;
    return -1;
}

int AutomaticThreadCount()
{
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

CWorkerThreads::CWorkerThreads(int count, const std::function<void(int)>& work)
{
    try {
        m_threads.reserve(static_cast<size_t>(std::max(count - 1, 0)));
    } catch (const std::bad_alloc&) {
        return;  // the caller alone
    }
    for (int t = 1; t < count; ++t) {
        try {
            m_threads.emplace_back([work, t] { work(t); });
        } catch (const std::system_error&) {
            break;  // fewer threads: the others share the work
        }
    }
}

void CWorkerThreads::Join()
{
    for (std::jthread& thread : m_threads) {
        if (thread.joinable())
            thread.join();
    }
}
