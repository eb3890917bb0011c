// Speed of the SQL lexer and of the editor's colouring pass, each against a
// baseline run in the same program over the same text:
//
//   - the lexer over about 10 MB of procedure text against a plain loop that
//     reads every character of that text once (target: at least 0.3 of the
//     loop's rate);
//   - the colouring pass over a 10,000-line procedure against loading the
//     same text into the editor with setPlainText (target: no more than 3
//     times the load time).
//
// The exit code is 1 when a target is missed.
//
//   bench_editor [--lines=N] [--megabytes=N] [benchmark flags]
//
// Runs without a display (offscreen) unless QT_QPA_PLATFORM says otherwise.

#include "BenchSupport.h"
#include "workbench/Lex.h"
#include "workbench/mysimplere.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

struct Globals {
    int lines = 10000;
    int megabytes = 10;
    QString procedure; // the editor's text
    QString bigText;   // the lexer's text
    TMyRichEdit *editor = nullptr;
} g;

// One procedure body's worth of lines, with every token kind, repeated.
const char *const kBodyLines[] = {
    "  /* step %1: read the rows of the period */",
    "  FOR SELECT ID, NAME, AMOUNT FROM ACCOUNTS",
    "      WHERE PERIOD >= :FROM_PERIOD AND PERIOD <= :TO_PERIOD AND NAME <> 'it''s'",
    "      INTO :ID, :NAME, :AMOUNT DO",
    "  BEGIN",
    "    IF (AMOUNT > 100.25) THEN TOTAL = TOTAL + AMOUNT * 2;",
    "    ELSE TOTAL = TOTAL - (AMOUNT / 3);",
    "    S = \"Quoted Name\" || ' tail ' || NAME;",
    "    R$COUNT = R$COUNT + 1; /* a comment",
    "       over two lines */ X = Y;",
    "    IF (R$COUNT = 1000) THEN EXCEPTION TOO_MANY; # stray",
    "    SUSPEND;",
    "  END",
};

QString makeProcedure(int lines)
{
    QStringList out;
    out << QStringLiteral("CREATE PROCEDURE BIG_PROC (FROM_PERIOD INTEGER, TO_PERIOD INTEGER)")
        << QStringLiteral("  RETURNS (ID INTEGER, NAME VARCHAR(40), TOTAL NUMERIC(15,2))")
        << QStringLiteral("AS")
        << QStringLiteral("DECLARE VARIABLE AMOUNT NUMERIC(15,2);")
        << QStringLiteral("DECLARE VARIABLE R$COUNT INTEGER;")
        << QStringLiteral("BEGIN");
    const int body = int(sizeof kBodyLines / sizeof kBodyLines[0]);
    for (int i = 0; int(out.size()) < lines - 1; ++i)
        out << QString::fromLatin1(kBodyLines[i % body]).replace(QStringLiteral("%1"), QString::number(i / body));
    out << QStringLiteral("END");
    return out.join(QLatin1Char('\n'));
}

// The plain loop: every character read once and folded into a sum, so the
// reads cannot be left out.
void BM_ReadEveryCharacter(benchmark::State &state)
{
    const char16_t *data = reinterpret_cast<const char16_t *>(g.bigText.utf16());
    const qsizetype n = g.bigText.size();
    for (auto _ : state) {
        unsigned sum = 0;
        for (qsizetype i = 0; i < n; ++i)
            sum += data[i];
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * n * 2);
}

void BM_Lexer(benchmark::State &state)
{
    int64_t tokens = 0;
    for (auto _ : state) {
        TLex lex(g.bigText);
        int count = 0;
        for (;;) {
            lex.TokenStart = lex.Position - 1;
            if (lex.NextToken() == TLex::EndOfText)
                break;
            ++count;
        }
        benchmark::DoNotOptimize(count);
        tokens += count;
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * g.bigText.size() * 2);
    state.counters["tokens"] = double(tokens) / double(state.iterations());
}

void BM_SetPlainText(benchmark::State &state)
{
    for (auto _ : state) {
        g.editor->setPlainText(g.procedure);
        benchmark::ClobberMemory();
    }
    if (g.editor->document()->blockCount() != g.lines)
        state.SkipWithError("the editor does not hold the procedure");
}

