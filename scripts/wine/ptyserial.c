/* Preloaded into Wine by scripts/test-windows.sh: makes a pseudo-terminal answer the three
 * requests a real, quiet serial port answers and a pty refuses with ENOTTY.
 *
 * Wine serves a Windows program's WaitCommEvent (QSerialPort waits for incoming bytes with it)
 * by polling the port's interrupt counters (TIOCGICOUNT), modem lines (TIOCMGET) and line
 * status (TIOCSERGETLSR); when any of them fails the wait never reports a byte, although the
 * byte count it also asks for (TIOCINQ) works on a pty. Here a refused request on a pty slave
 * is answered as by a port with nothing happening: no counted interrupts, the lines the console
 * set plus the pump's ready lines, the transmitter empty. Every other call, and every call on
 * any other file, goes to the C library unchanged.
 *
 *   cc -shared -fPIC -O2 -o ptyserial.so ptyserial.c -ldl
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

/* Unix 98 pty slaves: majors 136 to 143 (Documentation/admin-guide/devices.txt). */
static int isPtySlave(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        return 0;
    }
    const unsigned int major = major(st.st_rdev);
    return major >= 136 && major <= 143;
}

typedef int (*IoctlFunction)(int, unsigned long, void *);

int ioctl(int fd, unsigned long request, ...)
{
    static IoctlFunction real;
    if (!real) {
        real = (IoctlFunction)dlsym(RTLD_NEXT, "ioctl");
    }
    va_list list;
    va_start(list, request);
    void *argument = va_arg(list, void *);
    va_end(list);

    const int result = real(fd, request, argument);
    if (result == 0 || errno != ENOTTY || !argument || !isPtySlave(fd)) {
        return result;
    }
    switch (request) {
    case TIOCGICOUNT:
        memset(argument, 0, sizeof(struct serial_icounter_struct));
        break;
    case TIOCMGET:
        *(int *)argument = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR;
        break;
    case TIOCSERGETLSR:
        *(unsigned int *)argument = TIOCSER_TEMT;
        break;
    default:
        return result;
    }
    errno = 0;
    return 0;
}
