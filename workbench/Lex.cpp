#include "workbench/Lex.h"

#include <algorithm>
#include <array>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The keywords, lower case, sorted by their ASCII codes (so "_" sorts before
// every letter).
constexpr const char *kKeywords[] = {
    "active", "add", "after", "all", "alter", "and", "any", "as", "asc", "ascending", "at", "auto", "avg",
    "before", "begin", "between", "blob", "by", "cast", "char", "character", "check", "close", "collate",
    "collation", "column", "commit", "computed", "constraint", "containing", "continue", "count", "create",
    "cstring", "current", "database", "date", "decimal", "declare", "default", "delete", "distinct", "do",
    "domain", "double", "drop", "else", "end", "entry_point", "event", "exception", "execute", "exists", "exit",
    "external", "file", "float", "for", "foreign", "from", "full", "function", "generator", "goto", "grant",
    "group", "having", "if", "immediate", "in", "inactive", "index", "init", "inner", "insert", "integer",
    "into", "is", "join", "key", "left", "like", "max", "min", "module_name", "not", "null", "numeric", "on",
    "or", "order", "outer", "plan", "post_event", "precision", "primary", "procedure", "public", "references",
    "returning_values", "returns", "revoke", "right", "rollback", "select", "set", "smallint", "sort",
    "starting", "sum", "suspend", "table", "then", "to", "trigger", "union", "unique", "update", "user",
    "values", "varchar", "variable", "varying", "view", "wait", "when", "where", "while", "with", "work",
};
constexpr int kKeywordCount = int(sizeof kKeywords / sizeof kKeywords[0]);
static_assert(kKeywordCount == 130, "the keyword table holds 130 words");

constexpr int compareAscii(const char *a, const char *b)
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return int(static_cast<unsigned char>(*a)) - int(static_cast<unsigned char>(*b));
}

constexpr bool keywordsSorted()
{
    for (int i = 1; i < kKeywordCount; ++i)
        if (compareAscii(kKeywords[i - 1], kKeywords[i]) >= 0)
            return false;
    return true;
}
static_assert(keywordsSorted(), "the keyword table must be sorted and free of duplicates");

constexpr int longestKeyword()
{
    int longest = 0;
    for (const char *k : kKeywords) {
        int n = 0;
        while (k[n])
            ++n;
        longest = n > longest ? n : longest;
    }
    return longest;
}
constexpr int kLongestKeyword = longestKeyword();
static_assert(kLongestKeyword <= 16, "a keyword must fit the 16-byte key");

// Character classes of the ASCII range; nothing above 127 is in any class.
enum : unsigned char {
    IdentTail = 1,       // letter, digit, "_", "$"
    Separator = 2,       // TAB, LF, CR, 26, blank
    NumberDelimiter = 4, // a separator or ) * + , - / ; =
};

// What a character does where a token may start, for the dispatch.
enum Start : unsigned char {
    StartOther, // starts no token
    StartEnd,   // NUL
    StartSeparator,
    StartIdentifier,
    StartDigit,
    StartPunctuation,
    StartOperator,
    StartSlash,
    StartLess,
    StartGreater,
    StartString,
    StartQuotedName,
};

struct CharTables {
    std::array<unsigned char, 128> classes{};
    std::array<unsigned char, 128> start{};
};

constexpr CharTables makeCharTables()
{
    CharTables t{};
    t.start[0] = StartEnd;
    for (int c = 'A'; c <= 'Z'; ++c) {
        t.classes[c] |= IdentTail;
        t.start[c] = StartIdentifier;
    }
    for (int c = 'a'; c <= 'z'; ++c) {
        t.classes[c] |= IdentTail;
        t.start[c] = StartIdentifier;
    }
    for (int c = '0'; c <= '9'; ++c) {
        t.classes[c] |= IdentTail;
        t.start[c] = StartDigit;
    }
    t.classes['_'] |= IdentTail;
    t.start['_'] = StartIdentifier;
    t.classes['$'] |= IdentTail;
    for (int c : {9, 10, 13, 26, 32}) {
        t.classes[c] |= Separator | NumberDelimiter;
        t.start[c] = StartSeparator;
    }
    for (char c : {')', '*', '+', ',', '-', '/', ';', '='})
        t.classes[static_cast<unsigned char>(c)] |= NumberDelimiter;
    for (char c : {'(', ')', ',', '.', ':', ';', '[', ']'})
        t.start[static_cast<unsigned char>(c)] = StartPunctuation;
    for (char c : {'*', '+', '-', '='})
        t.start[static_cast<unsigned char>(c)] = StartOperator;
    t.start['/'] = StartSlash;
    t.start['<'] = StartLess;
    t.start['>'] = StartGreater;
    t.start['\''] = StartString;
    t.start['"'] = StartQuotedName;
    return t;
}
constexpr CharTables kChars = makeCharTables();

