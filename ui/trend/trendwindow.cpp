#include "ui/trend/trendwindow.h"

#include "control/pumpconsole.h"
#include "control/runlog/runlogformat.h"
#include "control/seams/operatorboxes.h"
#include "ui/trend/logfollower.h"
#include "ui/trend/trendplot.h"
#include "ui/trend/trendrows.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString openTitle = u"打开记录"_s;
const QString exportTitle = u"导出图片"_s;

QPushButton *button(const QString &name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

} // namespace

TrendWindow::TrendWindow(PumpConsole &console, OperatorBoxes &boxes, QWidget *parent)
    : QWidget(parent, Qt::Window), m_console(console), m_boxes(boxes),
      m_follower(new LogFollower(m_file, this)), m_plot(new TrendPlot(&m_live, this)),
      m_source(new QLabel(this)), m_hover(new QLabel(this)),
      m_follow(button(u"follow"_s, u"跟随"_s, this))
{
    setObjectName(u"trendWindow"_s);
    setWindowTitle(u"趋势"_s);
    setWindowModality(Qt::NonModal);
    // Closing the console ends the program, whether or not the trend is still open.
    setAttribute(Qt::WA_QuitOnClose, false);
    m_plot->setObjectName(u"trendPlot"_s);
    m_source->setObjectName(u"trendSource"_s);
    m_source->setTextFormat(Qt::PlainText);
    m_hover->setObjectName(u"trendHover"_s);
    m_hover->setTextFormat(Qt::PlainText);

    QPushButton *open = button(u"openLog"_s, u"打开记录…"_s, this);
    QPushButton *live = button(u"liveTrend"_s, u"当前连接"_s, this);
    QPushButton *mark = button(u"markButton"_s, u"标记"_s, this);
    QPushButton *exportButton = button(u"exportPicture"_s, u"导出图片"_s, this);
    QPushButton *all = button(u"showAll"_s, u"全部"_s, this);
    m_follow->setCheckable(true);
    m_follow->setChecked(m_plot->isFollowing());
    m_follow->setToolTip(u"让最近一分钟始终在视图中"_s);
    mark->setToolTip(u"在运行记录中标记此刻（F2）"_s);
    mark->setShortcut(Qt::Key_F2);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {open, live, all, m_follow, mark, exportButton}) {
        buttons->addWidget(b);
    }
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_source);
    layout->addWidget(m_plot, 1);
    layout->addWidget(m_hover);
    resize(960, 560);

    connect(open, &QPushButton::clicked, this, &TrendWindow::chooseLogFile);
    connect(live, &QPushButton::clicked, this, &TrendWindow::showLive);
    connect(all, &QPushButton::clicked, m_plot, &TrendPlot::showAll);
    connect(mark, &QPushButton::clicked, &m_console, &PumpConsole::markMoment);
    connect(exportButton, &QPushButton::clicked, this, &TrendWindow::chooseExportFile);
    connect(m_follow, &QPushButton::toggled, m_plot, &TrendPlot::setFollowing);
    connect(m_plot, &TrendPlot::followingChanged, m_follow, &QPushButton::setChecked);
    connect(m_plot, &TrendPlot::hoverChanged, m_hover, &QLabel::setText);

    connect(&m_console, &PumpConsole::runEvent, this, &TrendWindow::onRunEvent);
    connect(m_follower, &LogFollower::grew, this, [this] {
        if (!m_showsLive) {
            m_plot->seriesChanged();
        }
    });
    connect(m_follower, &LogFollower::reachedEnd, this, [this] {
        if (!m_plot->isFollowing()) {
            m_plot->showAll();
        }
        showSource();
    });
    connect(m_follower, &LogFollower::failed, this, [this](const QString &why) {
        showSource();
        m_boxes.notify(why, openTitle);
    });
    showSource();
}

TrendWindow::~TrendWindow() = default;

const TrendSeries &TrendWindow::shown() const
{
    return m_showsLive ? m_live : m_file;
}

void TrendWindow::onRunEvent(const RunEvent &event)
{
    // The live trend is the current connection's; a line that comes back continues it.
    if (event.kind == RunEventKind::LineOpened) {
        m_live.clear();
    }
    trendrows::add(m_live, event);
    if (qsizetype(m_live.times().size()) > livePressureLimit) {
        m_live.dropBefore(m_live.times()[m_live.times().size() / 2]);
    }
    if (m_showsLive) {
        m_plot->seriesChanged();
        if (event.kind == RunEventKind::LineOpened) {
            showSource();
        }
    }
}

