// The thread on which the process-wide copies of lists are made afresh when
// a page finds its copy too far behind to bring up to date in passing: the
// page, and every other, goes on with the copy there is meanwhile. Jobs run
// one at a time, in the order posted; the thread starts with the first job
// and lives until stop() or the end of the process.
//
// A job opens its own database connection; the thread's pooled connections
// are closed after each job, so that it holds none between jobs.
#pragma once

#include <functional>

namespace zurvafun::rebuilds {

// Runs `job` on the rebuild thread (an exception it throws is dropped).
void post(std::function<void()> job);

// Returns once every job posted so far has run (tests, benchmarks).
void settle();

// Lets the running job finish, drops the waiting ones and ends the thread;
// jobs posted afterwards never run. For the end of the process, before the
// database layer closes every connection.
void stop();

}  // namespace zurvafun::rebuilds
