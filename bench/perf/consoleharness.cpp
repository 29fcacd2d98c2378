// The real console window for the performance run: the real serial port, the real ticker and
// widgets, only the port box answered by a script. Commands on standard input steer it and
// answers go to standard output, one line each:
//
//   stats          "stats rss_kib=N lag_max_ms=X lag_p99_ms=X values=N"  (lag since last stats)
//   lag on|off     watches how late the event loop answers a 5 ms timer (for floods only: the
//                  watch itself wakes the process 200 times a second)
//   save           saves the record to --record and answers "saved"
//   reach N        answers "reached N at NS rss_kib=K" (NS: CLOCK_REALTIME in nanoseconds) as
//                  soon as the record holds N values, checked every millisecond
//   quit
//
//   pumpperf_console [--record FILE] [--empty] PORT
//
// At start it prints "firstpaint_ms X" (since PERF_START_NS, the launcher's CLOCK_REALTIME in
// nanoseconds just before it started us), "readout x y w h" (LcurrP on the screen) and "ready".
// --empty shows a bare window of the same size with one label in the same font instead, the
// memory floor that the console is compared with. Given a PORT as well, that label shows the
// value of each reply read from it: the least a Qt Widgets window can do per reply (wake, read,
// set a label's text, repaint, hand the pixels to X), the floor for the console's CPU, X server
// time and latency. "reach" and "stats" then count its replies.
#include "app/systemparts.h"
#include "control/pumpconsole.h"
#include "control/seams/operatorboxes.h"
#include "link/wire/framereader.h"
#include "ui/mainwindow.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTimer>
#include <unistd.h>
#include <vector>

namespace {

double sinceLaunchMs()
{
    const QByteArray start = qgetenv("PERF_START_NS");
    if (start.isEmpty()) {
        return -1;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const double nowNs = double(now.tv_sec) * 1e9 + double(now.tv_nsec);
    return (nowNs - start.toDouble()) / 1e6;
}

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').front().toLong();
        }
    }
    return -1;
}

class HarnessBoxes final : public OperatorBoxes
{
public:
    explicit HarnessBoxes(QString port) : m_port(std::move(port)) {}
    std::optional<QString> ask(const QString &prompt, const QString &, const QString &) override
    {
        std::fprintf(stderr, "box asked: %s -> %s\n", qPrintable(prompt), qPrintable(m_port));
        return m_port;
    }
    std::optional<QString> choose(const QString &prompt, const QString &title, const QStringList &,
                                  const QString &defaultText) override
    {
        return ask(prompt, title, defaultText);
    }
    void tell(const QString &prompt, const QString &) override
    {
        std::fprintf(stderr, "box: %s\n", qPrintable(prompt));
    }
    void notify(const QString &prompt, const QString &title) override { tell(prompt, title); }
    void alarm(const QString &prompt, const QString &title, std::function<void()>) override
    {
        tell(prompt, title);
    }

private:
    QString m_port;
};

// How late a 5 ms timer fires: the longest time the window would take to answer a key.
class LagWatch : public QObject
{
public:
    LagWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double gap = double(m_clock.nsecsElapsed()) / 1e6;
            m_clock.restart();
            m_lags.push_back(std::max(0.0, gap - 5.0));
        });
    }
    void setOn(bool on)
    {
        m_lags.clear();
        m_clock.start();
        on ? m_timer.start() : m_timer.stop();
    }
    // Max and 99th percentile since the last call.
    std::pair<double, double> take()
    {
        std::vector<double> lags = std::exchange(m_lags, {});
        if (lags.empty()) {
            return {0, 0};
        }
        std::sort(lags.begin(), lags.end());
        return {lags.back(), lags[lags.size() * 99 / 100]};
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::vector<double> m_lags;
};

void say(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Each reply's value into one label, nothing else: no record, no chart, no checks beyond the
// frame's first and last characters.
class PlainLabelReader : public QObject
{
public:
    PlainLabelReader(const QString &port, QLabel *label) : m_port(port), m_label(label)
    {
        connect(&m_port, &QSerialPort::readyRead, this, &PlainLabelReader::read);
    }
    [[nodiscard]] bool open()
    {
        return m_port.open(QIODevice::ReadWrite) && m_port.setBaudRate(QSerialPort::Baud9600);
    }
    [[nodiscard]] qsizetype replies() const { return m_replies; }

private:
    void read()
    {
        // The console's own frame cutting; what the floor leaves out is everything after it.
        // A frame's view ends with the call, so its value is copied out.
        std::array<char, 4> latest{};
        bool any = false;
        m_reader.feed(m_port.readAll(), [&](QByteArrayView frame) {
            std::copy_n(frame.data() + 4, latest.size(), latest.begin());
            any = true;
            ++m_replies;
        });
        if (any) {
            m_label->setText(QString::fromLatin1(latest.data(), qsizetype(latest.size())));
        }
    }

    QSerialPort m_port;
    QLabel *m_label;
    FrameReader m_reader;
    qsizetype m_replies = 0;
};

void sayGeometry(const QWidget *widget)
{
    const QRect r(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    say(QByteArray("readout ") + QByteArray::number(r.x()) + ' ' + QByteArray::number(r.y()) + ' ' +
        QByteArray::number(r.width()) + ' ' + QByteArray::number(r.height()));
}

class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            // After this paint the frame goes to the screen at once (next event-loop pass).
            QTimer::singleShot(
                0, [] { say("firstpaint_ms " + QByteArray::number(sinceLaunchMs(), 'f', 1)); });
        }
        return false;
    }

