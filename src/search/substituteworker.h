#pragma once
#include <functional>
#include <memory>
#include <thread>

#include "search/substitutejob.h"

class QObject;

namespace veltris {
class NavigatorCatalogue;
}

// The thread a search of the page «Замена» runs on: the open base or the library, with the job's
// progress and cancel flag; the report (or the lack of memory) is written into the job.
class SubstituteWorker {
public:
    SubstituteWorker() = default;
    SubstituteWorker(const SubstituteWorker&) = delete;
    SubstituteWorker& operator=(const SubstituteWorker&) = delete;
    ~SubstituteWorker() { join(); }

    // Runs `job` on the thread (a library search reads `navigator`, which must outlive it);
    // `finished` is then called on the thread of `receiver`, through its event queue.
    void start(const std::shared_ptr<SubstituteJob>& job, const veltris::NavigatorCatalogue* navigator,
               QObject* receiver, std::function<void()> finished);
    // Waits for the thread to end (at once when none runs).
    void join();

private:
    std::thread m_thread;
};