void BM_Highlight(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        g.editor->setPlainText(g.procedure);
        QApplication::processEvents();
        state.ResumeTiming();
        g.editor->Highlight();
        benchmark::ClobberMemory();
    }
}

// A second pass over text already coloured: every line's formats replaced.
void BM_HighlightAgain(benchmark::State &state)
{
    g.editor->setPlainText(g.procedure);
    g.editor->Highlight();
    for (auto _ : state) {
        g.editor->Highlight();
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_ReadEveryCharacter)->Repetitions(9)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Lexer)->Repetitions(9)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SetPlainText)->Iterations(10)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Highlight)->Iterations(10)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HighlightAgain)->Iterations(10)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// Medians of the repetitions, with the fastest and slowest beside them.
// True when both targets were met.
bool printSummary(const bench::MedianReporter &rep)
{
    const bench::Figure read = rep.seconds("BM_ReadEveryCharacter");
    const bench::Figure lex = rep.seconds("BM_Lexer");
    const bench::Figure load = rep.seconds("BM_SetPlainText");
    const bench::Figure colour = rep.seconds("BM_Highlight");
    const double mb = double(g.bigText.size()) / 1e6;
    bool ok = read.ran() && lex.ran() && load.ran() && colour.ran();

    std::printf("\nLexer over %.1f million characters, ms per pass (low-high)\n", mb);
    if (read.ran() && lex.ran()) {
        std::printf("  plain read loop            %s  = %.1f million characters/s\n", read.text(1e3).c_str(),
                    mb / read.median);
        std::printf("  lexer                      %s  = %.1f million characters/s\n", lex.text(1e3).c_str(),
                    mb / lex.median);
        const double ratio = read.median / lex.median;
        std::printf("  lexer / loop               %10.3f  (target >= 0.30: %s)\n", ratio,
                    ratio >= 0.3 ? "met" : "MISSED");
        ok = ok && ratio >= 0.3;
    } else {
        std::printf("  lexer / loop               (target >= 0.30: NOT RUN)\n");
    }
    std::printf("\nColouring a %d-line procedure (%.0f kB of text), ms (low-high)\n", g.lines,
                double(g.procedure.size()) / 1e3);
    if (load.ran() && colour.ran()) {
        std::printf("  setPlainText               %s\n", load.text(1e3, "%.2f").c_str());
        std::printf("  Highlight                  %s\n", colour.text(1e3, "%.2f").c_str());
        const double ratio = colour.median / load.median;
        std::printf("  Highlight / setPlainText   %10.3f  (target <= 3.00: %s)\n", ratio,
                    ratio <= 3.0 ? "met" : "MISSED");
        ok = ok && ratio <= 3.0;
    } else {
        std::printf("  Highlight / setPlainText   (target <= 3.00: NOT RUN)\n");
    }
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    std::string value;
    if (takeFlag(&argc, argv, "lines", &value))
        g.lines = std::atoi(value.c_str());
    if (takeFlag(&argc, argv, "megabytes", &value))
        g.megabytes = std::atoi(value.c_str());
    if (g.lines < 10 || g.megabytes < 1) {
        std::fprintf(stderr, "--lines needs at least 10 and --megabytes at least 1\n");
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!bench::initialize(&argc, argv))
        return 1;

    g.procedure = makeProcedure(g.lines);
    // About the size asked for, in whole procedures.
    const qsizetype wanted = qsizetype(g.megabytes) * 1000 * 1000;
    const QString unit = makeProcedure(2000) + QLatin1Char('\n');
    g.bigText.reserve(wanted + unit.size());
    while (g.bigText.size() < wanted)
        g.bigText += unit;

    TMyRichEdit editor;
    editor.resize(1000, 700);
    editor.show();
    QApplication::processEvents();
    g.editor = &editor;

    bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const bool met = printSummary(reporter);
    benchmark::Shutdown();
    if (!met) {
        std::fprintf(stderr, "bench_editor: a target was missed\n");
        return 1;
    }
    return 0;
}
