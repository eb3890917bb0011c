// The procedure and trigger pages of the debugger work area: tool bars,
// editor states, loading from the catalogue, the plain save and the save with
// debug info, the point markers of the context menus, files, drop and the
// line jumps.
#include "workbench/fBrowser.h"

#include "engine/Error.h"
#include "engine/SqlText.h"
#include "engine/Transaction.h"
#include "platform/GridColumns.h"
#include "platform/Modal.h"
#include "platform/Prompter.h"
#include "workbench/CatalogueText.h"
#include "workbench/DM1.h"
#include "workbench/Export.h"
#include "workbench/Foproc.h"
#include "workbench/Foptrg.h"
#include "workbench/Instrument.h"
#include "workbench/ProcText.h"
#include "workbench/Repository.h"
#include "workbench/fmFindStr.h"
#include "workbench/mysimplere.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>

#include <tuple>
#include <utility>

namespace {

using Answer = platform::Prompter::Answer;

struct ButtonSpec {
    const char *name;
    const char *hint;
    const char *text;
};

const ButtonSpec kProcButtons[] = {
    {"SBNewProc", "New procedure (Ctrl+N)", "New"},
    {"SBOpenProc", "Open procedure (Ctrl+O)", "Open"},
    {"SBSaveProc", "Save procedure (Ctrl+S)", "Save"},
    {"SBOpenFromFile", "Read from file", "Read"},
    {"SBSaveToFile", "Save to file", "Write"},
    {"SBSPUndo", "Undo", "Undo"},
    {"SBSPCut", "Cut", "Cut"},
    {"SBSPCopy", "Copy", "Copy"},
    {"SBSPPaste", "Paste", "Paste"},
    {"SBSPLine", "Go to line N", "Line"},
    {"SBDebDropProc", "Drop Procedure", "Drop"},
    {"SBFindInProc", "Find/Replace", "Find"},
    {"SBSyntaxOn", "Hilight syntax", "Colour"},
    {"SBSyntaxOff", "Plain syntax", "Plain"},
    {"SBdebExecSQL", "Exec procedure (Ctrl+Enter)", "Exec"},
    {"SBdebShowSet", "Show set of records (Alt+Enter)", "Records"},
};

const ButtonSpec kTrigButtons[] = {
    {"SBNewTrig", "New trigger (Ctrl+N)", "New"},
    {"SBOpenTrig", "Open trigger (Ctrl+O)", "Open"},
    {"SBSaveTrig", "Save trigger (Ctrl+S)", "Save"},
    {"SBOpenFromFile2", "Read from file", "Read"},
    {"SBSaveToFile2", "Save to file", "Write"},
    {"SBTrUndo", "Undo", "Undo"},
    {"SBTrCut", "Cut", "Cut"},
    {"SBTrCopy", "Copy", "Copy"},
    {"SBTrPaste", "Paste", "Paste"},
    {"SBTrigLine", "Go to line N", "Line"},
    {"SBDebDropTrigger", "Drop Trigger", "Drop"},
    {"SBFindInTrig", "Find/Replace", "Find"},
    {"SBSyntaxOnTrig", "Hilight syntax", "Colour"},
    {"SBSyntaxOffTrig", "Plain syntax", "Plain"},
};

// Usable before the first connect has set them: the colour and line
// commands of the trigger page need no state of their own.
const char *const kTrigAlwaysOn[] = {"SBSyntaxOnTrig", "SBSyntaxOffTrig", "SBTrigLine"};

const char *const kProcEditing[] = {"SBSaveProc", "SBOpenFromFile", "SBSPUndo",     "SBSPCut",
                                    "SBSPCopy",   "SBSPPaste",      "SBSaveToFile", "SBFindInProc"};
const char *const kProcRunning[] = {"SBDebDropProc", "SBdebExecSQL", "SBdebShowSet"};
const char *const kTrigEditing[] = {"SBSaveTrig", "SBOpenFromFile2", "SBSaveToFile2", "SBTrCut",
                                    "SBTrCopy",   "SBTrPaste",       "SBTrUndo",      "SBFindInTrig"};
const char *const kProcDropped[] = {"SBDebDropProc", "SBSaveProc", "SBOpenFromFile", "SBSaveToFile"};
const char *const kTrigDropped[] = {"SBDebDropTrigger", "SBSaveTrig", "SBOpenFromFile2", "SBSaveToFile2"};

template <typename T, size_t N> constexpr int count(const T (&)[N]) { return int(N); }

// The names on one editor page's tool bar.
struct ToolBarNames {
    const char *panel;
    const ButtonSpec *buttons;
    int buttonCount;
    const char *lineButton;
    const char *lineField;
    const char *name;
    const char *line;
    const char *pos;
    const char *const *alwaysOn;
    int alwaysOnCount;
};

const ToolBarNames kProcBar = {"PanelProcTools", kProcButtons, count(kProcButtons), "SBSPLine", "EditSPLine",
                               "LProcName",      "LSPLine",    "LSPPos",            nullptr,    0};
const ToolBarNames kTrigBar = {"PanelTrigTools", kTrigButtons, count(kTrigButtons), "SBTrigLine",  "EditTrigLine",
                               "LTrigName",      "LTRLine",    "LTRPos",            kTrigAlwaysOn, count(kTrigAlwaysOn)};

QLabel *label(QWidget *parent, const QString &name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QLineEdit *lineEdit(QWidget *parent, const QString &name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaximumWidth(60);
    return e;
}

void setLines(TMyRichEdit *editor, const QStringList &lines)
{
    editor->setPlainText(lines.join(QLatin1Char('\n')));
}

QStringList editorLines(const TMyRichEdit *editor)
{
    QStringList lines;
    for (QTextBlock b = editor->document()->begin(); b.isValid(); b = b.next())
        lines << b.text();
    return lines;
}

} // namespace

// --- page layout

QWidget *TfmBrowser::buildEditorToolBar(QWidget *parent, bool isProc)
{
    const ToolBarNames &names = isProc ? kProcBar : kTrigBar;
    auto *bar = new QWidget(parent);
    bar->setObjectName(QLatin1String(names.panel));
    auto *rows = new QVBoxLayout(bar);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(1);
    auto *tools = new QHBoxLayout;
    tools->setSpacing(1);
    // The go-to-line field stands right after its button.
    QLineEdit *lineField = nullptr;
    for (int i = 0; i < names.buttonCount; ++i) {
        const ButtonSpec &s = names.buttons[i];
        QToolButton *b = makeButton(bar, QLatin1String(s.name), QLatin1String(s.hint));
        b->setText(QLatin1String(s.text));
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setAutoRaise(true);
        b->setEnabled(false);
        tools->addWidget(b);
        if (qstrcmp(s.name, names.lineButton) == 0) {
            lineField = lineEdit(bar, QLatin1String(names.lineField));
            tools->addWidget(lineField);
        }
    }
    enableButtons(names.alwaysOn, names.alwaysOnCount, true);
    tools->addStretch();
    rows->addLayout(tools);
    // The object's name, the caret's line and position.
    auto *info = new QHBoxLayout;
    QLabel *name = label(bar, QLatin1String(names.name), QStringLiteral("Unknown"));
    QLabel *line = label(bar, QLatin1String(names.line), QStringLiteral("1"));
    QLabel *pos = label(bar, QLatin1String(names.pos), QStringLiteral("1"));
    info->addWidget(name, 1);
    info->addWidget(new QLabel(QStringLiteral("Line:"), bar));
    info->addWidget(line);
    info->addWidget(new QLabel(QStringLiteral("Pos:"), bar));
    info->addWidget(pos);
    rows->addLayout(info);
    if (isProc)
        std::tie(EditSPLine, LProcName, LSPLine, LSPPos) = std::tie(lineField, name, line, pos);
    else
        std::tie(EditTrigLine, LTrigName, LTRLine, LTRPos) = std::tie(lineField, name, line, pos);
    return bar;
}

void TfmBrowser::fillParamGrid(QTableWidget *grid, const QString &title, int rows)
{
    // Row 0 is the grid's fixed title row; at least one value row follows.
    grid->clearContents();
    grid->setRowCount(qMax(2, rows + 1));
    const QString titles[] = {title, QStringLiteral("Type"), QStringLiteral("Value")};
    for (int c = 0; c < 3; ++c) {
        auto *item = new QTableWidgetItem(titles[c]);
        item->setFlags(Qt::ItemIsEnabled);
        QFont f = item->font();
        f.setBold(true);
        item->setFont(f);
        grid->setItem(0, c, item);
    }
}

void TfmBrowser::connectEditorPages()
{
    auto on = [this](const char *name, void (TfmBrowser::*slot)()) {
        connect(static_cast<QToolButton *>(button(QLatin1String(name))), &QToolButton::clicked, this, slot);
    };
    on("SBNewProc", &TfmBrowser::SBNewProcClick);
    on("SBOpenProc", &TfmBrowser::SBOpenProcClick);
    on("SBSaveProc", &TfmBrowser::SBSaveProcClick);
    on("SBOpenFromFile", &TfmBrowser::SBOpenFromFileClick);
    on("SBSaveToFile", &TfmBrowser::SBSaveToFileClick);
    on("SBSPUndo", &TfmBrowser::SBSPUndoClick);
    on("SBSPCut", &TfmBrowser::SBSPCutClick);
    on("SBSPCopy", &TfmBrowser::SBSPCopyClick);
    on("SBSPPaste", &TfmBrowser::SBSPPasteClick);
    on("SBSPLine", &TfmBrowser::SBSPLineClick);
    on("SBDebDropProc", &TfmBrowser::SBDebDropProcClick);
    on("SBFindInProc", &TfmBrowser::SBFindInProcClick);
    on("SBSyntaxOn", &TfmBrowser::SBSyntaxOnClick);
    on("SBSyntaxOff", &TfmBrowser::SBSyntaxOffClick);
    on("SBdebExecSQL", &TfmBrowser::SBdebExecSQLClick);
    on("SBdebShowSet", &TfmBrowser::SBdebShowSetClick);
    on("SBNewTrig", &TfmBrowser::SBNewTrigClick);
    on("SBOpenTrig", &TfmBrowser::SBOpenTrigClick);
    on("SBSaveTrig", &TfmBrowser::SBSaveTrigClick);
    on("SBOpenFromFile2", &TfmBrowser::SBOpenFromFile2Click);
    on("SBSaveToFile2", &TfmBrowser::SBSaveToFile2Click);
    on("SBTrUndo", &TfmBrowser::SBTrUndoClick);
    on("SBTrCut", &TfmBrowser::SBTrCutClick);
    on("SBTrCopy", &TfmBrowser::SBTrCopyClick);
    on("SBTrPaste", &TfmBrowser::SBTrPasteClick);
    on("SBTrigLine", &TfmBrowser::SBTrigLineClick);
    on("SBDebDropTrigger", &TfmBrowser::SBDebDropTriggerClick);
    on("SBFindInTrig", &TfmBrowser::SBFindInTrigClick);
    on("SBSyntaxOnTrig", &TfmBrowser::SBSyntaxOnTrigClick);
    on("SBSyntaxOffTrig", &TfmBrowser::SBSyntaxOffTrigClick);

    connect(REProc, &QPlainTextEdit::textChanged, this, &TfmBrowser::REProcChange);
    connect(REProc, &TMyRichEdit::keyUp, this, [this] { UpdateProcLinePos(); });
    connect(REProc, &TMyRichEdit::mouseDown, this, &TfmBrowser::UpdateProcLinePos);
    connect(RETrig, &TMyRichEdit::keyUp, this, [this] { UpdateTrigLinePos(); });
    connect(RETrig, &TMyRichEdit::mouseDown, this, &TfmBrowser::UpdateTrigLinePos);
    buildPointMenus();
}

void TfmBrowser::enableButtons(const char *const *names, int n, bool enabled)
{
    for (int i = 0; i < n; ++i)
        if (QAbstractButton *b = button(QLatin1String(names[i])))
            b->setEnabled(enabled);
}

// --- states

void TfmBrowser::SetProcEditorNew()
{
    enableButtons(kProcEditing, count(kProcEditing), true);
    enableButtons(kProcRunning, count(kProcRunning), false);
    ProcEditorState = 0;
    REProc->setFocus();
}

void TfmBrowser::SetProcEditorOpened()
{
    enableButtons(kProcEditing, count(kProcEditing), true);
    enableButtons(kProcRunning, count(kProcRunning), true);
    ProcEditorState = 1;
    REProc->setFocus();
}

void TfmBrowser::SetProcEditorSaved()
{
    enableButtons(kProcRunning, count(kProcRunning), true);
    ProcEditorState = 2;
}

void TfmBrowser::SetTrigEditorNew()
{
    enableButtons(kTrigEditing, count(kTrigEditing), true);
    button(QStringLiteral("SBDebDropTrigger"))->setEnabled(false);
    TrigEditorState = 0;
    RETrig->setFocus();
}

void TfmBrowser::SetTrigEditorOpened()
{
    enableButtons(kTrigEditing, count(kTrigEditing), true);
    button(QStringLiteral("SBDebDropTrigger"))->setEnabled(true);
    TrigEditorState = 1;
    RETrig->setFocus();
}

// --- caret labels

namespace {

void showCaret(const QPlainTextEdit *editor, QLabel *line, QLabel *pos)
{
    const QTextCursor c = editor->textCursor();
    if (line)
        line->setText(QString::number(c.blockNumber() + 1));
    if (pos)
        pos->setText(QString::number(c.position() - c.block().position() + 1));
}

} // namespace

void TfmBrowser::UpdateProcLinePos() { showCaret(REProc, LSPLine, LSPPos); }
void TfmBrowser::UpdateTrigLinePos() { showCaret(RETrig, LTRLine, LTRPos); }
void TfmBrowser::UpdateSqlLinePos()
{
    showCaret(SQLBody, findChild<QLabel *>(QStringLiteral("LsqlLine")), findChild<QLabel *>(QStringLiteral("LsqlPos")));
}

void TfmBrowser::REProcChange()
{
    QAbstractButton *exec = button(QStringLiteral("SBdebExecSQL"));
    if (exec && exec->isEnabled()) {
        exec->setEnabled(false);
        button(QStringLiteral("SBdebShowSet"))->setEnabled(false);
    }
}

// --- new and open

void TfmBrowser::ReopenChooserLists()
{
    for (TChooserDialog *d : std::initializer_list<TChooserDialog *>{fmOpenProc, fmOpenTrig}) {
        if (!d)
            continue;
        try {
            d->reopenList();
        } catch (const engine::Error &e) {
            ShowError(e.message());
        }
    }
}

bool TfmBrowser::askModified(TMyRichEdit *editor, const QString &question)
{
    if (!editor->document()->isModified())
        return true;
    return platform::Prompter::instance().confirm(QStringLiteral("Confirmation"), question) == Answer::Yes;
}

void TfmBrowser::SBNewProcClick()
{
    if (!button(QStringLiteral("SBNewProc"))->isEnabled()
        || !askModified(REProc, QStringLiteral("Procedure text modified! Confirm?")))
        return;
    REProc->setUpdatesEnabled(false);
    setLines(REProc, proctext::ProcedureTemplate());
    ProcLineEnd = QStringLiteral("\n");
    REProc->setUpdatesEnabled(true);
    button(QStringLiteral("SBSaveProc"))->setEnabled(true);
    DM->QDebProc.close();
    LProcName->setText(QStringLiteral("Unknown"));
    SetProcEditorNew();
    DefaultCursor();
}

void TfmBrowser::SBNewTrigClick()
{
    if (!button(QStringLiteral("SBNewTrig"))->isEnabled()
        || !askModified(RETrig, QStringLiteral("Trigger text modified! Confirm?")))
        return;
    RETrig->setUpdatesEnabled(false);
    setLines(RETrig, proctext::TriggerTemplate());
    TrigLineEnd = QStringLiteral("\n");
    RETrig->setUpdatesEnabled(true);
    button(QStringLiteral("SBSaveTrig"))->setEnabled(true);
    LTrigName->setText(QStringLiteral("Unknown"));
    SetTrigEditorNew();
    DefaultCursor();
}

void TfmBrowser::SBOpenProcClick()
{
    if (!fmOpenProc || !button(QStringLiteral("SBOpenProc"))->isEnabled()
        || !askModified(REProc, QStringLiteral("Procedure text modified! Confirm?")))
        return;
    if (fmOpenProc->choose() == QDialog::Accepted) {
        SetBusy();
        try {
            REProc->setUpdatesEnabled(false);
            REProc->clear();
            REProc->setUpdatesEnabled(true);
            LoadProcedure();
            SetProcEditorOpened();
            SetReady();
        } catch (const engine::Error &e) {
            REProc->setUpdatesEnabled(true);
            SetError();
            ShowError(e.message());
        }
    }
    DefaultCursor();
}

void TfmBrowser::SBOpenTrigClick()
{
    if (!fmOpenTrig || !button(QStringLiteral("SBOpenTrig"))->isEnabled()
        || !askModified(RETrig, QStringLiteral("Trigger text modified! Confirm?")))
        return;
    if (fmOpenTrig->choose() == QDialog::Accepted) {
        SetBusy();
        try {
            RETrig->setUpdatesEnabled(false);
            RETrig->clear();
            RETrig->setUpdatesEnabled(true);
            LoadTrigger();
            SetTrigEditorOpened();
            SetReady();
        } catch (const engine::Error &e) {
            RETrig->setUpdatesEnabled(true);
            SetError();
            ShowError(e.message());
        }
    }
    DefaultCursor();
}

// --- loading from the catalogue

void TfmBrowser::LoadProcedure()
{
    REProc->setUpdatesEnabled(false);
    try {
        BuildProcedureText();
    } catch (...) {
        REProc->setUpdatesEnabled(true);
        throw;
    }
    REProc->setUpdatesEnabled(true);
    ProcEditorState = 1;
    DM->QDebProc.close();
}

namespace {

QVector<proctext::Param> readParams(engine::Query &q)
{
    QVector<proctext::Param> params;
    for (int i = 0; i < q.recordCount(); ++i)
        params.push_back({q.textAt(i, q.fieldIndex(QStringLiteral("RDB$PARAMETER_NAME"))).trimmed(), DM->ParamTypeAt(q, i)});
    return params;
}

void showParams(QTableWidget *grid, const QVector<proctext::Param> &params)
{
    for (int i = 0; i < params.size(); ++i) {
        grid->setItem(i + 1, 0, new QTableWidgetItem(params[i].name));
        grid->setItem(i + 1, 1, new QTableWidgetItem(params[i].type));
    }
    platform::fitColumns(grid);
}

} // namespace

void TfmBrowser::BuildProcedureText()
{
    const QString name = fmOpenProc->ProcName;
    engine::requirePlainIdentifier(name); // it heads the text that a save sends
    DM->QInParams.close();
    DM->QInParams.setParam(QStringLiteral("ProcName"), name);
    LProcName->setText(name);
    DM->QInParams.open();
    InParamCount = DM->QInParams.recordCount();
    DM->QOutParams.close();
    DM->QOutParams.setParam(QStringLiteral("ProcName"), name);
    DM->QOutParams.open();
    DM->StoredProc.setStoredProcName(name);

    const QVector<proctext::Param> in = readParams(DM->QInParams);
    const QVector<proctext::Param> out = readParams(DM->QOutParams);
    fillParamGrid(SGInput, QStringLiteral("Input param."), int(in.size()));
    showParams(SGInput, in);
    fillParamGrid(SGOutput, QStringLiteral("Output param."), int(out.size()));
    showParams(SGOutput, out);

    setLines(REProc, proctext::BuildProcedureText(name, in, out, fmOpenProc->currentSource(), InDebugBlock));
    ProcLineEnd = proctext::LineEnd(fmOpenProc->currentSource());
    REProc->moveCursor(QTextCursor::Start);
    UpdateProcLinePos();
    REProc->document()->setModified(false);
}

void TfmBrowser::LoadTrigger()
{
    // Both names go into the text that a save sends.
    engine::requirePlainIdentifier(fmOpenTrig->TrigName);
    engine::requirePlainIdentifier(fmOpenTrig->RelationName);
    LTrigName->setText(fmOpenTrig->TrigName);
    RETrig->setUpdatesEnabled(false);
    try {
        BuildTriggerText();
    } catch (...) {
        RETrig->setUpdatesEnabled(true);
        throw;
    }
    RETrig->setUpdatesEnabled(true);
}

void TfmBrowser::BuildTriggerText()
{
    const TfmOpenTrig &d = *fmOpenTrig;
    setLines(RETrig, proctext::BuildTriggerText(d.TrigName, d.RelationName, d.TrigType, d.TrigInactive,
                                                d.TrigSequence, d.currentSource(), InDebugBlock));
    TrigLineEnd = proctext::LineEnd(d.currentSource());
    RETrig->moveCursor(QTextCursor::Start);
    UpdateTrigLinePos();
    RETrig->document()->setModified(false);
}

// --- line jumps and server errors

TfmBrowser::EditorPage TfmBrowser::editorPage(const QString &kind)
{
    if (kind == QLatin1String("SP"))
        return {kind,           REProc,      LProcName,   EditSPLine,
                ProcEditorState, ProcLineMap, ProcLineEnd, TSText,
                &TfmBrowser::UpdateProcLinePos, &TfmBrowser::LoadProcedure, &TfmBrowser::selectProcByName,
                &TfmBrowser::SetProcEditorSaved};
    return {QStringLiteral("TR"), RETrig,      LTrigName,   EditTrigLine,
            TrigEditorState, TrigLineMap, TrigLineEnd, nullptr,
            &TfmBrowser::UpdateTrigLinePos, &TfmBrowser::LoadTrigger, &TfmBrowser::selectTrigByName,
            nullptr};
}

bool TfmBrowser::selectProcByName(const QString &name) { return fmOpenProc->SelectByName(name); }
bool TfmBrowser::selectTrigByName(const QString &name) { return fmOpenTrig->SelectByName(name); }

void TfmBrowser::goToLine(EditorPage page)
{
    jumpToTypedLine(page.editor, page.lineField, page.updateLinePos);
}

void TfmBrowser::jumpToTypedLine(TMyRichEdit *editor, QLineEdit *lineField, void (TfmBrowser::*updateLinePos)())
{
    int line = 0;
    const QString typed = lineField->text();
    const proctext::LineCheck check = proctext::CheckLineNumber(typed, editor->blockCount(), &line);
    if (check == proctext::LineCheck::Empty)
        return;
    if (check != proctext::LineCheck::Ok) {
        ShowMessage(proctext::LineCheckMessage(check, typed));
        return;
    }
    editor->GoToLine(line, 0);
    (this->*updateLinePos)();
}

void TfmBrowser::SBSPLineClick()
{
    goToLine(editorPage(QStringLiteral("SP")));
}

void TfmBrowser::SBTrigLineClick()
{
    goToLine(editorPage(QStringLiteral("TR")));
}

void TfmBrowser::showEditorError(const QString &message, EditorPage page)
{
    // The saved statement's lines are not the editor's: the map knows.
    const instrument::LineMap &map = page.lineMap;
    const QStringList now = editorLines(page.editor);
    const proctext::ErrorLine mapped =
        proctext::MapErrorLine(message, [&](int line) { return map.EditorLine(line, now); });
    if (!mapped.found) {
        ShowError(message);
        return;
    }
    if (page.textTab)
        PCProc->setCurrentWidget(page.textTab);
    page.lineField->setText(QString::number(mapped.line));
    goToLine(page);
    ShowError(mapped.message);
}

void TfmBrowser::ShowProcError(const QString &message) { showEditorError(message, editorPage(QStringLiteral("SP"))); }
void TfmBrowser::ShowTrigError(const QString &message) { showEditorError(message, editorPage(QStringLiteral("TR"))); }

void TfmBrowser::ShowSqlError(const QString &message)
{
    const proctext::ErrorLine mapped = proctext::MapErrorLine(message, 0);
    if (!mapped.found)
        return;
    if (auto *edit = findChild<QLineEdit *>(QStringLiteral("EditsqlSPLine")))
        edit->setText(QString::number(mapped.line));
    if (mapped.line >= 0 && mapped.line <= SQLBody->blockCount()) {
        SQLBody->GoToLine(mapped.line, 0);
        UpdateSqlLinePos();
    }
    SQLBody->setFocus();
}

// --- plain save

bool TfmBrowser::SaveSourcePlain(bool reload, const QString &kind)
{
    EditorPage page = editorPage(kind);
    TMyRichEdit *editor = page.editor;
    const int caret = editor->textCursor().position();
    const int caretLine = editor->textCursor().blockNumber() + 1;
    const bool wasModified = editor->document()->isModified();
    BreakPointsUsed = TracePointsUsed = ProgressPointsUsed = false;
    try {
        // The debug run's connection must see the recompiled object.
        DM->DataBase2.close();
        ConnectDebugDB();
        engine::TransactionGuard transaction(DM->Database);
        DM->QSave.close();
        DebugSaveMode = false;
        // Colons the parameter parser would read are doubled; those inside
        // quoted constants and comments reach the server as typed.
        instrument::Instrumenter ins =
            instrument::InstrumentText(editorLines(editor), StripPointsMode ? instrument::Mode::Strip : instrument::Mode::Plain,
                                       QString(), page.kind, page.state != 0);
        BreakPointsUsed = ins.breakPointsUsed();
        TracePointsUsed = ins.tracePointsUsed();
        ProgressPointsUsed = ins.progressPointsUsed();
        executeSaveText(page, ins);
        transaction.commit();
    } catch (const engine::Error &e) {
        // The text was not stored: it still counts as modified.
        editor->document()->setModified(wasModified);
        DefaultCursor();
        showEditorError(catalogue::serverText(e), page);
        return false;
    }
    finishSave(page, reload, page.state != 0, caret, caretLine);
    return true;
}

void TfmBrowser::executeSaveText(EditorPage &page, instrument::Instrumenter &ins)
{
    page.lineMap = instrument::LineMap(editorLines(page.editor), ins);
    ins.setLineEnd(page.lineEnd);
    DM->QSave.setSql(ins.lines());
    page.editor->document()->setModified(false);
    DM->QSave.execSql();
}

void TfmBrowser::finishSave(EditorPage &page, bool reload, bool byNameLabel, int caret, int caretLine)
{
    if (reload)
        reloadAfterSave(page, byNameLabel, caret, caretLine);
    if (page.markSaved)
        (this->*page.markSaved)();
}

void TfmBrowser::reloadAfterSave(EditorPage &page, bool byNameLabel, int caret, int caretLine)
{
    TMyRichEdit *editor = page.editor;
    InDebugBlock = false;
    const QString name = byNameLabel ? page.name->text() : editor->GetObjectName();
    try {
        if (!(this->*page.selectByName)(name)) {
            ShowMessage(QStringLiteral("%1 not found.").arg(name));
            return;
        }
        editor->setUpdatesEnabled(false);
        (this->*page.load)();
        QTextCursor c = editor->textCursor();
        c.setPosition(qMin(caret, editor->document()->characterCount() - 1));
        editor->setTextCursor(c);
        (this->*page.updateLinePos)();
        editor->verticalScrollBar()->setValue(caretLine - 1);
        editor->setUpdatesEnabled(true);
    } catch (const engine::Error &e) {
        editor->setUpdatesEnabled(true);
        ShowError(e.message());
    }
}

bool TfmBrowser::SaveSourceDebug(bool reload, const QString &kind)
{
    EditorPage page = editorPage(kind);
    TMyRichEdit *editor = page.editor;
    const QString object = page.name->text();
    const int caret = editor->textCursor().position();
    const int caretLine = editor->textCursor().blockNumber() + 1;
    const bool wasModified = editor->document()->isModified();
    WatchedCount = 0;
    WatchedVariables.clear();
    BreakPointsUsed = TracePointsUsed = ProgressPointsUsed = false;

    instrument::Instrumenter ins(instrument::Mode::Debug, object, page.kind, page.state != 0);
    if (!recordDebugPoints(page, ins))
        return false;
    BreakPointsUsed = ins.breakPointsUsed();
    TracePointsUsed = ins.tracePointsUsed();
    ProgressPointsUsed = ins.progressPointsUsed();
    WatchedVariables = ins.watchedVariables();
    WatchedCount = ins.watchedCount();

    if ((BreakPointsUsed || TracePointsUsed || ProgressPointsUsed) && !prepareDebugTables(object))
        return false;
    // Break points without watched variables never wait: the run treats
    // the object as having none.
    if (WatchedCount == 0)
        BreakPointsUsed = false;

    try {
        engine::TransactionGuard transaction(DM->Database);
        executeSaveText(page, ins);
        transaction.commit();
    } catch (const engine::Error &e) {
        editor->document()->setModified(wasModified);
        // The server's reason too: the generated text may be what it refuses.
        showEditorError(QStringLiteral("Uncheck \"Save with debug info\" and retry to save.\r\n") + catalogue::serverText(e), page);
        DefaultCursor();
        return false;
    }

    // The reload goes by the name label as long as the procedure page holds
    // an object, for either page.
    finishSave(page, reload, ProcEditorState != 0, caret, caretLine);
    WatchedVariables.clear();
    return true;
}

bool TfmBrowser::recordDebugPoints(EditorPage &page, instrument::Instrumenter &ins)
{
    // Transaction 1: the points of this text, pending until the command
    // settles them, are committed before the compile.
    try {
        DM->DataBase2.close();
        ConnectDebugDB();
        engine::TransactionGuard transaction(DM->Database);
        DM->QSave.close();
        DebugSaveMode = true;
        for (const QString &line : editorLines(page.editor))
            ins.InstrumentLine(line);
        for (const QString &insert : ins.pointInserts())
            DM->Q6Exec(insert);
        transaction.commit();
    } catch (const engine::Error &e) {
        DebugSaveMode = false;
        ShowError(QStringLiteral("Uncheck \"Save with debug info\" and retry to save.\r\n") + e.message());
        DefaultCursor();
        return false;
    }
    DebugSaveMode = false;
    return true;
}

bool TfmBrowser::prepareDebugTables(const QString &object)
{
    Repository repo = repository();
    bool tables = false;
    try {
        tables = repo.debugTablesExist() || repo.createDebugTables(&ExternalTablesPath);
    } catch (const engine::Error &e) {
        ShowError(QStringLiteral("Can't create external tables!\r\n") + e.message());
    }
    if (!tables) {
        DefaultCursor();
        return false;
    }
    if (!ResetPointCounters(object)) {
        ShowError(QStringLiteral("Can't insert into META$GENS."));
        DefaultCursor();
        return false;
    }
    return true;
}

bool TfmBrowser::ResetPointCounters(const QString &object)
{
    try {
        repository().resetPointCounters(ProtocolUser, object, BreakPointsUsed, TracePointsUsed);
        return true;
    } catch (const engine::Error &) {
        return false;
    }
}

namespace {

// The object's pass counters and points, kept in the repository, follow
// every save of it; these steps run only when the repository is there.
bool clearCounters(TfmBrowser &b, const QString &name)
{
    try {
        b.repository().clearCounters(name);
        return true;
    } catch (const engine::Error &e) {
        b.SetError();
        b.ShowError(e.message());
        return false;
    }
}

// Two-phase point bookkeeping: a successful save makes its pending points
// current, a failed one drops them and keeps the previous version's.
void settlePoints(TfmBrowser &b, const QString &name, bool ok)
{
    try {
        b.repository().settlePoints(name, ok);
    } catch (const engine::Error &e) {
        b.ShowError(QStringLiteral("Table META$POINTS corrupted: ") + e.message());
    }
}

// With debug info, an object not yet in the database is first saved plain
// so that it exists and its editor holds the stored form.
bool saveSource(TfmBrowser &b, const QString &kind, quint8 editorState, bool reload)
{
    if (!b.CBWithDebug->isChecked())
        return b.SaveSourcePlain(reload, kind);
    bool ok = true;
    if (editorState == 0)
        ok = b.SaveSourcePlain(reload, kind);
    return ok && b.SaveSourceDebug(reload, kind);
}

} // namespace

bool TfmBrowser::SaveEditorObject(const QString &kind, bool reload)
{
    const EditorPage page = editorPage(kind);
    QLabel *name = page.name;
    if (MetaPresent && !clearCounters(*this, name->text()))
        return false;
    const bool ok = saveSource(*this, kind, page.state, reload);
    // A new object has its name only once it is saved.
    if (MetaPresent)
        settlePoints(*this, name->text(), ok);
    return ok;
}

void TfmBrowser::SBSaveProcClick()
{
    if (!button(QStringLiteral("SBSaveProc"))->isEnabled())
        return;
    SetBusy();
    if (SaveEditorObject(QStringLiteral("SP"), true))
        SetReady();
    else
        SetError();
    DefaultCursor();
}

void TfmBrowser::SBSaveTrigClick()
{
    if (!button(QStringLiteral("SBSaveTrig"))->isEnabled())
        return;
    SetBusy();
    if (SaveEditorObject(QStringLiteral("TR"), true)) {
        SetReady();
        button(QStringLiteral("SBDebDropTrigger"))->setEnabled(true);
    } else {
        SetError();
    }
    DefaultCursor();
}

// --- point markers

void TfmBrowser::buildPointMenus()
{
    struct Item {
        QMenu *menu;
        const char *name;
        const char *text;
        void (TfmBrowser::*slot)();
    };
    const Item items[] = {
        {PMSP, "Setbreakpoint1", "Set break point", &TfmBrowser::Setbreakpoint1Click},
        {PMSP, "Settracepoint1", "Set trace point", &TfmBrowser::Settracepoint1Click},
        {PMSP, "Setprogresspoint1", "Set progress point", &TfmBrowser::Setprogresspoint1Click},
        {PMTrig, "Setbreakpoint2", "Set break point", &TfmBrowser::Setbreakpoint2Click},
        {PMTrig, "Settracepoint2", "Set trace point", &TfmBrowser::Settracepoint2Click},
        {PMTrig, "Setprogresspoint2", "Set progress point", &TfmBrowser::Setprogresspoint2Click},
    };
    for (const Item &i : items) {
        QAction *a = i.menu->addAction(QString::fromLatin1(i.text));
        a->setObjectName(QString::fromLatin1(i.name));
        connect(a, &QAction::triggered, this, i.slot);
    }
    for (auto [editor, menu] : {std::pair{REProc, PMSP}, std::pair{RETrig, PMTrig}}) {
        editor->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(editor, &QWidget::customContextMenuRequested, this,
                [editor = editor, menu = menu](const QPoint &at) { menu->popup(editor->mapToGlobal(at)); });
    }
}

namespace {

// The marker goes on a line of its own before the caret's line, in
// column 1 where the instrumenter looks for it.
void insertMarker(TMyRichEdit *editor, const QString &marker)
{
    QTextCursor c(editor->textCursor().block());
    c.movePosition(QTextCursor::StartOfBlock);
    c.insertText(marker + QLatin1Char('\n'));
}

} // namespace

void TfmBrowser::Setbreakpoint1Click() { insertMarker(REProc, QStringLiteral("/*@BP1*/")); }
void TfmBrowser::Settracepoint1Click() { insertMarker(REProc, QStringLiteral("/*#TP1*/")); }
void TfmBrowser::Setprogresspoint1Click() { insertMarker(REProc, QStringLiteral("/*$1*/")); }
void TfmBrowser::Setbreakpoint2Click() { insertMarker(RETrig, QStringLiteral("/*@BP1*/")); }
void TfmBrowser::Settracepoint2Click() { insertMarker(RETrig, QStringLiteral("/*#TP1*/")); }
void TfmBrowser::Setprogresspoint2Click() { insertMarker(RETrig, QStringLiteral("/*$1*/")); }

// --- files

void TfmBrowser::loadFileInto(QPlainTextEdit *editor)
{
    const std::optional<QString> name = platform::Prompter::instance().openFileName(
        QString(), QStringLiteral("TXT files|*.txt|All files|*.*"), QString());
    if (!name)
        return;
    QFile f(*name);
    if (!f.open(QIODevice::ReadOnly)) {
        SetError();
        ShowError(f.errorString());
        return;
    }
    QString text = QString::fromUtf8(f.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    editor->setPlainText(text);
}

void TfmBrowser::SBOpenFromFileClick()
{
    loadFileInto(REProc);
    ProcEditorState = 0;
    button(QStringLiteral("SBSaveProc"))->setEnabled(true);
    button(QStringLiteral("SBdebExecSQL"))->setEnabled(false);
    button(QStringLiteral("SBdebShowSet"))->setEnabled(false);
    DefaultCursor();
}

void TfmBrowser::SBOpenFromFile2Click()
{
    loadFileInto(RETrig);
    TrigEditorState = 0;
    button(QStringLiteral("SBSaveTrig"))->setEnabled(true);
    DefaultCursor();
}

void TfmBrowser::saveEditorToFile(TMyRichEdit *editor, const QString &offeredName)
{
    SaveDialog1FileName = offeredName;
    SaveToChosenFile(*this, [editor](const QString &fileName) {
        QByteArray data;
        for (const QString &line : editorLines(editor))
            data += line.toUtf8() + '\n';
        WriteTextFile(fileName, data);
    });
}

void TfmBrowser::SBSaveToFileClick() { saveEditorToFile(REProc, LProcName->text() + QStringLiteral(".txt")); }
void TfmBrowser::SBSaveToFile2Click() { saveEditorToFile(RETrig, LTrigName->text() + QStringLiteral(".txt")); }

// --- clipboard and undo

void TfmBrowser::undoIn(TMyRichEdit *editor)
{
    if (editor->document()->isUndoAvailable())
        editor->undo();
}

void TfmBrowser::SBSPUndoClick() { undoIn(REProc); }
void TfmBrowser::SBSPCutClick() { REProc->cut(); }
void TfmBrowser::SBSPCopyClick() { REProc->copy(); }
void TfmBrowser::SBSPPasteClick() { REProc->paste(); }
void TfmBrowser::SBTrUndoClick() { undoIn(RETrig); }
void TfmBrowser::SBTrCutClick() { RETrig->cut(); }
void TfmBrowser::SBTrCopyClick() { RETrig->copy(); }
void TfmBrowser::SBTrPasteClick() { RETrig->paste(); }

// --- drop

// DROP PROCEDURE and DROP TRIGGER remove the object's dependency rows
// themselves; the system table refuses a delete of its own.
void TfmBrowser::dropEditedObject(const QString &kind, const QString &name, TMyRichEdit *editor,
                                  const char *const *dropped, int droppedCount)
{
    // Nothing is asked about what no statement could name.
    try {
        engine::requirePlainIdentifier(name);
    } catch (const engine::Error &e) {
        SetError();
        ShowMessage(e.message());
        return;
    }
    if (platform::Prompter::instance().confirm(QStringLiteral("Confirmation"), QStringLiteral("Drop now?"))
        != Answer::Yes)
        return;
    SetBusy();
    try {
        engine::TransactionGuard transaction(DM->Database);
        DM->Q6Exec(QStringLiteral("drop %1 ").arg(kind) + name);
        transaction.commit();
        editor->clear();
        editor->document()->setModified(false);
        enableButtons(dropped, droppedCount, false);
        SetReady();
    } catch (const engine::Error &e) {
        SetError();
        ShowError(e.message());
    }
    DefaultCursor();
}

void TfmBrowser::SBDebDropProcClick()
{
    dropEditedObject(QStringLiteral("procedure"), LProcName->text(), REProc, kProcDropped, count(kProcDropped));
}

void TfmBrowser::SBDebDropTriggerClick()
{
    dropEditedObject(QStringLiteral("trigger"), LTrigName->text(), RETrig, kTrigDropped, count(kTrigDropped));
}

// --- find and colour

void TfmBrowser::showFindFor(TMyRichEdit *editor)
{
    if (auto *f = findChild<TfmFind *>(QStringLiteral("fmFind")))
        f->ShowFor(editor);
}

void TfmBrowser::SBFindInProcClick() { showFindFor(REProc); }
void TfmBrowser::SBFindInTrigClick() { showFindFor(RETrig); }

void TfmBrowser::syntaxOn(TMyRichEdit *editor)
{
    SetBusy();
    editor->Highlight();
    editor->setReadOnly(true);
    SetReady();
    ShowMessage(QStringLiteral("You have to press \"Plain syntax\" button for continue..."));
    StatusPanel1->setText(QStringLiteral("   Hint: Press \"Plain syntax\" button for editing."));
    StatusPanel1->repaint();
}

void TfmBrowser::syntaxOff(TMyRichEdit *editor)
{
    const bool busy = IsConnected;
    if (busy)
        SetBusy();
    editor->setUpdatesEnabled(false);
    editor->PlainSyntax();
    editor->setUpdatesEnabled(true);
    editor->setReadOnly(false);
    StatusPanel1->clear();
    StatusPanel1->repaint();
    if (busy)
        SetReady();
}

void TfmBrowser::SBSyntaxOnClick() { syntaxOn(REProc); }
void TfmBrowser::SBSyntaxOnTrigClick() { syntaxOn(RETrig); }

void TfmBrowser::SBSyntaxOffClick()
{
    syntaxOff(REProc);
}

void TfmBrowser::SBSyntaxOffTrigClick()
{
    syntaxOff(RETrig);
}