void TrendWindow::showSource()
{
    if (m_showsLive) {
        m_source->setText(m_live.port().isEmpty() ? u"当前连接（尚未连接）"_s
                                                  : u"当前连接：%1"_s.arg(m_live.port()));
        return;
    }
    QString text = u"记录文件：%1"_s.arg(QDir::toNativeSeparators(m_follower->path()));
    if (!m_follower->isReading()) {
        text += u"（已停止读取）"_s;
    } else if (!m_follower->hasReachedEnd()) {
        text += u"（读取中…）"_s;
    } else {
        text += u"（共 %1 行；文件增长时自动读入新行）"_s.arg(m_follower->reader().rowsRead());
    }
    if (const qint64 skipped = m_follower->reader().rowsSkipped(); skipped > 0) {
        text += u"，%1 行已损坏，未显示"_s.arg(skipped);
    }
    m_source->setText(text);
}

bool TrendWindow::openLogFile(const QString &path)
{
    const QString why = m_follower->open(path);
    if (!why.isEmpty()) {
        m_boxes.tell(why, openTitle);
        return false;
    }
    m_showsLive = false;
    m_plot->setSeries(&m_file);
    m_plot->setFollowing(false);
    m_plot->showAll();
    showSource();
    return true;
}

void TrendWindow::chooseLogFile()
{
    const QString path = QFileDialog::getOpenFileName(this, openTitle, m_console.runLogFolder(),
                                                      u"运行记录 (*.csv);;所有文件 (*)"_s);
    if (!path.isEmpty()) {
        (void)openLogFile(path);
    }
}

void TrendWindow::showLive()
{
    m_follower->stop();
    m_file.clear();
    m_showsLive = true;
    m_plot->setSeries(&m_live);
    m_plot->setFollowing(true);
    showSource();
}

QString TrendWindow::pictureTitle() const
{
    const QString port = shown().port().isEmpty() ? u"未连接"_s : shown().port();
    return u"泵 %1   %2"_s.arg(port, m_plot->rangeText());
}

void TrendWindow::drawPicture(QPainter &painter, const QRect &area) const
{
    // The title in a face whose digits a PDF reader can copy out (the CJK faces' cannot).
    QFont font(u"DejaVu Sans"_s, 12);
    font.setBold(true);
    painter.setFont(QFont(font, painter.device()));
    const int titleHeight = QFontMetrics(painter.font(), painter.device()).height() * 2;
    painter.fillRect(area, Qt::white);
    painter.setPen(Qt::black);
    painter.drawText(QRect(area.left(), area.top(), area.width(), titleHeight), Qt::AlignCenter,
                     pictureTitle());
    m_plot->render(painter, area.adjusted(0, titleHeight, 0, 0));
}

QString TrendWindow::exportTo(const QString &path) const
{
    const QString where = QDir::toNativeSeparators(path);
    if (path.endsWith(u".pdf"_s, Qt::CaseInsensitive)) {
        QPdfWriter pdf(path);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Landscape);
        pdf.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
        pdf.setResolution(150);
        pdf.setTitle(pictureTitle());
        pdf.setCreator(u"pumpconsole"_s);
        QPainter painter;
        if (!painter.begin(&pdf)) {
            return u"无法写入 %1。"_s.arg(where);
        }
        drawPicture(painter, QRect(QPoint(), QSize(pdf.width(), pdf.height())));
        return painter.end() ? QString() : u"无法写入 %1。"_s.arg(where);
    }
    QImage image(pictureSize, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        drawPicture(painter, image.rect());
    }
    return image.save(path, "PNG") ? QString() : u"无法写入 %1。"_s.arg(where);
}

QString TrendWindow::pictureFileName() const
{
    if (!m_showsLive) {
        return u"趋势-%1.png"_s.arg(QFileInfo(m_follower->path()).completeBaseName());
    }
    if (m_live.isEmpty()) {
        return u"趋势.png"_s;
    }
    const qint64 first = m_live.firstMs();
    return u"趋势-%1.png"_s.arg(runlog::fileBaseName({first, m_live.offsetAt(first), 0}));
}

void TrendWindow::chooseExportFile()
{
    const QString base = QDir(m_console.runLogFolder()).filePath(pictureFileName());
    QString selected;
    const QString path = QFileDialog::getSaveFileName(
        this, exportTitle, base, u"PNG 图片 (*.png);;PDF 文件 (*.pdf)"_s, &selected);
    if (path.isEmpty()) {
        return;
    }
    QString target = path;
    if (!target.endsWith(u".png"_s, Qt::CaseInsensitive) &&
        !target.endsWith(u".pdf"_s, Qt::CaseInsensitive)) {
        target += selected.contains(u"pdf"_s) ? u".pdf"_s : u".png"_s;
    }
    if (const QString failure = exportTo(target); !failure.isEmpty()) {
        m_boxes.tell(failure, exportTitle);
    }
}
