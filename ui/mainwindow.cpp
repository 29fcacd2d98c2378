#include "ui/mainwindow.h"

#include "control/pumpconsole.h"
#include "ui/bringforward.h"
#include "ui/chartwidget.h"
#include "ui/filecommands.h"
#include "ui/keypad.h"
#include "ui/pumps/pumpswindow.h"
#include "ui/safetydialog.h"
#include "ui/stalelook.h"
#include "ui/trend/trendwindow.h"
#include "ui/twips.h"

#include <array>
#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

using namespace Qt::StringLiterals;

// Outside any namespace, as Q_INIT_RESOURCE requires. The pictures live in a static library,
// whose resource object the linker would otherwise leave out of the program.
static void initUiResources()
{
    Q_INIT_RESOURCE(images);
}

namespace {

const QColor designBlue(0, 0, 255);
const QString backgroundPicture = u":/images/background.png"_s;
const QString iconPicture = u":/images/icon.png"_s;
const QString songFamily = u"宋体"_s;

// Labels read what they show: a caption from the pump must never be taken for markup.
class PanelLabel final : public QLabel
{
public:
    PanelLabel(const QString &text, QWidget *parent) : QLabel(parent)
    {
        setTextFormat(Qt::PlainText);
        setText(text);
        // A press on a label is the label's, not the window surface's (no right-click menu).
        setAttribute(Qt::WA_NoMousePropagation);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }
};

} // namespace

// The client area: blue, the background picture at its top-left, and the presses that land
// on no control.
class MainWindow::Surface final : public QWidget
{
public:
    explicit Surface(MainWindow *owner)
        : QWidget(owner), m_owner(owner), m_picture(backgroundPicture)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter p(this);
        p.fillRect(event->rect(), designBlue);
        // The painter is clipped to the area being repainted.
        p.drawPixmap(0, 0, m_picture);
    }
    void mousePressEvent(QMouseEvent *event) override { m_owner->surfacePressed(event); }

private:
    MainWindow *m_owner;
    QPixmap m_picture; // decoded once, with the window
};

void MainWindow::installFontSubstitutions()
{
    // Noto Serif CJK is a Song face with a real bold; UMing is Ming style, bold synthesised.
    if (QFont::substitutes(songFamily).isEmpty()) {
        QFont::insertSubstitutions(songFamily, {u"Noto Serif CJK SC"_s, u"AR PL UMing CN"_s});
    }
}

MainWindow::MainWindow(PumpConsole &console, OperatorBoxes &boxes, QWidget *parent)
    : QMainWindow(parent), m_console(console), m_boxes(boxes)
{
    initUiResources();
    installFontSubstitutions();

    m_fileCommands = std::make_unique<FileCommands>(m_console, boxes, this);
    m_trendWindow = std::make_unique<TrendWindow>(m_console, boxes);

    setWindowTitle(u"恒流恒压泵控制系统(TALVEN)V2.0"_s);
    setWindowIcon(QIcon(iconPicture));
    setCentralWidget(new Surface(this));

    buildLabels();
    m_chart = new ChartWidget(m_console.chart(), surface());
    m_chart->setObjectName(u"Picture1"_s);
    m_chart->setGeometry(twips::rect(600, 4680, 9975, 2175));
    buildKeypad();
    buildMenus();
    placeWindow();

    const Readouts &readouts = m_console.readouts();
    connect(&readouts, &Readouts::captionChanged, this,
            [this](Readout which, const QString &text) { label(which)->setText(text); });
    connect(&readouts, &Readouts::visibilityChanged, this,
            [this](Readout which, bool visible) { label(which)->setVisible(visible); });
    connect(&m_console.pump().pressureWatch(), &PressureWatch::noteChanged,
            new StaleLook(label(Readout::Pressure)), &StaleLook::show);
    connect(&m_console, &PumpConsole::connectedChanged, this, &MainWindow::setPumpMenusEnabled);
    buildSafetyIndicator();
    setPumpMenusEnabled(m_console.isConnected());
}

MainWindow::~MainWindow() = default;