// Every UTF-16 unit's class and start in one byte (the class in the high
// four bits), so the scanning loops need no range test before the lookup.
// Only its ASCII part is ever hot; the rest is zero: no class, no start.
struct WideTable {
    std::array<unsigned char, 65536> entry{};
};

constexpr WideTable makeWideTable()
{
    WideTable t{};
    for (int c = 0; c < 128; ++c)
        t.entry[c] = static_cast<unsigned char>(kChars.classes[c] << 4 | kChars.start[c]);
    return t;
}
constexpr WideTable kWide = makeWideTable();
static_assert(StartQuotedName < 16, "a start must fit four bits");

inline unsigned classOf(char16_t c)
{
    return kWide.entry[c] >> 4;
}

inline unsigned startOf(char16_t c)
{
    return kWide.entry[c] & 0x0Fu;
}

// Keyword lookup. A word of up to 16 characters is packed into two 64-bit
// halves, one byte a character, each byte the character with bit 5 set:
// that lowers the letters and, over the characters a word is made of,
// never makes two of them equal ("_" becomes 127, digits and "$" stay).
// A multiply-hash of the key picks one slot of a table built at compile
// time, with a multiplier chosen so that no two keywords share a slot: a
// word costs one hash and one comparison, and no branch on the outcome.
struct Key {
    std::uint64_t lo = 0;
    std::uint64_t hi = 0;
};

constexpr unsigned char keyByte(char16_t c)
{
    return static_cast<unsigned char>(c | 0x20);
}

constexpr void packByte(Key &key, int index, unsigned char byte)
{
    if (index < 8)
        key.lo |= std::uint64_t(byte) << (8 * index);
    else
        key.hi |= std::uint64_t(byte) << (8 * (index - 8));
}

constexpr int kHashBits = 10;
constexpr unsigned kHashSlots = 1u << kHashBits;

constexpr unsigned slotOf(const Key &key)
{
    const std::uint64_t h = (key.lo ^ (key.hi * 0x9E3779B97F4A7C15ull)) * 0x7EFE573A01692AA7ull;
    return unsigned(h >> (64 - kHashBits));
}

struct KeywordTable {
    std::array<Key, kKeywordCount + 1> keys{};         // [0] is the zero key, which no word has
    std::array<unsigned char, kHashSlots> slotIndex{}; // index into keys, 0 for an empty slot
    bool collisionFree = true;
};

constexpr KeywordTable makeKeywordTable()
{
    KeywordTable t{};
    for (int w = 0; w < kKeywordCount; ++w) {
        Key key;
        for (int i = 0; kKeywords[w][i]; ++i)
            packByte(key, i, keyByte(static_cast<unsigned char>(kKeywords[w][i])));
        t.keys[w + 1] = key;
        const unsigned s = slotOf(key);
        if (t.slotIndex[s] != 0)
            t.collisionFree = false;
        t.slotIndex[s] = static_cast<unsigned char>(w + 1);
    }
    return t;
}
constexpr KeywordTable kKeywordTable = makeKeywordTable();
static_assert(kKeywordTable.collisionFree, "the hash multiplier must give every keyword a slot of its own");

#if defined(__SSE2__)
// 16 bytes of 0xFF then 16 of zero: 16 bytes read from kKeepFirst + 16 - n
// keep the first n bytes of a vector.
alignas(16) constexpr unsigned char kKeepFirst[32] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
};
#endif

inline bool isKeywordKey(const Key &key)
{
    const Key &k = kKeywordTable.keys[kKeywordTable.slotIndex[slotOf(key)]];
    return (k.lo == key.lo) & (k.hi == key.hi);
}

} // namespace

TLex::TLex(const QString &text)
    : Text(text), TextLength(int(text.size())), m_data(reinterpret_cast<const char16_t *>(Text.utf16()))
{
    CurChar = NextChar();
}

char16_t TLex::NextChar()
{
    const char16_t c = Position <= TextLength ? m_data[Position - 1] : u'\0';
    ++Position;
    return c;
}

QStringView TLex::TokenText() const
{
    if (m_tokenOwned)
        return QStringView(m_ownedText);
    return QStringView(Text).mid(m_tokenBegin, m_tokenLength);
}

QStringView TLex::CommentText() const
{
    return QStringView(Text).mid(m_commentBegin, m_commentLength);
}

