// The pump side and the floor of the performance run, in plain POSIX so that it costs the
// measured programs as little as possible.
//
//   perfdriver feed --count N [--rate R]
//       Makes a pseudo-terminal, prints "pty PATH", waits for a line on standard input, then
//       writes N pressure replies "Q01Nab.cY" (the value changes with every reply): R a second
//       on an absolute schedule, or as fast as the line takes them without --rate. The line
//       "go" starts; "probe X Y W H" (built with X11 only) first sends one cycle of values
//       slowly to learn how that screen rectangle shows each, then starts and times every reply
//       from its write to the moment the rectangle shows its value (XGetImage polling); a reply
//       not shown before the next is due counts as missed. Prints "fed ..." and "drained_s ..."
//       when the reader has taken every byte, then waits for standard input to close before it lets
//       the line go.
//   perfdriver read PATH --count N
//       The floor: a plain reader that cuts the bytes into replies and counts the valid ones,
//       nothing else. Prints "read N frames in S s" and exits after N replies or at hang-up.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#ifdef PERF_HAVE_X11
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#endif

namespace {

constexpr int frameLength = 9;
constexpr long valueCycle = 200; // reply i carries value i % 200 (tenths)

double now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void sleepUntil(double when)
{
    timespec t{};
    t.tv_sec = time_t(when);
    t.tv_nsec = long((when - double(t.tv_sec)) * 1e9);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

// Reply i: "Q01N" and a value that differs from the one before it, "Y".
void frame(long i, char *out)
{
    const int tenths = int(i % valueCycle);
    std::snprintf(out, frameLength + 1, "Q01N%02d.%dY", tenths / 10, tenths % 10);
}

void makeRaw(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
}

const char *option(int argc, char **argv, const char *name, const char *fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) {
            return argv[i + 1];
        }
    }
    return fallback;
}

// Whatever the reader sends to the pump is read and dropped, so it never blocks the reader.
void drainInput(int master)
{
    char sink[4096];
    while (::read(master, sink, sizeof sink) > 0) {
    }
}

bool writeAll(int master, const char *data, size_t size)
{
    while (size > 0) {
        pollfd p{master, POLLOUT | POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0) {
            return false;
        }
        if (p.revents & POLLIN) {
            drainInput(master);
        }
        if (p.revents & POLLOUT) {
            const ssize_t n = ::write(master, data, size);
            if (n < 0 && errno != EAGAIN) {
                return false;
            }
            if (n > 0) {
                data += n;
                size -= size_t(n);
            }
        }
    }
    return true;
}

#ifdef PERF_HAVE_X11
// Watches a screen rectangle for any change of its pixels.
class PixelProbe
{
public:
    PixelProbe(int x, int y, int w, int h) : m_x(x), m_y(y), m_w(w), m_h(h)
    {
        m_display = XOpenDisplay(nullptr);
        if (m_display) {
            m_last = grab();
        }
    }
    ~PixelProbe()
    {
        if (m_display) {
            XCloseDisplay(m_display);
        }
    }
    bool ok() const { return m_display != nullptr; }
    // The pixels once they have changed and then stayed the same for 30 ms (empty if they do not
    // change by `deadline`): how the read-out looks with one value.
    std::vector<unsigned long> settled(double deadline)
    {
        std::vector<unsigned long> pixels;
        while ((pixels = grab()) == m_last) {
            if (now() > deadline) {
                return {};
            }
        }
        for (double quiet = now() + 0.03; now() < quiet;) {
            std::vector<unsigned long> later = grab();
            if (later != pixels) {
                pixels = std::move(later);
                quiet = now() + 0.03;
            }
        }
        m_last = pixels;
        return pixels;
    }
    // True once the pixels are `expected`; polls until `deadline`.
    bool waitFor(const std::vector<unsigned long> &expected, double deadline)
    {
        do {
            if (grab() == expected) {
                return true;
            }
            // A breath between polls, so that the probe does not keep the X server busy and
            // delay the very drawing it waits for.
            usleep(150);
        } while (now() < deadline);
        return false;
    }

private:
    std::vector<unsigned long> grab()
    {
        std::vector<unsigned long> pixels;
        XImage *image = XGetImage(m_display, DefaultRootWindow(m_display), m_x, m_y, unsigned(m_w),
                                  unsigned(m_h), AllPlanes, ZPixmap);
        if (!image) {
            return pixels;
        }
        pixels.reserve(size_t(m_w * m_h));
        for (int y = 0; y < m_h; ++y) {
            for (int x = 0; x < m_w; ++x) {
                pixels.push_back(XGetPixel(image, x, y));
            }
        }
        XDestroyImage(image);
        return pixels;
    }

    Display *m_display = nullptr;
    int m_x, m_y, m_w, m_h;
    std::vector<unsigned long> m_last;
};
#endif

double percentile(std::vector<double> v, double p)
{
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p / 100.0 * double(v.size())))];
}

