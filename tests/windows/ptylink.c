/* Test harness only: far ends for COM ports that Wine maps to pseudo-terminals.
 *   ptylink DIR   creates, as links in DIR to pseudo-terminal slaves:
 *     pair-a, pair-b  two terminals wired to each other (what one end writes, the other reads)
 *     stall           a terminal whose far end never reads (writes to it back up)
 *     hangup          a terminal whose far end hangs up when it receives a byte
 *   prints "ready" when the links exist, and runs until SIGTERM or SIGINT.
 * Each slave is raw and held open here too, so a program that closes and reopens its port
 * finds the line as it left it (no hang-up in between). */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

static volatile sig_atomic_t g_stop = 0;
static void on_stop(int sig) {
    (void)sig;
    g_stop = 1;
}

struct end {
    int master;
    int slave;
};

static struct end open_end(const char* dir, const char* name) {
    struct end e = {-1, -1};
    e.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (e.master < 0 || grantpt(e.master) != 0 || unlockpt(e.master) != 0) {
        perror("posix_openpt");
        exit(1);
    }
    const char* path = ptsname(e.master);
    e.slave = open(path, O_RDWR | O_NOCTTY);
    struct termios t;
    if (e.slave < 0 || tcgetattr(e.slave, &t) != 0) {
        perror(path);
        exit(1);
    }
    cfmakeraw(&t);
    tcsetattr(e.slave, TCSANOW, &t);
    char link[4096];
    snprintf(link, sizeof link, "%s/%s", dir, name);
    unlink(link);
    if (symlink(path, link) != 0) {
        perror(link);
        exit(1);
    }
    return e;
}

static void copy(int from, int to) {
    char buf[4096];
    const ssize_t n = read(from, buf, sizeof buf);
    for (ssize_t done = 0; n > 0 && done < n;) {
        const ssize_t w = write(to, buf + done, (size_t)(n - done));
        if (w < 0 && errno != EINTR && errno != EAGAIN)
            return;
        if (w > 0)
            done += w;
    }
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: ptylink DIR\n");
        return 2;
    }
    signal(SIGTERM, on_stop);
    signal(SIGINT, on_stop);
    signal(SIGPIPE, SIG_IGN);
    struct end a = open_end(argv[1], "pair-a");
    struct end b = open_end(argv[1], "pair-b");
    struct end stall = open_end(argv[1], "stall");
    struct end hangup = open_end(argv[1], "hangup");
    (void)stall;
    printf("ready\n");
    fflush(stdout);
    while (!g_stop) {
        struct pollfd p[3] = {
            {a.master, POLLIN, 0}, {b.master, POLLIN, 0}, {hangup.master, POLLIN, 0}};
        const int nfds = hangup.master >= 0 ? 3 : 2;
        if (poll(p, (nfds_t)nfds, 200) <= 0)
            continue;
        if (p[0].revents & POLLIN)
            copy(a.master, b.master);
        if (p[1].revents & POLLIN)
            copy(b.master, a.master);
        if (nfds == 3 && (p[2].revents & POLLIN)) {
            /* The far end goes away: its master and our hold on the slave close. */
            close(hangup.master);
            close(hangup.slave);
            hangup.master = -1;
        }
    }
    return 0;
}
