#include "foundation/VersionCompare.h"

namespace pylon {

namespace {

bool isAsciiDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// The end of the run of digits that starts at `from`.
qsizetype digitRunEnd(const QString& text, qsizetype from) {
    while (from < text.size() && isAsciiDigit(text[from]))
        ++from;
    return from;
}

// Compares two runs of digits by value, however long they are (no integer overflow).
int compareDigitRuns(QStringView a, QStringView b) {
    while (a.size() > 1 && a.front() == u'0')
        a = a.sliced(1);
    while (b.size() > 1 && b.front() == u'0')
        b = b.sliced(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

} // namespace

int compareVersionsNumerically(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isAsciiDigit(a[i]) && isAsciiDigit(b[j])) {
            const qsizetype endA = digitRunEnd(a, i);
            const qsizetype endB = digitRunEnd(b, j);
            const int order = compareDigitRuns(QStringView(a).sliced(i, endA - i), QStringView(b).sliced(j, endB - j));
            if (order != 0)
                return order < 0 ? -1 : 1;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return a[i].unicode() < b[j].unicode() ? -1 : 1;
        ++i;
        ++j;
    }
    // One is a prefix of the other (by value): the longer one is the greater.
    const bool aLeft = i < a.size();
    const bool bLeft = j < b.size();
    if (aLeft == bLeft)
        return 0;
    return aLeft ? 1 : -1;
}

} // namespace pylon