QLabel *MainWindow::addLabel(const QString &name, const QString &text, QRect inTwips,
                             double pointSize)
{
    auto *label = new PanelLabel(text, surface());
    label->setObjectName(name);
    label->setGeometry(twips::rect(inTwips.x(), inTwips.y(), inTwips.width(), inTwips.height()));
    // A label whose size may follow its text asks the window for a new layout (a posted event,
    // a wake-up) at every new text; these keep the size the design gives them.
    label->setFixedSize(label->size());
    label->setAutoFillBackground(true);
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, designBlue);
    label->setPalette(pal);
    QFont font(songFamily);
    font.setPointSizeF(pointSize);
    font.setBold(true);
    label->setFont(font);
    return label;
}

void MainWindow::buildLabels()
{
    struct Place
    {
        Readout which;
        QString name;
        QRect twips;
        double pointSize;
    };
    const Place places[] = {
        {Readout::Hours, u"lhour"_s, {0, 0, 615, 375}, 15.75},
        {Readout::HoursUnit, u"Label1"_s, {600, 0, 495, 375}, 15.75},
        {Readout::Minutes, u"lmin"_s, {1080, 0, 495, 375}, 15.75},
        {Readout::MinutesUnit, u"Label2"_s, {1560, 0, 495, 375}, 15.75},
        {Readout::Seconds, u"lsed"_s, {2040, 0, 615, 375}, 15.75},
        {Readout::SecondsUnit, u"Label3"_s, {2640, 0, 495, 375}, 15.75},
        {Readout::Pressure, u"LcurrP"_s, {7920, 600, 615, 375}, 12},
        {Readout::PressureLimit, u"LsetP"_s, {7920, 960, 615, 375}, 12},
        {Readout::Flow, u"LsetF"_s, {7920, 1320, 615, 375}, 12},
        {Readout::EntryMode, u"LSetState"_s, {6720, 1680, 1215, 375}, 12},
        {Readout::RunState, u"Lstate"_s, {7920, 1680, 1320, 375}, 12},
    };
    const Readouts &readouts = m_console.readouts();
    for (const Place &place : places) {
        QLabel *label =
            addLabel(place.name, readouts.caption(place.which), place.twips, place.pointSize);
        // Hidden before the window is first shown, so the operator never sees the time display
        // of a run that has not started.
        label->setVisible(readouts.isVisible(place.which));
        m_labels[place.which] = label;
    }

    const std::array<QString, 3> captions{u"当前压力"_s, u"设定压力"_s, u"设定流量"_s};
    const std::array<QString, 3> units{u" MPa"_s, u" MPa"_s, u" ml/m"_s};
    for (int row = 0; row < 3; ++row) {
        const int top = 600 + 360 * row;
        QLabel *caption =
            addLabel(u"Label4_%1"_s.arg(row), captions[row], {6720, top, 1215, 375}, 14.25);
        QPalette pal = caption->palette();
        pal.setColor(QPalette::WindowText, Qt::black);
        caption->setPalette(pal);
        addLabel(u"Label5_%1"_s.arg(row), units[row], {8520, top, 705, 375}, 12);
    }
}

void MainWindow::buildKeypad()
{
    m_keypad = new Keypad(surface());
    PumpConsole *console = &m_console;
    connect(m_keypad, &Keypad::digitPressed, console, &PumpConsole::pressDigit);
    connect(m_keypad, &Keypad::flowPressed, console, &PumpConsole::beginFlowEntry);
    connect(m_keypad, &Keypad::pressureLimitPressed, console,
            &PumpConsole::beginPressureLimitEntry);
    connect(m_keypad, &Keypad::runPressed, console, &PumpConsole::runFromKeypad);
    connect(m_keypad, &Keypad::stopPressed, console, &PumpConsole::stopFromKeypad);

    const auto &keys = m_keypad->tabOrder();
    for (std::size_t i = 1; i < keys.size(); ++i) {
        setTabOrder(keys[i - 1], keys[i]);
    }
    setTabOrder(keys.back(), m_chart);
    keys.front()->setFocus();
}

