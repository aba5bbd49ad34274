// A few long jobs shared by the calling thread and one more.
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace kolva {

// Runs job(0) .. job(count - 1), each thread taking the next when done with one, so that the
// jobs start in that order. Every job runs even when an earlier one raised; once all are done,
// the error of the first (by number) that raised is raised again.
template <typename Job>
void RunOnTwoThreads(size_t count, Job&& job) {
    std::vector<std::exception_ptr> errors(count);
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < count;) {
            try {
                job(i);
            } catch (...) {
                errors[i] = std::current_exception();
            }
        }
    };
    std::thread other(work);
    work();
    other.join();
    for (const std::exception_ptr& e : errors)
        if (e) std::rethrow_exception(e);
}

}  // namespace kolva
