#pragma once
// Runs the built qdb through the shell, as a user would, and captures exit code, stdout and stderr.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace qdbtest {

struct QdbRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string shellQuote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

// Empty when the file cannot be read.
inline std::string readAll(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// quotedArgs goes to the shell as it is. The capture files are made in scratch and removed
// again, so a test may count what the folder holds. shellPrefix runs in the same shell first
// (e.g. "ulimit -v 70000;"); `stdoutTo` sends standard output elsewhere (/dev/full) instead of
// capturing it.
inline QdbRun runQdbQuoted(const std::string& quotedArgs, const std::filesystem::path& scratch,
                           const std::string& shellPrefix = {}, const std::filesystem::path& stdoutTo = {})
{
    const std::filesystem::path out = scratch / "qdb-stdout.txt";
    const std::filesystem::path err = scratch / "qdb-stderr.txt";
    const std::string cmd = shellPrefix + shellQuote(QDB_EXE) + " " + quotedArgs + " >" +
                            shellQuote(stdoutTo.empty() ? out.string() : stdoutTo.string()) + " 2>" +
                            shellQuote(err.string());
    const int status = std::system(cmd.c_str());
    QdbRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readAll(out);
    run.err = readAll(err);
    std::error_code ec;
    std::filesystem::remove(out, ec);
    std::filesystem::remove(err, ec);
    return run;
}

inline QdbRun runQdb(const std::vector<std::string>& args, const std::filesystem::path& scratch)
{
    std::string quoted;
    for (const std::string& a : args) {
        if (!quoted.empty())
            quoted += ' ';
        quoted += shellQuote(a);
    }
    return runQdbQuoted(quoted, scratch);
}

}  // namespace qdbtest