int feed(int argc, char **argv)
{
    const long count = std::atol(option(argc, argv, "--count", "1000"));
    const double rate = std::atof(option(argc, argv, "--rate", "0"));
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("perfdriver: pty");
        return 1;
    }
    const std::string slaveName = ptsname(master);
    // Our own hold on the reader's side: the line never hangs up under the reader.
    const int slave = ::open(slaveName.c_str(), O_RDWR | O_NOCTTY);
    makeRaw(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    std::printf("pty %s\n", slaveName.c_str());
    std::fflush(stdout);

    char command[256] = {};
    if (!std::fgets(command, sizeof command, stdin)) {
        return 1;
    }
    int px = 0, py = 0, pw = 0, ph = 0;
    const bool probing = std::sscanf(command, "probe %d %d %d %d", &px, &py, &pw, &ph) == 4;
#ifdef PERF_HAVE_X11
    PixelProbe probe(px, py, pw, ph);
    if (probing && !probe.ok()) {
        std::fprintf(stderr, "perfdriver: no X display for the probe\n");
        return 1;
    }
    std::vector<double> latencies;
    long missed = 0;
#else
    if (probing) {
        std::fprintf(stderr, "perfdriver: built without X11, cannot probe\n");
        return 1;
    }
#endif

#ifdef PERF_HAVE_X11
    // One cycle of values, slowly, to learn how the read-out shows each; then a reply counts as
    // shown only when its own value is on the screen, never a late one of the reply before.
    std::vector<std::vector<unsigned long>> looks;
    if (probing) {
        char f[frameLength + 1];
        // From value 1 round to 0: the read-out starts at 00.0.
        looks.resize(size_t(valueCycle));
        for (long i = 1; i <= valueCycle; ++i) {
            frame(i, f);
            writeAll(master, f, frameLength);
            auto &look = looks[size_t(i % valueCycle)];
            look = probe.settled(now() + 2);
            if (look.empty()) {
                std::fprintf(stderr, "perfdriver: the read-out did not change for reply %ld\n", i);
                return 1;
            }
        }
    }
#endif
    const double start = now();
    if (rate > 0) {
        char f[frameLength + 1];
        for (long i = 0; i < count; ++i) {
            const double due = start + double(i) / rate;
            sleepUntil(due);
            frame(i + 1, f); // after the learning cycle the read-out shows value 0
            const double written = now();
            if (!writeAll(master, f, frameLength)) {
                std::fprintf(stderr, "perfdriver: write failed at %ld\n", i);
                return 1;
            }
#ifdef PERF_HAVE_X11
            if (probing) {
                if (probe.waitFor(looks[size_t((i + 1) % valueCycle)],
                                  start + double(i + 1) / rate)) {
                    latencies.push_back((now() - written) * 1e3);
                } else {
                    ++missed;
                }
            }
#else
            (void)written;
#endif
        }
    } else {
        // Whole blocks, as a burst arrives: the line takes what the reader makes room for.
        constexpr long perBlock = 7000;
        std::vector<char> block(size_t(perBlock * frameLength + 1));
        for (long first = 0; first < count; first += perBlock) {
            const long n = std::min(perBlock, count - first);
            for (long i = 0; i < n; ++i) {
                frame(first + i, block.data() + i * frameLength);
            }
            if (!writeAll(master, block.data(), size_t(n * frameLength))) {
                std::fprintf(stderr, "perfdriver: write failed near %ld\n", first);
                return 1;
            }
        }
    }
    const double written = now() - start;
    // Taken by the reader: nothing left in the line's queue, twice in a row.
    int quiet = 0;
    for (double giveUp = now() + 30; quiet < 2 && now() < giveUp;) {
        int queued = 0;
        ioctl(slave, FIONREAD, &queued);
        quiet = queued == 0 ? quiet + 1 : 0;
        drainInput(master);
        usleep(500);
    }
    std::printf("fed %ld frames in %.4f s\ndrained_s %.4f\n", count, written, now() - start);
#ifdef PERF_HAVE_X11
    if (probing) {
        std::printf("latency_ms n=%zu missed=%ld p50=%.3f p90=%.3f p99=%.3f max=%.3f\n",
                    latencies.size(), missed, percentile(latencies, 50), percentile(latencies, 90),
                    percentile(latencies, 99), percentile(latencies, 100));
    }
#endif
    std::fflush(stdout);
    // Hold the line until told, so the reader never sees it go away while it still works.
    while (std::fgets(command, sizeof command, stdin)) {
    }
    return 0;
}

int readFloor(int argc, char **argv)
{
    if (argc < 3) {
        return 2;
    }
    const long count = std::atol(option(argc, argv, "--count", "1000"));
    const int fd = ::open(argv[2], O_RDWR | O_NOCTTY);
    if (fd < 0) {
        std::perror("perfdriver: open");
        return 1;
    }
    makeRaw(fd);
    std::printf("ready\n");
    std::fflush(stdout);
    std::vector<char> buffer(65536 + frameLength);
    size_t kept = 0;
    long frames = 0;
    double first = 0;
    while (frames < count) {
        const ssize_t n = ::read(fd, buffer.data() + kept, buffer.size() - kept);
        if (n <= 0) {
            break;
        }
        if (first == 0) {
            first = now();
        }
        const size_t size = kept + size_t(n);
        size_t at = 0;
        while (at < size) {
            const char *q =
                static_cast<const char *>(std::memchr(buffer.data() + at, 'Q', size - at));
            if (!q) {
                at = size;
                break;
            }
            at = size_t(q - buffer.data());
            if (size - at < size_t(frameLength)) {
                break;
            }
            if (buffer[at + frameLength - 1] == 'Y') {
                ++frames;
                at += frameLength;
            } else {
                ++at;
            }
        }
        kept = size - at;
        std::memmove(buffer.data(), buffer.data() + at, kept);
    }
    std::printf("read %ld frames in %.4f s\n", frames, now() - first);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "feed") == 0) {
        return feed(argc, argv);
    }
    if (argc >= 2 && std::strcmp(argv[1], "read") == 0) {
        return readFloor(argc, argv);
    }
    std::fprintf(stderr, "usage: perfdriver feed --count N [--rate R] | read PATH --count N\n");
    return 2;
}
