#pragma once

#include <cstddef>
#include <functional>

/// The one way the tool runs work on several threads.
///
/// Runs job(0) on the calling thread and job(1) to job(count - 1) each on a
/// thread of its own, and returns when all have ended. A job whose thread
/// cannot be started (the system has none to give) runs on the calling
/// thread after job(0), so a job may wait only for work that job(0) does or
/// hands out to whoever is free. The first exception a job throws is thrown
/// again here once every job has ended; a job that another one waits for
/// must therefore not leave by an exception without releasing it.
void runConcurrently(std::size_t count, const std::function<void(std::size_t job)> &job);
