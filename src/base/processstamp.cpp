#include "base/processstamp.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <ctime>
#include <fstream>
#include <sstream>

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

namespace veltris {

namespace {

// A value kept on one line: control characters (a newline above all) become '?'.
std::string oneLine(std::string_view text)
{
    std::string out(text.substr(0, 256));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return out;
}

std::string readSmallFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string bootId()
{
    std::string id = readSmallFile("/proc/sys/kernel/random/boot_id");
    while (!id.empty() && (id.back() == '\n' || id.back() == ' '))
        id.pop_back();
    return oneLine(id);
}

// Field 22 of /proc/<pid>/stat: the start time in clock ticks since boot; 0 when unknown.
std::uint64_t startTicksOf(std::int64_t pid)
{
    const std::string stat = readSmallFile(("/proc/" + std::to_string(pid) + "/stat").c_str());
    // The command name (field 2) is in parentheses and may hold spaces and parentheses itself.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 22 && (fields >> field); ++i)
        if (i == 22) {
            std::uint64_t ticks = 0;
            std::from_chars(field.data(), field.data() + field.size(), ticks);
            return ticks;
        }
    return 0;
}

std::string userName()
{
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name && *pw->pw_name)
        return oneLine(pw->pw_name);
    if (const char* user = std::getenv("USER"); user && *user)
        return oneLine(user);
    return std::to_string(::geteuid());
}

std::string hostName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return oneLine(name);
}

template <class T>
bool parseNumber(std::string_view text, T& out)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::string ProcessStamp::toText() const
{
    return "user=" + oneLine(user) + "\nhost=" + oneLine(host) + "\npid=" + std::to_string(pid) +
           "\nboot=" + oneLine(bootId) + "\nstart=" + std::to_string(startTicks) +
           "\ntime=" + std::to_string(time) + "\n";
}

bool ProcessStamp::fromText(std::string_view text)
{
    bool havePid = false;
    bool haveHost = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, eq);
        const std::string_view value = line.substr(eq + 1);
        if (key == "user")
            user = value;
        else if (key == "host")
            host = value, haveHost = true;
        else if (key == "pid")
            havePid = parseNumber(value, pid) && pid > 0;
        else if (key == "boot")
            bootId = value;
        else if (key == "start")
            parseNumber(value, startTicks);
        else if (key == "time")
            parseNumber(value, time);
    }
    return havePid && haveHost;
}

ProcessStamp currentProcess()
{
    ProcessStamp s;
    s.user = userName();
    s.host = hostName();
    s.pid = ::getpid();
    s.bootId = bootId();
    s.startTicks = startTicksOf(s.pid);
    s.time = static_cast<std::int64_t>(std::time(nullptr));
    return s;
}

bool isCurrentProcess(const ProcessStamp& stamp)
{
    if (stamp.pid != ::getpid() || stamp.host != hostName())
        return false;
    return (stamp.bootId.empty() || stamp.bootId == bootId()) &&
           (stamp.startTicks == 0 || stamp.startTicks == startTicksOf(stamp.pid));
}

bool processGone(const ProcessStamp& stamp)
{
    if (stamp.host != hostName())
        return false;  // another computer's process cannot be looked at
    if (const std::string boot = bootId(); !stamp.bootId.empty() && !boot.empty() && stamp.bootId != boot)
        return true;  // written before the system restarted
    if (stamp.pid <= 0 || stamp.pid > INT_MAX)
        return false;
    if (::kill(static_cast<pid_t>(stamp.pid), 0) != 0 && errno == ESRCH)
        return true;
    // The number runs, but perhaps as another program that got it later.
    if (stamp.startTicks != 0) {
        const std::uint64_t now = startTicksOf(stamp.pid);
        return now != 0 && now != stamp.startTicks;
    }
    return false;
}

std::string formatLocalTime(std::int64_t secondsSinceEpoch)
{
    const std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm local{};
    if (::localtime_r(&t, &local) == nullptr)
        return "?";
    char text[32] = {};
    std::strftime(text, sizeof text, "%d.%m.%Y %H:%M", &local);
    return text;
}

std::string describeHolder(const ProcessStamp& stamp)
{
    std::string text = "пользователь «" + (stamp.user.empty() ? std::string("?") : stamp.user) + "»";
    text += " на компьютере «" + (stamp.host.empty() ? std::string("?") : stamp.host) + "»";
    if (stamp.pid > 0)
        text += " (процесс " + std::to_string(stamp.pid) + ")";
    if (stamp.time > 0)
        text += " с " + formatLocalTime(stamp.time);
    return text;
}

}  // namespace veltris
