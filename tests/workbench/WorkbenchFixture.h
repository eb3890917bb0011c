#pragma once

// What the window tests share: a test database behind an alias, the
// workbench's forms in start-up order, and scripted answers to its dialogs.
#include "engine/Session.h"
#include "platform/Modal.h"
#include "platform/Prompter.h"
#include "support/TestDatabase.h"
#include "workbench/App.h"
#include "workbench/DM1.h"
#include "workbench/fAliases.h"
#include "workbench/fBrowser.h"
#include "workbench/fExternal.h"
#include "workbench/fLoginPrompt.h"
#include "workbench/Repository.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QListWidget>
#include <QToolButton>
#include <memory>
#include <utility>

namespace wbtest {

using testsupport::debugFolder;

// Gives a test database the workbench's repository (its question answered
// Yes) and a fresh folder for the debug tables, which are not made yet.
inline void installRepository(engine::Database &db)
{
    platform::ScriptedPrompter p;
    platform::ScopedPrompter sp(p);
    engine::Statement q6(&db), q7(&db);
    Repository r(db, q6, q7);
    p.answer(platform::Prompter::Answer::Yes);
    r.ensure([](int) {});
    testsupport::exec(db, QStringLiteral("insert into meta$External values (\"%1\")").arg(debugFolder()));
}

// An editor's text, line by line, as the document holds it.
inline QStringList lines(const QPlainTextEdit *e)
{
    QStringList r;
    for (QTextBlock b = e->document()->begin(); b.isValid(); b = b.next())
        r << b.text();
    return r;
}

using testsupport::ScopedAlias;

// Fills the alias and login dialogs as a user would and closes them.
class ScriptedDialogs {
public:
    QString alias;
    QString user;
    QString password;
    bool cancelLogin = false;
    QString externalPath; // typed into the path dialog; empty: left unset
    QStringList shown; // object names of the dialogs, in order

    ScriptedDialogs()
    {
        m_previous = platform::setModalHook([this](QDialog &d) { return run(d); });
    }
    // Answers the connect dialogs with this alias and login.
    ScriptedDialogs(QString alias_, QString user_, QString password_ = QString()) : ScriptedDialogs()
    {
        alias = std::move(alias_);
        user = std::move(user_);
        password = std::move(password_);
    }
    ~ScriptedDialogs() { platform::setModalHook(m_previous); }

private:
    int run(QDialog &d)
    {
        shown << d.objectName();
        if (auto *a = qobject_cast<TfmAliases *>(&d)) {
            a->FormShow();
            const auto items = a->LBAliases->findItems(alias, Qt::MatchExactly);
            if (items.isEmpty())
                return QDialog::Rejected;
            a->LBAliases->setCurrentItem(items.first());
            a->BtnOKClick();
            return a->result();
        }
        if (auto *l = qobject_cast<TfmLoginPrompt *>(&d)) {
            if (cancelLogin)
                return QDialog::Rejected;
            l->EditUserName->setText(user);
            l->EditPassword->setText(password);
            return QDialog::Accepted;
        }
        if (auto *e = qobject_cast<TfmExternal *>(&d)) {
            if (externalPath.isEmpty()) {
                e->BitBtn2Click();
                return e->result();
            }
            e->setResult(0);
            e->EditExtPath->setText(externalPath);
            e->BitBtn1Click();
            return e->result();
        }
        return QDialog::Rejected;
    }
    platform::ModalHook m_previous;
};

// The start of the window tests: a test database behind the alias TESTDB
// (on the loopback server when remote), statements run on it, the workbench
// connected to it from the command line, and a scripted prompter that is
// empty once the window is up.
struct WindowBench {
    testsupport::TestDatabase t;
    ScopedAlias alias;
    platform::ScriptedPrompter p;
    platform::ScopedPrompter sp{p};
    std::unique_ptr<Workbench> w;

    // A dialect-3 database takes its set-up statements in dialect 3 (quoted names).
    explicit WindowBench(bool remote = false, int dialect = 1)
        : t(dialect), alias(QStringLiteral("TESTDB"), remote ? testsupport::serverPrefix() + t.path() : t.path()),
          m_dialect(dialect)
    {
    }
    // ddl run on a connection of its own, after the repository when asked.
    void prepare(const QStringList &ddl, bool withRepository)
    {
        auto db = t.connect(QStringLiteral("SYSDBA"), QStringLiteral("UserDB"));
        if (withRepository)
            installRepository(*db);
        for (const QString &s : ddl) {
            if (m_dialect == 1)
                testsupport::exec(*db, s);
            else
                db->executeImmediate(s, m_dialect);
        }
    }
    void start(const QString &user = QStringLiteral("SYSDBA"), const QString &password = QString())
    {
        w = std::make_unique<Workbench>(QStringList{QStringLiteral("TESTDB"), user, password});
        p.clear();
    }
    TfmBrowser &b() { return *w->browser; }
    // Read on a connection of its own: committed work only.
    QVariant value(const QString &sql)
    {
        auto db = t.connect(QStringLiteral("SYSDBA"), QStringLiteral("Check"));
        return testsupport::scalar(*db, sql);
    }

private:
    int m_dialect;
};

// Rows 1..n of a table, each row's values an expression of :I.
inline void fillRows(WindowBench &t, const QString &table, int rows, const QString &values)
{
    auto db = t.t.connect();
    testsupport::exec(*db, QString("create procedure FILL as declare variable I integer = 1; begin "
                                   "while (I <= %1) do begin insert into %2 values (%3); I = I + 1; end end")
                               .arg(rows).arg(table, values));
    testsupport::exec(*db, "execute procedure FILL");
    testsupport::exec(*db, "drop procedure FILL");
}

} // namespace wbtest
