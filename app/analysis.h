#pragma once
// The arithmetic of the packet-size analysis: which polls go into which column, and a
// column's cells, total and average.

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace analysis {

struct Step
{
    const char* letter; // the step letter kept in the window
    int32_t dataSize;
    const char* header; // grid header of the step's column
    const char* next;
};

// The seven steps, smallest size first; the letters run backwards from "z".
extern const std::array<Step, 7> kSteps;
constexpr int kPollsPerStep = 10;

// Finds the step of a letter; -1 for any other text (exact, case-sensitive).
int stepIndex(const QString& letter);

// The polls of one run in the order they were handled, each with the data size its worker sent.
struct Polls
{
    QStringList texts;
    QList<int32_t> sizes;
};

// Column c receives the first ten polls of size c, in the order they were handled; the polls
// taken are removed from the list. Fewer than ten leave empty texts.
std::array<QStringList, 7> takeColumns(Polls& polls);

struct Column
{
    QStringList cells; // ten values as shown in the grid
    int64_t total = 0;
    int64_t average = 0; // total / 10, rounded half to even
};

// A poll text without a round-trip time (a time-out, a bad destination, any other failure, or
// a poll that never arrived) counts as 0; the divisor stays ten.
Column interpretColumn(const QStringList& polls);

} // namespace analysis
