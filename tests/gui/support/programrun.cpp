#include "programrun.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTest>

#include <signal.h>

ProgramRun::ProgramRun()
{
    const QString exe = QDir(QStringLiteral(VELTRIS_BIN_DIR)).filePath(QStringLiteral("veltris"));
    if (!QFile::copy(exe, m_folder.file(QStringLiteral("veltris"))))
        qWarning("cannot copy %s", qPrintable(exe));
    m_folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n"));
}

ProgramRun::~ProgramRun()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
}

QString ProgramRun::recoveryDir() const
{
    return m_folder.file(QStringLiteral("userdata/veltris/recovery"));
}

AppPaths ProgramRun::paths() const
{
    AppPaths p = m_folder.paths();
    p.recoveryDir = recoveryDir();
    return p;
}

bool ProgramRun::start(const QStringList& args, const QStringList& actions)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_folder.file(QStringLiteral("userdata")));
    if (actions.isEmpty())
        env.remove(QStringLiteral("VELTRIS_TEST_ACTIONS"));
    else
        env.insert(QStringLiteral("VELTRIS_TEST_ACTIONS"), actions.join(QLatin1Char(',')));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_output.clear();
    m_process.start(m_folder.file(QStringLiteral("veltris")), args);
    return m_process.waitForStarted(20000);
}

bool ProgramRun::waitForActions(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!m_output.contains("VELTRIS_TEST_ACTIONS done")) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        m_process.waitForReadyRead(100);
        m_output += m_process.readAllStandardOutput();
    }
    return true;
}

void ProgramRun::signal(int number)
{
    if (m_process.processId() > 0)
        ::kill(static_cast<pid_t>(m_process.processId()), number);
}

bool ProgramRun::waitForExit(int ms)
{
    return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(ms);
}
