#include "ui/form1.h"

#include "control/dialogs.h"
#include "control/ticktimer.h"
#include "link/serialpumpport.h"
#include "ui/chartwidget.h"
#include "ui/filecommands.h"
#include "ui/twips.h"
#include "ui/widgetdialogs.h"

#include <array>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

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

QString groupName(KeyGroup group)
{
    static const std::array<QString, 14> names{
        u"Cmd0"_s, u"Cmd1"_s, u"Cmd2"_s, u"Cmd3"_s, u"Cmd4"_s, u"Cmd5"_s, u"Cmd6"_s,
        u"Cmd7"_s, u"Cmd8"_s, u"Cmd9"_s, u"Cmdl"_s, u"Cmdp"_s, u"Cmdr"_s, u"Cmds"_s};
    return names[std::size_t(group)];
}

// The sixteen keys in the order of their places on the keypad, row by row.
struct KeyPlace
{
    KeyGroup group;
    qint16 index;
    QStringView face;    // what the key shows, and what a screen reader says
    QStringView picture; // under :/images/
};
constexpr std::array<int, 4> keyColumns{6720, 7360, 8020, 8680};
constexpr std::array<int, 4> keyRows{2160, 2640, 3120, 3600};
constexpr int keyWidth = 615, keyHeight = 375;
constexpr std::array<KeyPlace, 16> keyPlaces{{
    {KeyGroup::Cmd0, 13, u"0", u"key_0.png"},
    {KeyGroup::Cmd1, 0, u"1", u"key_1.png"},
    {KeyGroup::Cmd2, 1, u"2", u"key_2.png"},
    {KeyGroup::Cmd3, 2, u"3", u"key_3.png"},
    {KeyGroup::Cmd4, 4, u"4", u"key_4.png"},
    {KeyGroup::Cmd5, 5, u"5", u"key_5.png"},
    {KeyGroup::Cmd6, 6, u"6", u"key_6.png"},
    {KeyGroup::Cmd7, 8, u"7", u"key_7.png"},
    {KeyGroup::Cmd8, 9, u"8", u"key_8.png"},
    {KeyGroup::Cmd9, 10, u"9", u"key_9.png"},
    {KeyGroup::Cmd0, 0, u"\u25B2", u"key_up.png"},
    {KeyGroup::Cmd0, 1, u"\u25BC", u"key_down.png"},
    {KeyGroup::Cmdl, 3, u"L", u"key_L.png"},
    {KeyGroup::Cmdp, 7, u"P", u"key_P.png"},
    {KeyGroup::Cmdr, 11, u"RUN", u"key_RUN.png"},
    {KeyGroup::Cmds, 15, u"STOP", u"key_STOP.png"},
}};
// Tab order, as places in keyPlaces: 1 2 3 L, 4 5 6 P, 7 8 9 RUN, 0 STOP ▲ ▼.
constexpr std::array<int, 16> keyTabOrder{1, 2, 3, 12, 4, 5, 6, 13, 7, 8, 9, 14, 0, 15, 10, 11};

// A keypad key: its picture centred on a dark rim, which turns yellow while the key has the
// focus so that an operator on the keyboard sees where Space will land.
class KeyButton final : public QPushButton
{
public:
    KeyButton(const QPixmap &face, QWidget *parent) : QPushButton(parent), m_face(face)
    {
        setIcon(face);
        setIconSize(face.size());
        setAttribute(Qt::WA_NoMousePropagation);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const QRect r = rect();
        p.fillRect(r, hasFocus() ? QColor(255, 255, 0) : QColor(0, 0, 96));
        QRect face(QPoint(0, 0), m_face.deviceIndependentSize().toSize());
        face.moveCenter(r.center());
        if (isDown()) {
            face.translate(1, 1);
        }
        p.drawPixmap(face.topLeft(), m_face);
        if (isDown()) {
            p.fillRect(face, QColor(0, 0, 0, 60));
        }
    }

private:
    QPixmap m_face;
};

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
class Form1::Surface final : public QWidget
{
public:
    explicit Surface(Form1 *owner) : QWidget(owner), m_owner(owner), m_picture(backgroundPicture)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter p(this);
        p.fillRect(event->rect(), designBlue);
        p.drawPixmap(0, 0, m_picture);
    }
    void mousePressEvent(QMouseEvent *event) override { m_owner->surfacePressed(event); }

