#include "workbench/fExternal.h"

#include "workbench/Repository.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfmExternal *fmExternal = nullptr;

TfmExternal::TfmExternal(Probe test, std::function<void()> dropProbe, QWidget *parent)
    : QDialog(parent), m_test(std::move(test)), m_dropProbe(std::move(dropProbe))
{
    fmExternal = this;
    setObjectName(QStringLiteral("fmExternal"));
    setWindowTitle(QStringLiteral("External tables path setting"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setPlainText(QStringLiteral(
        "   Attention!\n"
        "   Marrowby Pro will have to create some external tables. \n"
        "They are created on the server, the computer where the database server runs, so give the path "
        "as that computer sees it.\n"
        "Examples:\n"
        "   local server on Linux:        /var/lib/dbg/\n"
        "   remote server on Linux:       /srv/firebird/dbg/   (the path on that server)\n"
        "   remote server on Windows:     C:\\dbg\\   or   D:\\Firebird\\dbg\\\n"
        "The folder must be allowed by the server's ExternalFileAccess setting.\n"
        "WARNINGS: 1. Specified path MUST EXISTS.\n"
        "                      2. Specified path MUST BE UNIQUE FOR EACH ALIAS.\n"
        "To change the path later, edit the single record of the META$EXTERNAL table."));
    EditExtPath = new QLineEdit(QStringLiteral("/var/lib/firebird/dbg/"), this);
    EditExtPath->setObjectName(QStringLiteral("EditExtPath"));
    BitBtn1 = new QPushButton(QStringLiteral("Test specified path and continue if successful"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Leave external path unsetted (BP will not work)"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));

    auto *l = new QVBoxLayout(this);
    l->addWidget(Memo1, 1);
    l->addWidget(new QLabel(QStringLiteral("Path to external tables (with final slash sign):"), this));
    l->addWidget(EditExtPath);
    l->addWidget(BitBtn1);
    l->addWidget(BitBtn2);
    resize(520, 360);
    connect(BitBtn1, &QPushButton::clicked, this, &TfmExternal::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TfmExternal::BitBtn2Click);
}

void TfmExternal::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    FormShow();
}

void TfmExternal::Offer(const QString &folder)
{
    if (!folder.isEmpty())
        EditExtPath->setText(folder);
}

void TfmExternal::FormShow()
{
    EditExtPath->setFocus();
}

void TfmExternal::BitBtn1Click()
{
    ExternalTablesPath = Repository::normalizedPath(EditExtPath->text());
    if (m_test(ExternalTablesPath)) {
        m_dropProbe();
        done(1);
        return;
    }
    EditExtPath->setFocus(); // the dialog stays open
}

void TfmExternal::BitBtn2Click()
{
    ExternalTablesPath.clear();
    done(2);
}
