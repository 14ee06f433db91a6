#pragma once

#include <QDate>
#include <QString>

namespace tovrin::bench {

// Writes the journals of a busy counter from `first` to `last`, as the
// checkout writes them: `salesPerDay` sales a day from 8:00 on, three barcode
// items each, drawn from ten goods by a fixed sequence, so every run writes the
// same bytes. The block journal goes to `blocksPath`; the sales journal to
// `salesPath` unless that is empty. False when a file cannot be opened.
bool writeJournals(const QDate& first, const QDate& last, int salesPerDay, const QString& blocksPath,
                   const QString& salesPath = {});

}  // namespace tovrin::bench