private:
    Form1 *m_owner;
    QPixmap m_picture;
};

void Form1::installFontSubstitutions()
{
    // Noto Serif CJK is a Song face with a real bold; UMing is Ming style, bold synthesised.
    if (QFont::substitutes(songFamily).isEmpty()) {
        QFont::insertSubstitutions(songFamily, {u"Noto Serif CJK SC"_s, u"AR PL UMing CN"_s});
    }
}

Form1::Form1(QWidget *parent) : Form1(nullptr, nullptr, nullptr, parent) {}

Form1::Form1(PumpPort *port, Dialogs *dialogs, TickTimer *timer, QWidget *parent)
    : QMainWindow(parent)
{
    initUiResources();
    installFontSubstitutions();

    if (!port) {
        m_ownPort = std::make_unique<SerialPumpPort>();
        port = m_ownPort.get();
    }
    if (!dialogs) {
        m_ownDialogs = std::make_unique<WidgetDialogs>(this);
        dialogs = m_ownDialogs.get();
    }
    if (!timer) {
        m_ownTimer = std::make_unique<QtTickTimer>();
        timer = m_ownTimer.get();
    }
    m_core = std::make_unique<ConsoleCore>(*port, *dialogs, *timer);
    m_fileCommands = std::make_unique<FileCommands>(*m_core, *dialogs, this);

    setWindowTitle(u"恒流恒压泵控制系统(TALVEN)V2.0"_s);
    setWindowIcon(QIcon(iconPicture));
    setCentralWidget(new Surface(this));

    buildLabels();
    m_chart = new ChartWidget(m_core->Picture1(), surface());
    m_chart->setObjectName(u"Picture1"_s);
    m_chart->setGeometry(twips::rect(600, 4680, 9975, 2175));
    buildKeys();
    buildMenus();
    placeWindow();

    wireCore();
    syncFromCore();
    // The load step runs before the window is first shown, so the operator never sees the
    // design state (time display visible, menus enabled).
    m_core->Form_Load();
    syncFromCore();
}

Form1::~Form1() = default;

