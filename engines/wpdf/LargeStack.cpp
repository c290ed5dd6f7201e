#include "LargeStack.h"

#include <cstring>
#include <exception>
#include <pthread.h>
#include <stdexcept>
#include <string>

namespace wpdf {

namespace {

struct Job {
    const std::function<void()> *work;
    std::exception_ptr error;
};

void *run(void *argument)
{
    auto *job = static_cast<Job *>(argument);
    try {
        (*job->work)();
    } catch (...) {
        job->error = std::current_exception();
    }
    return nullptr;
}

} // namespace

void onLargeStack(const std::function<void()> &work)
{
    Job job{&work, nullptr};
    int error = 0;
    // The smaller size still holds many times what the limits on front files allow.
    for (size_t size : {size_t(256) << 20, size_t(32) << 20}) {
        pthread_attr_t attributes;
        if ((error = pthread_attr_init(&attributes)) != 0)
            continue;
        pthread_t thread;
        error = pthread_attr_setstacksize(&attributes, size);
        if (error == 0)
            error = pthread_create(&thread, &attributes, run, &job);
        pthread_attr_destroy(&attributes);
        if (error == 0) {
            pthread_join(thread, nullptr);
            if (job.error)
                std::rethrow_exception(job.error);
            return;
        }
    }
    throw std::runtime_error(std::string("no thread to do the work could be started: ") + std::strerror(error));
}

} // namespace wpdf
