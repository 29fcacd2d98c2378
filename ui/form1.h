#pragma once
// The console's main window. It lays out the controls at their fixed places, mirrors the
// core's captions, visibility and menu enabling, and hands every click, menu choice and press
// on its surface to the core's handler of the same name.

#include "control/consolecore.h"

#include <map>
#include <memory>
#include <QHash>
#include <QMainWindow>
#include <QRect>
#include <utility>

class ChartWidget;
class Dialogs;
class FileCommands;
class PumpPort;
class QAbstractButton;
class QAction;
class QLabel;
class QMenu;
class TickTimer;

class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr QSize clientSize{727, 502};      // below the menu bar
    static constexpr QPoint clientPosition{135, 141}; // on the screen

    // Lets "宋体" resolve to an installed Song/Ming face where the real one is missing.
    static void installFontSubstitutions();

    explicit Form1(QWidget *parent = nullptr);
    // For tests: a null argument gets the real serial port, boxes or timer.
    Form1(PumpPort *port, Dialogs *dialogs, TickTimer *timer, QWidget *parent = nullptr);
    ~Form1() override;

    ConsoleCore &core() { return *m_core; }
    FileCommands &fileCommands() { return *m_fileCommands; }

    QAbstractButton *key(KeyGroup group, qint16 index) const;
    QLabel *label(Label which) const;
    // "file", "save", …, "rightkey", "rrun", "help", "Communication": the action that the menu
    // bar or the parent menu shows (a menu's own action for a drop-down).
    QAction *menuAction(const QString &name) const;
    QMenu *rightKeyMenu() const { return m_rightKey; }
    ChartWidget *chartWidget() const { return m_chart; }
    // The window's own surface, behind every control.
    QWidget *surface() const { return centralWidget(); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    class Surface;

    void buildLabels();
    void buildKeys();
    void buildMenus();
    void placeWindow();
    void wireCore();
    void syncFromCore();
    void surfacePressed(QMouseEvent *event);
    void showPopup(Menu menu);
    void setMenuEnabled(Menu menu, bool enabled);

    QLabel *addLabel(const QString &name, const QString &text, QRect inTwips, double pointSize);
    QAction *addItem(QMenu *menu, const QString &name, const QString &caption);
    QMenu *addMenu(QMenu *parent, const QString &name, const QString &caption);

    std::unique_ptr<PumpPort> m_ownPort;
    std::unique_ptr<Dialogs> m_ownDialogs;
    std::unique_ptr<TickTimer> m_ownTimer;
    std::unique_ptr<ConsoleCore> m_core;
    std::unique_ptr<FileCommands> m_fileCommands;

    std::map<Label, QLabel *> m_labels;
    std::map<std::pair<KeyGroup, qint16>, QAbstractButton *> m_keys;
    QHash<QString, QAction *> m_actions;
    std::map<Menu, QMenu *> m_menus;
    QMenu *m_rightKey = nullptr;
    ChartWidget *m_chart = nullptr;
};
