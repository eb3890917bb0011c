#pragma once

// The background query window: one SQL text run on a worker thread with an
// engine session and a connection of its own, while the main window stays
// usable. The window shows the run's state as a picture, the error of a
// failed run in its status line and a query's rows in its grid.

#include "engine/Database.h"
#include "engine/Query.h"
#include "engine/Session.h"

#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QWidget>

class QLabel;
class QTableView;
class TQueryThread;

namespace engine {
class GridModel;
}

class TQueryForm : public QWidget {
    Q_OBJECT
public:
    explicit TQueryForm(QWidget *parent = nullptr);
    ~TQueryForm() override;

    QTableView *DBGrid1;
    QWidget *Panel1;
    QLabel *Iooh, *IShades, *ISad, *IIndif;
    QLabel *StatusLine;
    // The grid's source: no data set until a query result arrives.
    engine::GridModel *DataSource;
    // Made with the window; the run names the session and the connection.
    engine::Session Session{QStringLiteral("Default")};
    engine::Database Database{&Session, QStringLiteral("Database")};
    engine::Query Query{&Database};

    bool Finished = false;
    bool Failed = false;
    bool IsSelect = false;

    // Main thread only, through the worker's synchronised calls.
    void UpdateStatus();
    void SetRunning();
    void SetDone();
    void SetFailed();

    // The worker that serves the window while it runs; null once it ended.
    TQueryThread *thread() const { return m_thread; }

private:
    friend TQueryThread;
    QPointer<TQueryThread> m_thread;
};

class TQueryThread : public QThread {
    Q_OBJECT
public:
    // Does not start: StartBackgroundQuery starts it once it is set up.
    explicit TQueryThread(TQueryForm *form);

    TQueryForm *Form;
    QString ErrorText;

    // Main thread only, through the synchronised calls.
    void AttachResult();
    void ShowError();

protected:
    void run() override;

private:
    // Runs f on the main thread while the worker waits.
    template <typename F>
    void synchronize(F f);
    // The statement in a transaction of its own, committed once every row
    // is fetched; true when it returned rows for the grid.
    bool runStatement();
    engine::RowSetPtr m_rows;
};

// Makes and shows a window for the text and starts its worker; the window
// stays until the program ends. Main thread. The windows open a step apart
// from each other, below the screen line clearBelow (the main window's tool
// bar) where the screen has room for them there.
TQueryThread *StartBackgroundQuery(const QString &caption, const QString &alias, const QString &user,
                                   const QString &password, const QString &sqlText, bool isSelect,
                                   int clearBelow = 0);

// The program is ending: every running statement is cancelled on the
// server, every worker is waited for (its synchronised calls still served)
// and every window is freed. Main thread.
void EndBackgroundQueries();

// The windows made so far in this run, oldest first.
QList<TQueryForm *> BackgroundQueryForms();
