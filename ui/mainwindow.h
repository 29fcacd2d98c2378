#pragma once
// The console's main window: lays out the read-outs, the keypad, the chart and the menus at
// their fixed places, mirrors the console's read-outs and connection, and hands every click
// and menu choice to the console.

#include "control/pump/readouts.h"

#include <map>
#include <memory>
#include <QHash>
#include <QMainWindow>

class ChartWidget;
class FileCommands;
class Keypad;
class OperatorBoxes;
class PumpConsole;
class QAction;
class QLabel;
class QMenu;
class TrendWindow;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr QSize clientSize{727, 502};      // below the menu bar
    static constexpr QPoint clientPosition{135, 141}; // on the screen

    // Lets "宋体" resolve to an installed Song/Ming face where the real one is missing.
    static void installFontSubstitutions();

    // The console and the boxes must outlive the window.
    MainWindow(PumpConsole &console, OperatorBoxes &boxes, QWidget *parent = nullptr);
    ~MainWindow() override;

    PumpConsole &console() { return m_console; }
    FileCommands &fileCommands() { return *m_fileCommands; }

    QLabel *label(Readout which) const;
    // "file", "save", …, "rightkey", "rrun", "help", "Communication": the action that the menu
    // bar or the parent menu shows (a menu's own action for a drop-down).
    QAction *menuAction(const QString &name) const;
    QMenu *rightKeyMenu() const { return m_rightKey; }
    ChartWidget *chartWidget() const { return m_chart; }
    // 文件 → 趋势; it listens from the start, so that it shows the whole connection.
    TrendWindow *trendWindow() const { return m_trendWindow.get(); }
    void showTrendWindow();
    // The window's own surface, behind every control.
    QWidget *surface() const { return centralWidget(); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    class Surface;

    void buildLabels();
    void buildKeypad();
    void buildMenus();
    void placeWindow();
    void surfacePressed(QMouseEvent *event);
    void setPumpMenusEnabled(bool enabled);
    void buildSafetyIndicator();
    void showSafetyState();
    void editSafety();
    void showPumps();

    QLabel *addLabel(const QString &name, const QString &text, QRect inTwips, double pointSize);
    QAction *addItem(QMenu *menu, const QString &name, const QString &caption);
    QMenu *addMenu(QMenu *parent, const QString &name, const QString &caption);

    PumpConsole &m_console;
    OperatorBoxes &m_boxes;
    std::unique_ptr<FileCommands> m_fileCommands;

    std::map<Readout, QLabel *> m_labels;
    QHash<QString, QAction *> m_actions;
    std::vector<QMenu *> m_pumpMenus; // usable only while connected
    QMenu *m_rightKey = nullptr;
    ChartWidget *m_chart = nullptr;
    Keypad *m_keypad = nullptr;
    QLabel *m_safetyState = nullptr;
    class PumpsWindow *m_pumpsWindow = nullptr; // made when first asked for
    std::unique_ptr<TrendWindow> m_trendWindow; // a window of its own, no child
};