private:
    bool m_done = false;
};

} // namespace

int main(int argc, char **argv)
{
    // Pixels over the display connection, as app/main.cpp chooses for the console, and the same
    // for the bare window, so that the floor is the least a Qt window costs, not one in a
    // setting the console does not use.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", "1");
    }
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString recordPath;
    bool empty = false;
    QString port;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == u"--record" && i + 1 < args.size()) {
            recordPath = args[++i];
        } else if (args[i] == u"--empty") {
            empty = true;
        } else {
            port = args[i];
        }
    }

    FirstPaint firstPaint;
    HarnessBoxes boxes(port);
    std::unique_ptr<SystemParts> system; // the console's, before its window and after it
    std::unique_ptr<PumpConsole> pumpConsole;
    std::unique_ptr<QWidget> window;
    MainWindow *console = nullptr;
    QLabel *plainLabel = nullptr;
    std::unique_ptr<PlainLabelReader> plainReader;
    if (empty) {
        auto *bare = new QMainWindow;
        MainWindow::installFontSubstitutions();
        auto *label = new QLabel(QStringLiteral("00.0"), bare);
        QFont font(QStringLiteral("宋体"));
        font.setPointSizeF(12);
        font.setBold(true);
        label->setFont(font);
        // A fixed size, as the console's read-outs have: no layout pass per text.
        label->setFixedSize(label->sizeHint() + QSize(8, 0));
        bare->setCentralWidget(label);
        plainLabel = label;
        bare->setGeometry(QRect(MainWindow::clientPosition, MainWindow::clientSize));
        window.reset(bare);
    } else {
        system = std::make_unique<SystemParts>();
        pumpConsole = std::make_unique<PumpConsole>(system->seams(boxes));
        console = new MainWindow(*pumpConsole, boxes);
        window.reset(console);
        if (!recordPath.isEmpty()) {
            console->console().setRecordPath(recordPath);
        }
    }
    window->installEventFilter(&firstPaint);
    window->show();
    if (plainLabel && !port.isEmpty()) {
        plainReader = std::make_unique<PlainLabelReader>(port, plainLabel);
        if (!plainReader->open()) {
            std::fprintf(stderr, "pumpperf_console: could not open %s\n", qPrintable(port));
            return 1;
        }
        sayGeometry(plainLabel);
    }
    if (console) {
        console->console().choosePort();
        if (!console->console().isConnected()) {
            std::fprintf(stderr, "pumpperf_console: could not open %s\n", qPrintable(port));
            return 1;
        }
        sayGeometry(console->label(Readout::Pressure));
    }
    say("ready");

    const auto values = [&]() -> qsizetype {
        if (console) {
            return console->console().pump().record().size();
        }
        return plainReader ? plainReader->replies() : 0;
    };
    LagWatch lag;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, n);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
            const QByteArray command = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (command == "stats") {
                const auto [max, p99] = lag.take();
                say("stats rss_kib=" + QByteArray::number(qint64(residentKiB())) +
                    " lag_max_ms=" + QByteArray::number(max, 'f', 2) +
                    " lag_p99_ms=" + QByteArray::number(p99, 'f', 2) +
                    " values=" + QByteArray::number(qint64(values())));
            } else if (command == "lag on" || command == "lag off") {
                lag.setOn(command == "lag on");
                say("ok");
            } else if (command == "save" && console) {
                console->console().saveRecord();
                say("saved");
            } else if (command.startsWith("reach ") && (console || plainReader)) {
                const qsizetype target = command.mid(6).toLongLong();
                auto *poll = new QTimer(&app);
                poll->setTimerType(Qt::PreciseTimer);
                QObject::connect(poll, &QTimer::timeout, poll, [poll, target, &values] {
                    if (values() < target) {
                        return;
                    }
                    timespec now{};
                    clock_gettime(CLOCK_REALTIME, &now);
                    say("reached " + QByteArray::number(qint64(target)) + " at " +
                        QByteArray::number(qint64(now.tv_sec) * 1000000000 + now.tv_nsec) +
                        " rss_kib=" + QByteArray::number(qint64(residentKiB())));
                    poll->deleteLater();
                });
                poll->start(1);
            } else if (command == "quit") {
                QCoreApplication::quit();
            } else {
                say("unknown " + command);
            }
        }
    });
    return app.exec();
}
