#pragma once

#include <QString>
#include <QtGlobal>

namespace tovrin {

// The bounds of the journal readers: the line rule, the reports and the
// lookup. However large or strange a journal is, a report holds no more than
// these allow and says so when it stops at one.

// How far the line rule looks forward from an occurrence for its line's end,
// in characters.
inline constexpr qsizetype kLineWindow = 720;

// The most sale lines the amount report lists (positions 0 to 100000 hold
// lines; the line of two TABs behind them makes 100001 positions).
inline constexpr qsizetype kListedLines = 100000;

// The most item lines the goods report counts.
inline constexpr qsizetype kItemLines = 100001;
// An item line must end within this many characters after its label.
inline constexpr qsizetype kItemLineReach = 40000;

// The most text one report gathers, in characters: the lines of its period
// (each also counted kLineCost characters more for the room it takes), or
// its period's section. A journal's bytes are counted as characters here: a
// character takes one byte at least.
inline constexpr qint64 kReportText = qint64(48) << 20;
inline constexpr qint64 kLineCost = 16;

// Said when a report stops at one of its bounds.
inline const QString kThresholdMessage =
    QStringLiteral("目前，记录行已经超过软件所设定的阀值：100000条，请重试。");

}  // namespace tovrin
