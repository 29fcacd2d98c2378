#pragma once
// The program's flow drawn against time, with its total length; while it runs, a marker where
// it is. It paints only what it was given.

#include "control/program/programsteps.h"

#include <optional>
#include <QWidget>

class FlowPreview final : public QWidget
{
    Q_OBJECT
public:
    explicit FlowPreview(QWidget *parent = nullptr);

    // Steps that cannot be run draw nothing but a note saying so.
    void setSteps(const program::Steps &steps);
    void setMarker(std::optional<program::Ms> at);
    std::optional<program::Ms> marker() const { return m_marker; }

    QSize sizeHint() const override { return {520, 180}; }

    // "1 小时 15 分 30 秒", "45 秒": a length as the preview and the window write it.
    static QString lengthText(program::Ms length);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    program::Steps m_steps;
    std::vector<program::Ms> m_bounds; // empty while the steps cannot be run
    std::optional<program::Ms> m_marker;
};
