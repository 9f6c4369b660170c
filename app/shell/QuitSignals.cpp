#include "QuitSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillory {

namespace {

int pipeEnds[2] = {-1, -1}; // [0] read by the event loop, [1] written by the handler
constexpr int handled[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int number)
{
    const char byte = char(number);
    (void)!::write(pipeEnds[1], &byte, 1);
    std::signal(number, SIG_DFL); // the next one ends the process
}

} // namespace

QuitSignals::QuitSignals(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeEnds) != 0)
        return;
    ::fcntl(pipeEnds[1], F_SETFL, O_NONBLOCK);
    m_notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::readPipe);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : handled)
        ::sigaction(number, &action, nullptr);
}

QuitSignals::~QuitSignals()
{
    if (m_notifier == nullptr)
        return;
    for (int number : handled)
        std::signal(number, SIG_DFL);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void QuitSignals::readPipe()
{
    char byte = 0;
    if (::read(pipeEnds[0], &byte, 1) == 1)
        emit received(int(byte));
}

} // namespace quillory
