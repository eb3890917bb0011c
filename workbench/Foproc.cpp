#include "workbench/Foproc.h"

#include "engine/Error.h"
#include "engine/GridModel.h"
#include "platform/GridColumns.h"
#include "engine/Transaction.h"
#include "platform/Modal.h"
#include "workbench/DM1.h"
#include "workbench/ProcText.h"
#include "workbench/WorkStatus.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

TfmOpenProc *fmOpenProc = nullptr;

TChooserDialog::TChooserDialog(const QString &nameField, const QString &sourceField, WorkStatus &status,
                               QWidget *parent)
    : QDialog(parent), Query1(DM ? &DM->DatabaseN : nullptr), m_nameField(nameField), m_sourceField(sourceField),
      m_status(status)
{
    auto *l = new QVBoxLayout(this);
    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    DBGrid1->verticalHeader()->hide();
    m_model = new engine::GridModel(&Query1, this);
    DBGrid1->setModel(m_model);
    platform::fitColumnsWhenFilled(DBGrid1);
    l->addWidget(DBGrid1, 1);
    auto *buttons = new QHBoxLayout;
    OKBtn = new QPushButton(QStringLiteral("Choose"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setEnabled(false);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    l->addLayout(buttons);
    resize(360, 420);

    connect(OKBtn, &QPushButton::clicked, this, &TChooserDialog::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(DBGrid1, &QTableView::doubleClicked, this, [this] {
        if (OKBtn->isEnabled())
            OKBtnClick();
    });
    // The grid and the data set stand on the same row both ways.
    connect(m_model, &engine::GridModel::currentRowChanged, this, [this](int row) {
        if (row >= 0 && DBGrid1->currentIndex().row() != row)
            DBGrid1->setCurrentIndex(m_model->index(row, 0));
    });
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    m_model->setCurrentRow(current.row());
            });
    DBGrid1->installEventFilter(this);
}

void TChooserDialog::reopenList()
{
    QString failure;
    try {
        engine::TransactionGuard transaction(DM->DatabaseN);
        Query1.close();
        Query1.open();
        transaction.commit();
    } catch (const engine::Error &e) {
        failure = e.message();
    }
    if (Query1.isActive())
        arrangeColumns();
    if (!failure.isEmpty())
        throw engine::Error(failure);
}

void TChooserDialog::FormShow()
{
    try {
        reopenList();
    } catch (const engine::Error &e) {
        m_status.showError(e.message());
    }
    // With nothing to choose, Enter closes the dialog instead of pressing
    // a disabled "Choose".
    const bool rows = Query1.isActive() && !Query1.isEmpty();
    OKBtn->setEnabled(rows);
    OKBtn->setDefault(rows);
    CancelBtn->setDefault(!rows);
    DBGrid1->setFocus();
    if (Query1.isActive() && !Query1.isEmpty())
        DBGrid1->setCurrentIndex(m_model->index(Query1.recNo(), 0));
    SearchPrefix.clear();
}

int TChooserDialog::choose()
{
    FormShow();
    m_listRead = true;
    const int result = platform::execModal(*this);
    m_listRead = false;
    return result;
}

void TChooserDialog::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!m_listRead)
        FormShow();
}

QString TChooserDialog::currentName() const
{
    auto &q = const_cast<engine::Query &>(Query1);
    if (!q.isActive() || q.isEmpty())
        return QString();
    return q.fieldByName(m_nameField).asString().trimmed();
}

QString TChooserDialog::currentSource() const
{
    auto &q = const_cast<engine::Query &>(Query1);
    if (!q.isActive() || q.isEmpty())
        return QString();
    return q.fieldByName(m_sourceField).asString();
}

void TChooserDialog::OKBtnClick()
{
    if (!Query1.isActive() || Query1.isEmpty())
        return;
    takeRow();
    accept();
}

void TChooserDialog::SearchKey(int key, const QString &text)
{
    if (!Query1.isActive() || Query1.isEmpty())
        return;
    if (key == Qt::Key_Escape || text == QString(QChar(27))) {
        SearchPrefix.clear();
        Query1.first();
        return;
    }
    if (text.isEmpty())
        return;
    SearchPrefix += text.toUpper();
    QStringList names;
    const int f = Query1.fieldIndex(m_nameField);
    for (int i = 0; i < Query1.recordCount(); ++i)
        names << Query1.textAt(i, f);
    engine::ControlsFrozen frozen(Query1);
    Query1.moveTo(proctext::SearchForward(names, Query1.recNo(), SearchPrefix));
}

bool TChooserDialog::selectName(const QString &name)
{
    const int f = Query1.fieldIndex(m_nameField);
    for (int i = 0; i < Query1.recordCount(); ++i) {
        if (Query1.textAt(i, f).trimmed().compare(name.trimmed(), Qt::CaseInsensitive) == 0) {
            Query1.moveTo(i);
            takeRow();
            return true;
        }
    }
    return false;
}

bool TChooserDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == DBGrid1 && m_searchInGrid && event->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(event);
        const bool printable = !k->text().isEmpty() && k->text().at(0).isPrint()
                               && !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        // Esc belongs to the search: it goes back to the first row, also
        // with nothing typed, and never closes the dialog.
        if (k->key() == Qt::Key_Escape) {
            SearchKey(k->key(), QString());
            return true;
        }
        if (printable) {
            SearchKey(k->key(), k->text());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// --- procedures

TfmOpenProc::TfmOpenProc(WorkStatus &status, QWidget *parent)
    : TChooserDialog(QStringLiteral("RDB$PROCEDURE_NAME"), QStringLiteral("RDB$PROCEDURE_SOURCE"), status, parent)
{
    fmOpenProc = this;
    setObjectName(QStringLiteral("fmOpenProc"));
    setWindowTitle(QStringLiteral("Choose Procedure"));
    Query1.setSql(QStringList{QStringLiteral("select RDB$PROCEDURE_NAME,"),
                              QStringLiteral("         RDB$PROCEDURE_SOURCE "), QStringLiteral("from RDB$Procedures"),
                              QStringLiteral("order by RDB$Procedure_Name")});
}

TfmOpenProc::~TfmOpenProc()
{
    if (fmOpenProc == this)
        fmOpenProc = nullptr;
}

void TfmOpenProc::arrangeColumns()
{
    Query1.setDisplayLabel(QStringLiteral("RDB$PROCEDURE_NAME"), QStringLiteral("Имя процедуры"));
    Query1.setFieldVisible(QStringLiteral("RDB$PROCEDURE_SOURCE"), false);
}

void TfmOpenProc::takeRow()
{
    ProcName = currentName();
}

void TfmOpenProc::keyPressEvent(QKeyEvent *e)
{
    // Keys the grid passes on (the grid searches itself) still search here.
    if (!e->text().isEmpty() && e->text().at(0).isPrint()) {
        FormKeyPress(e->key(), e->text());
        return;
    }
    TChooserDialog::keyPressEvent(e);
}

void TChooserDialog::reopenListReconnecting()
{
    if (DM->Database.isConnected())
        DM->Database.close();
    std::exception_ptr failure;
    try {
        reopenList();
    } catch (...) {
        failure = std::current_exception();
    }
    m_status.reopenUserConnection();
    if (failure)
        std::rethrow_exception(failure);
}

bool TfmOpenProc::SelectByName(const QString &name)
{
    reopenListReconnecting();
    OKBtn->setEnabled(!Query1.isEmpty());
    if (Query1.isEmpty()) {
        ProcName = QStringLiteral("Unknown");
        return false;
    }
    return selectName(name);
}
