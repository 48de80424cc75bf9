#include "cli/output.h"

#include <cerrno>
#include <cstdio>
#include <iostream>

#include "base/syserror.h"
#include "cli/commands.h"

namespace qdb {

namespace {

int g_error = 0;  // errno of the first failed write; -1 when the system gave none

void keep(int err)
{
    if (g_error == 0)
        g_error = err != 0 ? err : -1;
}

}  // namespace

void writeOut(std::string_view text)
{
    if (g_error != 0 || text.empty())
        return;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
        keep(errno);
}

void flushOut()
{
    // CLI11's help goes through the stream, which passes its text on to stdout as it comes;
    // flushing it flushes stdout too.
    errno = 0;
    std::cout.flush();
    if (!std::cout)
        keep(errno);
    errno = 0;
    if (std::fflush(stdout) != 0)
        keep(errno);
}

bool finishOut()
{
    flushOut();
    if (!std::cout || std::ferror(stdout))
        keep(0);
    errno = 0;
    if (std::fclose(stdout) != 0)
        keep(errno);
    if (g_error == 0)
        return true;
    std::string message = "Ошибка записи в стандартный вывод";
    if (g_error > 0)
        message += ": " + veltris::systemReason(g_error);
    printError(message);
    return false;
}

}  // namespace qdb
