// For the peers in the performance run (serial terminals from Debian): a pseudo-terminal has no
// modem lines, and the terminals close a port whose line calls fail. This library, preloaded,
// answers exactly the four modem-line requests with success (DTR, RTS, CTS, DSR and DCD
// asserted) and passes every other ioctl on. GTKTerm also asks udev for the device behind the
// port and closes a port that udev does not know, as a pty: that answer becomes /dev/ptmx's.
//
//   cc -shared -fPIC -O2 -o modemshim.so modemshim.c -ldl
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdarg.h>
#include <sys/ioctl.h>

int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    switch (request) {
    case TIOCMGET:
        if (arg) {
            *(int *)arg = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CD;
        }
        return 0;
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC:
        return 0;
    default:
        break;
    }
    static int (*next)(int, unsigned long, ...);
    if (!next) {
        next = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    }
    return next(fd, request, arg);
}

// GTKTerm links libgudev; other programs never call this.
void *g_udev_client_query_by_device_file(void *client, const char *path)
{
    static void *(*next)(void *, const char *);
    if (!next) {
        next =
            (void *(*)(void *, const char *))dlsym(RTLD_NEXT, "g_udev_client_query_by_device_file");
    }
    if (!next) {
        return 0;
    }
    void *device = next(client, path);
    return device ? device : next(client, "/dev/ptmx");
}