QMenu *MainWindow::addMenu(QMenu *parent, const QString &name, const QString &caption)
{
    QMenu *menu = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    m_actions.insert(name, menu->menuAction());
    return menu;
}

QAction *MainWindow::addItem(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    m_actions.insert(name, action);
    return action;
}

void MainWindow::buildMenus()
{
    PumpConsole *console = &m_console;
    FileCommands *files = m_fileCommands.get();
    const auto item = [this](QMenu *menu, const QString &name, const QString &caption,
                             auto *receiver, auto slot) {
        connect(addItem(menu, name, caption), &QAction::triggered, receiver, slot);
    };

    QMenu *file = addMenu(nullptr, u"file"_s, u"文件(F)"_s);
    item(file, u"save"_s, u"保存"_s, console, &PumpConsole::saveRecord);
    item(file, u"print"_s, u"打印"_s, files, &FileCommands::printTestPage);
    item(file, u"record"_s, u"压力记录"_s, files, &FileCommands::showRecordWindow);
    item(file, u"openLogFolder"_s, u"打开记录文件夹"_s, files, &FileCommands::openLogFolder);
    item(file, u"trend"_s, u"趋势"_s, this, &MainWindow::showTrendWindow);
    // The quick way out: the line is not closed first, it goes with the process.
    item(file, u"end"_s, u"退出"_s, this, [] { QCoreApplication::exit(0); });

    QMenu *settime = addMenu(nullptr, u"settime"_s, u"定时(T)"_s);
    item(settime, u"stset"_s, u"设定"_s, console, &PumpConsole::askRunLength);
    QMenu *operation = addMenu(settime, u"operation"_s, u"操作"_s);
    item(operation, u"ststart"_s, u"开始"_s, console, &PumpConsole::startTimedRun);
    item(operation, u"stzanting"_s, u"暂停"_s, console, &PumpConsole::pauseTimedRun);
    item(operation, u"stcontiune"_s, u"继续"_s, console, &PumpConsole::resumeTimedRun);
    item(operation, u"stend"_s, u"结束"_s, console, &PumpConsole::endTimedRun);
    // Opens the program window, which app/ builds and connects here.
    addItem(settime, u"program"_s, u"程序"_s);

    QMenu *pump = addMenu(nullptr, u"Pump"_s, u"泵(O)"_s);
    item(pump, u"run"_s, u"运行"_s, console, &PumpConsole::runPump);
    item(pump, u"stop"_s, u"停止"_s, console, &PumpConsole::stopPump);
    item(pump, u"pumps"_s, u"多泵"_s, this, &MainWindow::showPumps);

    QMenu *seting = addMenu(nullptr, u"seting"_s, u"设定(S)"_s);
    item(seting, u"liquid"_s, u"流量"_s, console, &PumpConsole::askFlow);
    item(seting, u"pressure"_s, u"压力"_s, console, &PumpConsole::askPressureLimit);
    item(seting, u"Pump_NO"_s, u"泵编号"_s, console, &PumpConsole::askPumpNumber);
    item(seting, u"safety"_s, u"安全保护"_s, this, &MainWindow::editSafety);

    // Top-level items without a drop-down: choosing them acts at once.
    QAction *communication = menuBar()->addAction(u"通信"_s);
    communication->setObjectName(u"Communication"_s);
    m_actions.insert(communication->objectName(), communication);
    connect(communication, &QAction::triggered, console, &PumpConsole::choosePort);

    // The right-click menu is shown only as a popup, never in the bar.
    m_rightKey = new QMenu(u"右键"_s, this);
    m_rightKey->setObjectName(u"rightkey"_s);
    m_rightKey->menuAction()->setObjectName(u"rightkey"_s);
    m_actions.insert(u"rightkey"_s, m_rightKey->menuAction());
    item(m_rightKey, u"rrun"_s, u"运行"_s, console, &PumpConsole::runPump);
    item(m_rightKey, u"rstop"_s, u"停止"_s, console, &PumpConsole::stopPump);

    QAction *help = menuBar()->addAction(u"帮助(H)"_s);
    help->setObjectName(u"help"_s);
    m_actions.insert(help->objectName(), help);

    m_pumpMenus = {file, settime, pump, m_rightKey, seting};

    // 标记 has a key, not a menu item: the operator marks a moment without looking away.
    auto *mark = new QAction(u"标记"_s, this);
    mark->setObjectName(u"mark"_s);
    mark->setShortcut(Qt::Key_F2);
    addAction(mark);
    m_actions.insert(mark->objectName(), mark);
    connect(mark, &QAction::triggered, console, &PumpConsole::markMoment);
}

