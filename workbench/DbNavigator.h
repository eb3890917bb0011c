#pragma once

#include <QWidget>

class QToolButton;

namespace engine {
class DataSet;
}

// A data set's own navigation and editing as a row of buttons: first,
// prior, next, last, insert, delete (after "Delete record?"), edit, post,
// cancel and refresh. Each button is enabled only where its action applies;
// a refused write is shown with the server's text and the row stays in edit.
class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    explicit TDBNavigator(engine::DataSet *dataSet, QWidget *parent = nullptr);

    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh, ButtonCount };
    QToolButton *button(Button b) const { return m_buttons[b]; }
    void click(Button b);

private:
    void updateButtons();
    engine::DataSet *m_ds;
    QToolButton *m_buttons[ButtonCount];
};
