#include "workbench/fLaunch.h"

#include "platform/Placement.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QtMath>
#include <QToolButton>
#include <QVBoxLayout>

TFmLaunch *FmLaunch = nullptr;

namespace {

QToolButton *button(QWidget *parent, const QString &name, const QString &caption, const char *colour)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(caption);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setMinimumSize(150, 28);
    b->setStyleSheet(QStringLiteral("font-weight: bold; color: %1;").arg(QLatin1String(colour)));
    return b;
}

} // namespace

const QStringList &TFmLaunch::instructions()
{
    static const QStringList lines{
        QStringLiteral("You are about to start stored procedure with BP/PP. "),
        QString(),
        QStringLiteral("Since you are working with local Interbase server - you have to do the"),
        QStringLiteral("following:"),
        QString(),
        QStringLiteral("   1. Start (or enter) another copy of Marrowby."),
        QStringLiteral("   2. (Re)enter Spy Mode in it."),
        QStringLiteral("   3. Press \"Continue\" button on this form."),
        QString(),
        QStringLiteral("If you wish - press \"Launch 2nd copy\" button and Marrowby will perform steps"),
        QStringLiteral("1 and 2 for you. "),
    };
    return lines;
}

TFmLaunch::TFmLaunch(QWidget *parent) : QDialog(parent)
{
    FmLaunch = this;
    setObjectName(QStringLiteral("FmLaunch"));
    setWindowTitle(QStringLiteral("Launch dialog"));
    // A dialog frame with a title and no buttons on it: only the two
    // buttons below close it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setPlainText(instructions().join(QLatin1Char('\n')));
    SBLaunch = button(this, QStringLiteral("SBLaunch"), QStringLiteral("Launch 2nd copy"), "blue");
    SpeedButton1 = button(this, QStringLiteral("SpeedButton1"), QStringLiteral("Continue"), "green");

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(SBLaunch);
    buttons->addStretch();
    buttons->addWidget(SpeedButton1);
    auto *l = new QVBoxLayout(this);
    l->addWidget(Memo1, 1);
    l->addLayout(buttons);

    connect(SBLaunch, &QToolButton::clicked, this, &TFmLaunch::SBLaunchClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TFmLaunch::SpeedButton1Click);
}

TFmLaunch::~TFmLaunch()
{
    if (FmLaunch == this)
        FmLaunch = nullptr;
}

void TFmLaunch::fitText()
{
    // The instructions are read whole: the memo is as large as its text in
    // the font it has now (the main window's font, which the user may have
    // changed), never cut and never scrolled.
    const QFontMetrics fm(Memo1->font());
    int width = 0;
    for (const QString &line : instructions())
        width = qMax(width, fm.horizontalAdvance(line));
    const int margins = 2 * (Memo1->frameWidth() + qCeil(Memo1->document()->documentMargin())) + fm.averageCharWidth();
    Memo1->setMinimumSize(width + margins, fm.lineSpacing() * int(instructions().size()) + margins);
    adjustSize();
}

void TFmLaunch::showEvent(QShowEvent *e)
{
    fitText();
    QDialog::showEvent(e);
    platform::centreOnScreen(*this);
}

void TFmLaunch::SBLaunchClick()
{
    done(LaunchCopyResult);
}

void TFmLaunch::SpeedButton1Click()
{
    done(ContinueResult);
}