bool TLex::IsDelimiter() const
{
    return (classOf(CurChar) & NumberDelimiter) != 0;
}

QString TLex::LowerStr(QStringView s)
{
    QString lowered(s.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < s.size(); ++i)
        lowered[i] = QChar(LowerChar(s[i].unicode()));
    return lowered;
}

bool TLex::IsKeyword(QStringView word)
{
    if (word.size() < 2 || word.size() > kLongestKeyword)
        return false;
    Key key;
    for (int i = 0; i < int(word.size()); ++i) {
        const char16_t c = word[i].unicode();
        if (!(classOf(c) & IdentTail))
            return false;
        packByte(key, i, keyByte(c));
    }
    return isKeywordKey(key);
}

int TLex::KeywordCount()
{
    return kKeywordCount;
}

const char *TLex::KeywordAt(int i)
{
    return i >= 0 && i < kKeywordCount ? kKeywords[i] : nullptr;
}

Q_ALWAYS_INLINE int TLex::skipSeparators(int i) const
{
    const char16_t *d = m_data;
    while (classOf(d[i]) & Separator)
        ++i;
    return i;
}

Q_ALWAYS_INLINE int TLex::scanIdentifier(int i)
{
    const char16_t *d = m_data;
    int j = i + 1;
    char16_t n;
    while (classOf(n = d[j]) & IdentTail)
        ++j;
    const int length = j - i;
    setToken(i, length);
    setCurrent(j, n);
    if (length < 2 || length > kLongestKeyword)
        return Identifier;
    Key key;
#if defined(__SSE2__)
    // The key of a word with sixteen characters of text from its start is
    // packed in one step; the read stays inside the text.
    if (Q_LIKELY(i + 16 <= TextLength)) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(d + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(d + i + 8));
        const __m128i keep = _mm_loadu_si128(reinterpret_cast<const __m128i *>(kKeepFirst + 16 - length));
        const __m128i bytes = _mm_and_si128(_mm_or_si128(_mm_packus_epi16(a, b), _mm_set1_epi8(0x20)), keep);
        key.lo = std::uint64_t(_mm_cvtsi128_si64(bytes));
        key.hi = std::uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(bytes, bytes)));
        return isKeywordKey(key) ? Keyword : Identifier;
    }
#endif
    // The word's characters are ASCII, so each fits its byte of the key.
    for (int k = 0; k < length; ++k)
        packByte(key, k, keyByte(d[i + k]));
    return isKeywordKey(key) ? Keyword : Identifier;
}

int TLex::NextToken()
{
    // Every loop reads m_data at indexes up to TextLength at most: each stops
    // at a NUL, and the array's own NUL sits at TextLength.
    const char16_t *d = m_data;
    const int first = Position - 2; // 0-based index of CurChar
    if (Q_UNLIKELY(first > TextLength)) {
        // NextChar was called past the end: there is nothing left to read.
        CurChar = 0;
        return EndOfText;
    }
    const int i = skipSeparators(first);
    TokenStart += i - first;
    const char16_t c = d[i];
    const unsigned start = startOf(c);
    // Words are most of the tokens: they skip the jump table.
    if (Q_LIKELY(start == StartIdentifier))
        return scanIdentifier(i);
    switch (start) {
    case StartEnd:
        setCurrent(i);
        return EndOfText;
    case StartDigit:
        return scanNumber(i);
    case StartPunctuation:
        setToken(i, 1);
        setCurrent(i + 1);
        return Punctuation;
    case StartOperator:
        setToken(i, 1);
        setCurrent(i + 1);
        return Operator;
    case StartSlash:
        return scanSlash(i);
    case StartLess:
        if (d[i + 1] == u'>' || d[i + 1] == u'=') {
            const bool notEqual = d[i + 1] == u'>';
            setToken(i, 2);
            setCurrent(i + 2);
            return notEqual ? NotEqual : LessEqual;
        }
        setToken(i, 1);
        setCurrent(i + 1);
        return Operator;
    case StartGreater:
        if (d[i + 1] == u'=') {
            setToken(i, 2);
            setCurrent(i + 2);
            return GreaterEqual;
        }
        setToken(i, 1);
        setCurrent(i + 1);
        return Operator;
    case StartString:
        return scanString(i);
    case StartQuotedName:
        return scanQuotedName(i);
    default:
        break;
    }
    // A character that starts no token. A surrogate pair is one character,
    // so its halves are not split over two tokens.
    const int length = QChar::isHighSurrogate(c) && QChar::isLowSurrogate(d[i + 1]) ? 2 : 1;
    setToken(i, length);
    setCurrent(i + length);
    return Error;
}

