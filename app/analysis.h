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
    QStringList cells;    // the round-trip time of an answered poll; empty for any other
    QStringList failures; // why a poll has no time (its failure text); empty when answered
    int answered = 0;
    int failed = 0;      // failed polls and polls that never arrived
    int64_t total = 0;   // of the answered polls
    int64_t average = 0; // total / answered, rounded half to even; 0 without an answer
};

// A poll text without a round-trip time (a time-out, a bad destination, any other failure, or
// a poll that never arrived) is a failed poll: it shows no time and stays out of the total
// and the average.
Column interpretColumn(const QStringList& polls);

// "3 of 10 polls failed", or "All 10 polls answered".
QString failureSummary(const Column& column);

// What a poll that never arrived shows as its reason.
QString noAnswerText();

} // namespace analysis