QLabel *Form1::addLabel(const QString &name, const QString &text, QRect inTwips, double pointSize)
{
    auto *label = new PanelLabel(text, surface());
    label->setObjectName(name);
    label->setGeometry(twips::rect(inTwips.x(), inTwips.y(), inTwips.width(), inTwips.height()));
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

void Form1::buildLabels()
{
    struct Place
    {
        Label which;
        QString name;
        QRect twips;
        double pointSize;
    };
    const Place places[] = {
        {Label::lhour, u"lhour"_s, {0, 0, 615, 375}, 15.75},
        {Label::Label1, u"Label1"_s, {600, 0, 495, 375}, 15.75},
        {Label::lmin, u"lmin"_s, {1080, 0, 495, 375}, 15.75},
        {Label::Label2, u"Label2"_s, {1560, 0, 495, 375}, 15.75},
        {Label::lsed, u"lsed"_s, {2040, 0, 615, 375}, 15.75},
        {Label::Label3, u"Label3"_s, {2640, 0, 495, 375}, 15.75},
        {Label::LcurrP, u"LcurrP"_s, {7920, 600, 615, 375}, 12},
        {Label::LsetP, u"LsetP"_s, {7920, 960, 615, 375}, 12},
        {Label::LsetF, u"LsetF"_s, {7920, 1320, 615, 375}, 12},
        {Label::LSetState, u"LSetState"_s, {6720, 1680, 1215, 375}, 12},
        {Label::Lstate, u"Lstate"_s, {7920, 1680, 1320, 375}, 12},
    };
    for (const Place &place : places) {
        m_labels[place.which] =
            addLabel(place.name, m_core->caption(place.which), place.twips, place.pointSize);
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

void Form1::buildKeys()
{
    std::array<QAbstractButton *, keyPlaces.size()> buttons{};
    for (std::size_t i = 0; i < keyPlaces.size(); ++i) {
        const KeyPlace &place = keyPlaces[i];
        auto *button = new KeyButton(QPixmap(u":/images/"_s + place.picture.toString()), surface());
        button->setObjectName(u"%1_%2"_s.arg(groupName(place.group)).arg(place.index));
        button->setAccessibleName(place.face.toString());
        button->setGeometry(twips::rect(keyColumns[i % 4], keyRows[i / 4], keyWidth, keyHeight));
        connect(
            button, &QAbstractButton::clicked, this,
            [this, group = place.group, index = place.index] { m_core->keyClicked(group, index); });
        m_keys[{place.group, place.index}] = button;
        buttons[i] = button;
    }
    for (std::size_t i = 1; i < keyTabOrder.size(); ++i) {
        setTabOrder(buttons[keyTabOrder[i - 1]], buttons[keyTabOrder[i]]);
    }
    setTabOrder(buttons[keyTabOrder.back()], m_chart);
    buttons[keyTabOrder.front()]->setFocus();
}

QMenu *Form1::addMenu(QMenu *parent, const QString &name, const QString &caption)
{
    QMenu *menu = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    m_actions.insert(name, menu->menuAction());
    return menu;
}

QAction *Form1::addItem(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    m_actions.insert(name, action);
    return action;
}

void Form1::buildMenus()
{
    ConsoleCore *core = m_core.get();
    FileCommands *files = m_fileCommands.get();

    QMenu *file = addMenu(nullptr, u"file"_s, u"文件(F)"_s);
    connect(addItem(file, u"save"_s, u"保存"_s), &QAction::triggered, files,
            &FileCommands::save_Click);
    connect(addItem(file, u"print"_s, u"打印"_s), &QAction::triggered, files,
            &FileCommands::print_Click);
    connect(addItem(file, u"record"_s, u"压力记录"_s), &QAction::triggered, files,
            &FileCommands::showRecordWindow);
    connect(addItem(file, u"end"_s, u"退出"_s), &QAction::triggered, core, &ConsoleCore::end_Click);

    QMenu *settime = addMenu(nullptr, u"settime"_s, u"定时(T)"_s);
    connect(addItem(settime, u"stset"_s, u"设定"_s), &QAction::triggered, core,
            &ConsoleCore::stset_Click);
    QMenu *operation = addMenu(settime, u"operation"_s, u"操作"_s);
    connect(addItem(operation, u"ststart"_s, u"开始"_s), &QAction::triggered, core,
            &ConsoleCore::ststart_Click);
    connect(addItem(operation, u"stzanting"_s, u"暂停"_s), &QAction::triggered, core,
            &ConsoleCore::stzanting_Click);
    connect(addItem(operation, u"stcontiune"_s, u"继续"_s), &QAction::triggered, core,
            &ConsoleCore::stcontiune_Click);
    connect(addItem(operation, u"stend"_s, u"结束"_s), &QAction::triggered, core,
            &ConsoleCore::stend_Click);

    QMenu *pump = addMenu(nullptr, u"Pump"_s, u"泵(O)"_s);
    connect(addItem(pump, u"run"_s, u"运行"_s), &QAction::triggered, core, &ConsoleCore::run_Click);
    connect(addItem(pump, u"stop"_s, u"停止"_s), &QAction::triggered, core,
            &ConsoleCore::stop_Click);

    QMenu *seting = addMenu(nullptr, u"seting"_s, u"设定(S)"_s);
    connect(addItem(seting, u"liquid"_s, u"流量"_s), &QAction::triggered, core,
            &ConsoleCore::liquid_Click);
    connect(addItem(seting, u"pressure"_s, u"压力"_s), &QAction::triggered, core,
            &ConsoleCore::pressure_Click);
    connect(addItem(seting, u"Pump_NO"_s, u"泵编号"_s), &QAction::triggered, core,
            &ConsoleCore::Pump_NO_Click);

    // Top-level items without a drop-down: choosing them acts at once.
    QAction *communication = menuBar()->addAction(u"通信"_s);
    communication->setObjectName(u"Communication"_s);
    m_actions.insert(communication->objectName(), communication);
    connect(communication, &QAction::triggered, core, &ConsoleCore::Communication_Click);

    // The right-click menu is shown only as a popup, never in the bar.
    m_rightKey = new QMenu(u"右键"_s, this);
    m_rightKey->setObjectName(u"rightkey"_s);
    m_rightKey->menuAction()->setObjectName(u"rightkey"_s);
    m_actions.insert(u"rightkey"_s, m_rightKey->menuAction());
    connect(addItem(m_rightKey, u"rrun"_s, u"运行"_s), &QAction::triggered, core,
            &ConsoleCore::rrun_Click);
    connect(addItem(m_rightKey, u"rstop"_s, u"停止"_s), &QAction::triggered, core,
            &ConsoleCore::rstop_Click);

    QAction *help = menuBar()->addAction(u"帮助(H)"_s);
    help->setObjectName(u"help"_s);
    m_actions.insert(help->objectName(), help);

    m_menus = {{Menu::file, file},
               {Menu::settime, settime},
               {Menu::Pump, pump},
               {Menu::seting, seting},
               {Menu::rightkey, m_rightKey}};
}

void Form1::placeWindow()
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

void Form1::wireCore()
{
    connect(m_core.get(), &ConsoleCore::captionChanged, this,
            [this](Label which, const QString &text) { label(which)->setText(text); });
    connect(m_core.get(), &ConsoleCore::visibilityChanged, this,
            [this](Label which, bool visible) { label(which)->setVisible(visible); });
    connect(m_core.get(), &ConsoleCore::menuEnabledChanged, this, &Form1::setMenuEnabled);
    connect(m_core.get(), &ConsoleCore::popupRequested, this, &Form1::showPopup);
    // The quick way out: no unload step, the port goes with the process.
    connect(m_core.get(), &ConsoleCore::endRequested, this, [] { QCoreApplication::exit(0); });
}

void Form1::syncFromCore()
{
    for (const auto &[which, widget] : m_labels) {
        widget->setText(m_core->caption(which));
        widget->setVisible(m_core->isVisible(which));
    }
    for (const auto &[menu, widget] : m_menus) {
        setMenuEnabled(menu, m_core->menuEnabled(menu));
    }
}

void Form1::setMenuEnabled(Menu menu, bool enabled)
{
    const auto it = m_menus.find(menu);
    if (it == m_menus.end()) {
        return;
    }
    it->second->menuAction()->setEnabled(enabled);
    if (menu == Menu::rightkey) {
        // The popup is not in the bar, so its own widget carries the state too. (A drop-down's
        // widget must not: disabling it would disable the actions of its submenus as well.)
        it->second->setEnabled(enabled);
    }
}

void Form1::showPopup(Menu menu)
{
    const auto it = m_menus.find(menu);
    if (it != m_menus.end()) {
        it->second->popup(QCursor::pos());
    }
}

void Form1::surfacePressed(QMouseEvent *event)
{
    event->accept();
    qint16 button = 0;
    switch (event->button()) {
    case Qt::LeftButton:
        button = vbLeftButton;
        break;
    case Qt::RightButton:
        button = vbRightButton;
        break;
    case Qt::MiddleButton:
        button = vbMiddleButton;
        break;
    default:
        return; // the handler knows only these three
    }
    const Qt::KeyboardModifiers mods = event->modifiers();
    const qint16 shift = qint16((mods.testFlag(Qt::ShiftModifier) ? 1 : 0) |
                                (mods.testFlag(Qt::ControlModifier) ? 2 : 0) |
                                (mods.testFlag(Qt::AltModifier) ? 4 : 0));
    const QPointF at = event->position() * twips::perPixel;
    m_core->Form_MouseDown(button, shift, float(at.x()), float(at.y()));
}

void Form1::closeEvent(QCloseEvent *event)
{
    m_core->Form_Unload();
    event->accept();
}

QAbstractButton *Form1::key(KeyGroup group, qint16 index) const
{
    const auto it = m_keys.find({group, index});
    return it == m_keys.end() ? nullptr : it->second;
}

QLabel *Form1::label(Label which) const
{
    const auto it = m_labels.find(which);
    return it == m_labels.end() ? nullptr : it->second;
}

QAction *Form1::menuAction(const QString &name) const
{
    return m_actions.value(name);
}
