#pragma once
// Who a running program is: user, computer, process, and when it took something (a base's
// lock, a recovery file). Kept as "key=value" lines in those files, so that another program
// can tell who holds them and whether that program still runs.
#include <cstdint>
#include <string>
#include <string_view>

namespace veltris {

struct ProcessStamp {
    std::string user;
    std::string host;
    std::int64_t pid = 0;
    // The system's boot id and the process's start time in clock ticks since boot: a process
    // number the system has given again to another program, or one from before a restart,
    // is not taken for the program that wrote the stamp.
    std::string bootId;
    std::uint64_t startTicks = 0;
    std::int64_t time = 0;  // seconds since 1970 (UTC)

    // "user=…\nhost=…\npid=…\nboot=…\nstart=…\ntime=…\n"
    std::string toText() const;
    // Reads what toText() wrote; unknown keys are skipped. False when the pid or the host is
    // missing.
    bool fromText(std::string_view text);
};

// This process, stamped now.
ProcessStamp currentProcess();

// The stamp was written by this very process.
bool isCurrentProcess(const ProcessStamp& stamp);

// The program of the stamp no longer runs: it ran on this computer and its process is gone
// (or the system restarted since, or the number now belongs to another program). A stamp of
// another computer is never taken for gone.
bool processGone(const ProcessStamp& stamp);

// "12.03.2025 14:05" in local time.
std::string formatLocalTime(std::int64_t secondsSinceEpoch);

// "пользователь «ivanov» на компьютере «lab-3» (процесс 4242) с 12.03.2025 14:05"
std::string describeHolder(const ProcessStamp& stamp);

}  // namespace veltris