int TLex::scanNumber(int i)
{
    const char16_t *d = m_data;
    bool point = false;
    int j = i;
    for (;;) {
        const char16_t n = d[++j];
        if (n == 0 || (classOf(n) & NumberDelimiter)) {
            setToken(i, j - i);
            setCurrent(j);
            return Number;
        }
        if (IsDigit(n))
            continue;
        if (n == u'.' && !point) {
            point = true;
            continue;
        }
        // Anything else spoils the number; it is taken into the error token
        // (both halves of a surrogate pair).
        const int end = QChar::isHighSurrogate(n) && QChar::isLowSurrogate(d[j + 1]) ? j + 2 : j + 1;
        setToken(i, end - i);
        setCurrent(end);
        return Error;
    }
}

int TLex::scanSlash(int i)
{
    const char16_t *d = m_data;
    if (d[i + 1] != u'*') {
        setToken(i, 1);
        setCurrent(i + 1);
        return Operator;
    }
    // The closing "*" must come after the opening pair: "/*/" stays open.
    int j = i + 2;
    for (;;) {
#if defined(__SSE2__)
        // Eight characters at a time up to the next "*" or NUL, while eight
        // remain in the text.
        const __m128i star = _mm_set1_epi16(u'*');
        while (j + 8 <= TextLength) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(d + j));
            const unsigned hits = unsigned(
                _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, star), _mm_cmpeq_epi16(v, _mm_setzero_si128()))));
            if (hits != 0) {
                j += int(__builtin_ctz(hits)) / 2;
                break;
            }
            j += 8;
        }
#endif
        const char16_t k = d[j];
        if (k == 0)
            break;
        if (k == u'*' && d[j + 1] == u'/') {
            j += 2;
            break;
        }
        ++j;
    }
    m_commentBegin = i;
    m_commentLength = j - i;
    setToken(i, 0);
    setCurrent(j);
    return Comment;
}

int TLex::scanQuotedName(int i)
{
    const char16_t *d = m_data;
    int j = i;
    for (;;) {
        const char16_t q = d[++j];
        if (q == 0) {
            setToken(i, j - i);
            setCurrent(j);
            return Error;
        }
        if (q == u'"') {
            setToken(i, j + 1 - i);
            setCurrent(j + 1);
            return QuotedName;
        }
    }
}

int TLex::scanString(int i)
{
    const char16_t *d = m_data;
    int pairs = 0;
    int j = i;
    int kind = String;
    for (;;) {
        const char16_t c = d[++j];
        if (c == 0) {
            kind = Error;
            break;
        }
        if (c == u'\'') {
            if (d[j + 1] != u'\'') {
                ++j;
                break;
            }
            ++pairs;
            ++j;
        }
    }
    // j is now the index after the token (for an error, of the NUL).
    setToken(i, j - i);
    setCurrent(j);
    if (pairs > 0) {
        // Each doubled quote inside reads as one, pairing from the left as
        // the scan did; the closing quote (if any) has no partner.
        // Written in place into a buffer kept from string to string.
        m_ownedText.resize(j - i - pairs);
        char16_t *out = reinterpret_cast<char16_t *>(m_ownedText.data());
        int n = 0;
        out[n++] = u'\'';
        for (int k = i + 1; k < j; ++k) {
            out[n++] = d[k];
            if (d[k] == u'\'' && k + 1 < j && d[k + 1] == u'\'')
                ++k;
        }
        m_ownedText.resize(n);
        m_tokenOwned = true;
    }
    return kind;
}

bool IsSelectStatementText(const QString &text)
{
    TLex lex(text);
    for (;;) {
        const int kind = lex.NextToken();
        if (kind == TLex::EndOfText)
            return false;
        if (kind == TLex::Keyword)
            return lex.TokenText().compare(u"SELECT", Qt::CaseInsensitive) == 0;
    }
}

QString ObjectNameInText(const QString &text)
{
    TLex lex(text);
    for (;;) {
        const int kind = lex.NextToken();
        if (kind == TLex::EndOfText)
            return QString();
        if (kind != TLex::Keyword)
            continue;
        const QStringView word = lex.TokenText();
        if (word.compare(u"PROCEDURE", Qt::CaseInsensitive) != 0 && word.compare(u"TRIGGER", Qt::CaseInsensitive) != 0)
            continue;
        // The end of the text leaves the token text unchanged, which would
        // hand back the keyword itself as the name.
        if (lex.NextToken() == TLex::EndOfText)
            return QString();
        return lex.TokenText().toString().toUpper();
    }
}