void MainWindow::placeWindow()
{
    // The design fixes the client area below the menu bar, so the window grows by the bar.
    QMenuBar *bar = menuBar();
    int barHeight = bar->heightForWidth(clientSize.width());
    if (barHeight <= 0) {
        barHeight = bar->sizeHint().height();
    }
    setGeometry(QRect(clientPosition - QPoint(0, barHeight),
                      QSize(clientSize.width(), clientSize.height() + barHeight)));
}

void MainWindow::setPumpMenusEnabled(bool enabled)
{
    for (QMenu *menu : m_pumpMenus) {
        menu->menuAction()->setEnabled(enabled);
    }
    // The popup is not in the bar, so its own widget carries the state too. (A drop-down's
    // widget must not: disabling it would disable the actions of its submenus as well.)
    m_rightKey->setEnabled(enabled);
}

void MainWindow::surfacePressed(QMouseEvent *event)
{
    event->accept();
    // Before the line is open the popup would offer commands that cannot reach the pump.
    if (event->button() == Qt::RightButton && m_console.isConnected()) {
        m_rightKey->popup(QCursor::pos());
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    m_console.closeLine();
    event->accept();
}

void MainWindow::showTrendWindow()
{
    bringForward(*m_trendWindow);
}

QLabel *MainWindow::label(Readout which) const
{
    const auto it = m_labels.find(which);
    return it == m_labels.end() ? nullptr : it->second;
}

QAction *MainWindow::menuAction(const QString &name) const
{
    return m_actions.value(name);
}

void MainWindow::buildSafetyIndicator()
{
    // Above the read-out panel, where nothing else is: empty while no limit guards the pump.
    m_safetyState = new QLabel(surface());
    m_safetyState->setObjectName(u"safetyState"_s);
    m_safetyState->setAccessibleName(u"安全保护状态"_s);
    m_safetyState->setTextFormat(Qt::PlainText);
    m_safetyState->setAlignment(Qt::AlignCenter);
    m_safetyState->setGeometry(twips::rect(6600, 150, 2850, 375));
    QFont font(songFamily);
    font.setPointSizeF(12);
    font.setBold(true);
    m_safetyState->setFont(font);
    connect(&m_console, &PumpConsole::safetyChanged, this, &MainWindow::showSafetyState);
    showSafetyState();
}

void MainWindow::showSafetyState()
{
    QString text;
    QColor colour = Qt::white;
    switch (m_console.safetyState()) {
    case SafetyEnvelope::State::Off:
        break;
    case SafetyEnvelope::State::Armed:
        text = u"保护"_s;
        break;
    case SafetyEnvelope::State::Latched:
        text = u"停泵报警"_s;
        colour = Qt::red;
        break;
    }
    m_safetyState->setText(text);
    // A screen reader (and the outside tests) reads the state, not only the name.
    m_safetyState->setAccessibleDescription(text);
    QPalette pal = m_safetyState->palette();
    pal.setColor(QPalette::WindowText, colour);
    m_safetyState->setPalette(pal);
}

void MainWindow::showPumps()
{
    if (!m_pumpsWindow) {
        m_pumpsWindow = new PumpsWindow(m_console.rig(), m_boxes, this);
    }
    bringForward(*m_pumpsWindow);
}

void MainWindow::editSafety()
{
    SafetyDialog dialog(m_console.safetyLimits(), m_boxes, this);
    if (dialog.exec() == QDialog::Accepted) {
        m_console.setSafetyLimits(dialog.limits());
    }
}
