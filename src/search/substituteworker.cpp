#include "search/substituteworker.h"

#include <QMetaObject>
#include <QObject>
#include <new>
#include <utility>

void SubstituteWorker::start(const std::shared_ptr<SubstituteJob>& job,
                             const veltris::NavigatorCatalogue* navigator, QObject* receiver,
                             std::function<void()> finished)
{
    m_thread = std::thread([job, navigator, receiver, finished = std::move(finished)] {
        const veltris::FinderProgress progress = [&job](std::size_t done, std::size_t total) {
            job->done = done;
            job->total = total;
            return !job->cancel;
        };
        try {
            job->report = job->library
                              ? veltris::findInLibrary(job->query, job->base, job->openFile, *navigator,
                                                       job->catalogue, progress)
                              // The table shows every result (at most the chosen top).
                              : veltris::findInBase(job->query, job->base, job->openFile, progress, true);
        } catch (const std::bad_alloc&) {
            job->report = {};
            job->outOfMemory = true;
        }
        QMetaObject::invokeMethod(receiver, finished, Qt::QueuedConnection);
    });
}

void SubstituteWorker::join()
{
    if (m_thread.joinable())
        m_thread.join();
}
