#pragma once
// 运行程序: the table of a program's steps, its file, a preview of its flow, and the buttons
// that start, pause, continue and abort it on the panel's pump. Closing the window only hides
// it: a running program goes on, and the window shows it again when opened.

#include "control/program/programsteps.h"

#include <QWidget>

class FlowPreview;
class OperatorBoxes;
class PumpConsole;
class QLabel;
class QPushButton;
class QTableWidget;

class ProgramWindow final : public QWidget
{
    Q_OBJECT
public:
    // The console and the boxes must outlive the window.
    ProgramWindow(PumpConsole &console, OperatorBoxes &boxes, QWidget *parent = nullptr);

    // Loads the file into the table. A file that is refused is told with its line and reason,
    // and the table stays as it was. Returns whether it loaded.
    bool openFile(const QString &path);
    // Writes the table to the file; what cannot be written is told.
    bool saveFile(const QString &path);

    // The table as steps; a cell that is no number is told (row and column) and gives none.
    std::optional<program::Steps> tableSteps(bool tell);
    void setSteps(const program::Steps &steps);

    QTableWidget *table() const { return m_table; }
    FlowPreview *preview() const { return m_preview; }
    QPushButton *button(const QString &name) const;
    // The program's name as a run is started under: the file's name, or 未命名.
    QString programName() const { return m_name; }

public Q_SLOTS:
    void showAndRaise();
    void start();

private:
    void buildTable();
    void addRow(int at, const program::Step &step);
    void moveRow(int by);
    void chooseOpen();
    void chooseSave();
    void tableEdited();
    void showRun();
    QPushButton *addButton(const QString &name, const QString &text);

    PumpConsole &m_console;
    OperatorBoxes &m_boxes;
    QTableWidget *m_table = nullptr;
    FlowPreview *m_preview = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_elapsed = nullptr;
    QLabel *m_remaining = nullptr;
    QString m_name;
    QString m_folder; // where the last file was opened or saved
    bool m_filling = false;
};
