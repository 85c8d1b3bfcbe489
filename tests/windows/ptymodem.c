/* Test harness only (LD_PRELOAD into Wine): a Linux pseudo-terminal has no modem lines and
 * refuses their ioctls with ENOTTY, and Wine's serial layer then aborts every event wait.
 * For pseudo-terminal descriptors this answers them as a cable with the far end ready would:
 * DTR and RTS are kept as set, CTS, DSR and CD are on, the error counters stay zero and the
 * transmitter is always empty. Every other call goes to the real ioctl. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

static int g_lines = TIOCM_DTR | TIOCM_RTS;

static int is_pty(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return 0;
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143; /* Unix98 pseudo-terminal slaves */
}

int ioctl(int fd, unsigned long request, ...) {
    static int (*real)(int, unsigned long, void*) = 0;
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (!real)
        real = (int (*)(int, unsigned long, void*))dlsym(RTLD_NEXT, "ioctl");
    const int ready = TIOCM_CTS | TIOCM_DSR | TIOCM_CD;
    switch (request) {
    case TIOCMGET:
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC:
    case TIOCGICOUNT:
    case TIOCSERGETLSR:
        if (!is_pty(fd))
            break;
        if (request == TIOCMGET)
            *(int*)arg = (g_lines & (TIOCM_DTR | TIOCM_RTS)) | ready;
        else if (request == TIOCMSET)
            g_lines = *(int*)arg;
        else if (request == TIOCMBIS)
            g_lines |= *(int*)arg;
        else if (request == TIOCMBIC)
            g_lines &= ~*(int*)arg;
        else if (request == TIOCGICOUNT)
            memset(arg, 0, sizeof(struct serial_icounter_struct));
        else
            *(unsigned*)arg = TIOCSER_TEMT;
        return 0;
    default:
        break;
    }
    return real(fd, request, arg);
}
