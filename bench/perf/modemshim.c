/* Lets a serial terminal keep a pseudo-terminal open: the modem-line requests that a pty refuses
 * (ENOTTY) are answered as a real port with every line asserted would; everything else goes to
 * the real ioctl.  cc -shared -fPIC -O2 -o modemshim.so modemshim.c -ldl */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdarg.h>
#include <sys/ioctl.h>

int ioctl(int fd, unsigned long request, ...)
{
    static int (*real)(int, unsigned long, ...);
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
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
    if (!real) {
        real = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    }
    return real(fd, request, arg);
}
