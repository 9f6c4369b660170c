#include <shell/QuitSignals.h>

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillory {

namespace {

// Read by the event loop, written by the handler, which may run on any thread.
std::atomic<int> readEnd{-1};
std::atomic<int> writeEnd{-1};
constexpr int handled[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int number)
{
    const int savedErrno = errno; // the interrupted code may be about to read it
    const char byte = char(number);
    const int fd = writeEnd.load();
    if (fd >= 0)
        (void)!::write(fd, &byte, 1);
    std::signal(number, SIG_DFL); // the next one ends the process
    errno = savedErrno;
}

} // namespace

QuitSignals::QuitSignals(QObject *parent) : QObject(parent)
{
    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return;
    ::fcntl(ends[1], F_SETFL, O_NONBLOCK);
    readEnd = ends[0];
    writeEnd = ends[1];
    m_notifier = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
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
    ::close(writeEnd.exchange(-1));
    ::close(readEnd.exchange(-1));
}

void QuitSignals::readPipe()
{
    char byte = 0;
    if (::read(readEnd.load(), &byte, 1) == 1)
        emit received(int(byte));
}

} // namespace quillory
