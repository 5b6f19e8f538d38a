#include "PlainPollLoop.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

long long TransferWithPoll(int sender, int receiver, long long total, char* buffer, int chunk)
{
    long long sent = 0;
    long long received = 0;
    while (received < total) {
        pollfd fds[2] = {{receiver, POLLIN, 0}, {sender, static_cast<short>(sent < total ? POLLOUT : 0), 0}};
        if (poll(fds, 2, 10000) <= 0)
            return received;
        if (fds[1].revents & POLLOUT) {
            while (sent < total) {
                const long long left = total - sent;
                const ssize_t n = ::send(sender, buffer, static_cast<size_t>(left < chunk ? left : chunk), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += n;
            }
        }
        if (fds[0].revents & POLLIN) {
            for (;;) {
                const ssize_t n = ::recv(receiver, buffer, static_cast<size_t>(chunk), 0);
                if (n <= 0) {
                    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
                        return received;
                    break;
                }
                received += n;
            }
        }
    }
    return received;
}
